import unittest

from testhost import ds3270 as ds


class AddressTest(unittest.TestCase):
    def test_coded_and_binary_forms(self):
        self.assertEqual(ds.address(0), bytes.fromhex("40 40"))
        self.assertEqual(ds.address(54), bytes.fromhex("40 F6"))
        self.assertEqual(ds.address(1919), bytes.fromhex("5D 7F"))
        self.assertEqual(ds.address(4100), bytes.fromhex("10 04"))
        self.assertEqual(ds.address(54, fourteen_bit=True), bytes.fromhex("00 36"))
        for pos in list(range(4096)) + [4096, 9999, 16383]:
            self.assertEqual(ds.decode_address(ds.address(pos)), pos)
        with self.assertRaises(ValueError):
            ds.address(16384)

    def test_position_counts_from_zero(self):
        self.assertEqual(ds.position(25, 0), 2000)
        self.assertEqual(ds.position(1, 1, columns=132), 133)


class CodedBytesTest(unittest.TestCase):
    def test_wcc_and_field_attributes(self):
        self.assertEqual(ds.wcc(), 0x40)
        self.assertEqual(ds.wcc(restore=True, reset_mdt=True), 0xC3)
        self.assertEqual(ds.wcc(restore=True, alarm=True), 0xC6)
        self.assertEqual(ds.attribute(), 0x40)
        self.assertEqual(ds.attribute(mdt=True), 0xC1)
        self.assertEqual(ds.attribute(protected=True), 0x60)
        self.assertEqual(ds.attribute(protected=True, display="intensified"), 0xE8)
        self.assertEqual(ds.attribute(protected=True, numeric=True), 0xF0)
        self.assertEqual(ds.attribute(display="hidden"), 0x4C)

    def test_text_is_code_page_037_with_host_brackets(self):
        self.assertEqual(ds.text("Hello, 1!"), bytes.fromhex("C8 85 93 93 96 6B 40 F1 5A"))
        self.assertEqual(ds.text("[x]"), bytes.fromhex("AD A7 BD"))


class RecordTest(unittest.TestCase):
    def test_writes_with_orders(self):
        record = ds.erase_write(ds.wcc(restore=True), ds.sba(81), ds.sf(0x60), ds.text("A"),
                                ds.sfe((ds.FIELD_ATTRIBUTE, 0x40), (ds.FOREGROUND, ds.COLORS["red"])),
                                ds.sa(ds.HIGHLIGHTING, ds.HIGHLIGHTS["reverse"]), ds.ic(), ds.pt(),
                                ds.ra(1919, "*"), ds.ra(1800, 0xA2, graphic_escape=True),
                                ds.eua(0), ds.ge(0xC5), ds.mf((ds.FIELD_ATTRIBUTE, 0x60)))
        self.assertEqual(record.hex(" ").upper(),
                         "F5 C2 11 C1 D1 1D 60 C1 29 02 C0 40 42 F2 28 41 F2 13 05"
                         " 3C 5D 7F 5C 3C 5C C8 08 A2 12 40 40 08 C5 2C 01 C0 60")
        self.assertEqual(ds.command(ds.READ_MODIFIED), b"\xf6")
        self.assertEqual(ds.erase_write_alternate(0x40)[0], 0x7E)

    def test_inbound_records_split_into_fields(self):
        reply = bytes.fromhex("7D C1 D1 11 40 C4 C1 C2 11 40 E9")
        self.assertEqual(ds.parse_inbound(reply),
                         (0x7D, 81, [(4, b"\xc1\xc2"), (41, b"")]))
        self.assertEqual(ds.parse_inbound(bytes.fromhex("60 40 40")), (0x60, 0, []))
        with self.assertRaises(ValueError):
            ds.parse_inbound(b"\x7d\x40")
        with self.assertRaises(ValueError):
            ds.parse_inbound(bytes.fromhex("7D 40 40 C1"))


if __name__ == "__main__":
    unittest.main()
