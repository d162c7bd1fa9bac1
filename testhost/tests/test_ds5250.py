"""The 5250 encoder's bytes and the decoder of what a display sends."""

import unittest

from testhost import ds5250 as ds


def h(text):
    return bytes.fromhex(text)


class EncoderTest(unittest.TestCase):
    def test_record_header_and_commands(self):
        self.assertEqual(ds.record(ds.PUT_GET, ds.clear_unit(), ds.read_mdt()),
                         h("00 10 12 A0 00 00 04 00 00 03 04 40 04 52 00 00"))
        self.assertEqual(ds.record(ds.OUTPUT_ONLY, flags=0x80)[7], 0x80)
        with self.assertRaises(ValueError):
            ds.record(ds.PUT_GET, bytes(0xFFF6))
        self.assertEqual(ds.clear_unit_alternate(), h("04 20 00"))
        self.assertEqual(ds.query(), h("04 F3 00 05 D9 70 00"))
        self.assertEqual(ds.roll(3, 5, 16, down=True), h("04 23 83 05 10"))
        self.assertEqual(ds.wec(ds.text("E"), cursor=(3, 4)), h("04 21 13 03 04 C5"))

    def test_orders_and_field_words(self):
        self.assertEqual(ds.wtd(0x20, ds.cc2(unlock=True, alarm=True), ds.sba(2, 3), ds.ic(4, 5), ds.mc(6, 7)),
                         h("04 11 20 0C 11 02 03 13 04 05 14 06 07"))
        self.assertEqual(ds.ra(1, 80, "*") + ds.ea(2, 1) + ds.td(b"\x04\x1d"),
                         h("02 01 50 5C 03 02 01 02 FF 10 00 02 04 1D"))
        self.assertEqual(ds.soh(resequence=2, switches=b"\x00\x00\x04", length=3) + ds.soh(),
                         h("01 03 00 00 02 01 07 00 00 00 00 00 00 00"))
        self.assertEqual(ds.ffw("signed numeric", mdt=True, monocase=True, adjust="blank fill"), h("4F 26"))
        self.assertEqual(ds.ffw(bypass=True, dup=True, auto_enter=True, field_exit=True, mandatory_enter=True),
                         h("70 C8"))
        self.assertEqual(ds.sof(10, ds.attr("red", underscore=True), ds.ffw(), (ds.fcw(ds.FCW_SELF_CHECK, 0xA0),)),
                         h("1D 40 00 B1 A0 2C 00 0A"))
        self.assertEqual(ds.sof(3), h("1D 24 00 03"))
        self.assertEqual(ds.attr("red", blink=True, reverse=True), h("2B"))
        with self.assertRaises(ValueError):
            ds.attr("green", blink=True)

    def test_a_screen_from_its_description(self):
        screen = ds.Screen([ds.Label(1, 2, "Hi", "white"),
                            ds.Field("code", 2, 5, 4, shift="digits only", adjust="zero fill", value="12")],
                           cursor=(2, 5))
        self.assertEqual(screen.encode(), ds.record(
            ds.PUT_GET, h("04 40 04 11 00 08 01 07 00 00 00 00 00 00 00"),
            h("11 01 01 22 C8 89 20 11 02 04 1D 45 05 24 00 04 F1 F2 13 02 05"), h("04 52 00 00")))
        self.assertEqual(screen.field("code").length, 4)
        with self.assertRaises(ValueError):
            ds.Screen([ds.Label(1, 1, "x")]).encode()


class DecoderTest(unittest.TestCase):
    def test_records_and_their_kinds(self):
        read = ds.parse_record(h("00 14 12 A0 00 00 04 00 00 03 06 35 F1 11 06 35 C4 C5 D4 D6"))
        self.assertEqual((read.kind, read.cursor, read.aid, read.opcode), ("read", (6, 53), 0xF1, 3))
        self.assertEqual(ds.mdt_fields(read), [(6, 53, h("C4 C5 D4 D6"))])
        self.assertEqual(ds.describe(read), '5250 read: cursor 6,53 AID F1 Enter; field 6,53 "DEMO"')
        help_request = ds.parse_record(h("00 0C 12 A0 00 00 04 01 00 03 00 12"))
        self.assertEqual((help_request.kind, ds.describe(help_request)), ("help", "5250 help 00 12"))
        self.assertEqual(ds.describe(ds.parse_record(h("00 0E 12 A0 00 00 04 80 00 03 10 05 01 22"))),
                         "5250 error 10 05 01 22")
        self.assertEqual(ds.parse_record(h("00 0A 12 A0 00 00 04 40 00 00")).kind, "attention")
        self.assertEqual(ds.describe(ds.parse_record(h("00 0B 12 A0 00 00 04 04 00 03 F3"))),
                         '5250 system request "3"')
        for bad in ("00 05 12 A0 00", "00 0B 12 A0 00 00 04 00 00 03", "00 0A 12 A1 00 00 04 00 00 03"):
            with self.assertRaises(ValueError):
                ds.parse_record(h(bad))
        with self.assertRaises(ValueError):
            ds.mdt_fields(ds.parse_record(h("00 0F 12 A0 00 00 04 00 00 03 01 01 F1 C1 C2")))

    def test_read_input_fields_by_the_screens_lengths(self):
        screen = ds.Screen([ds.Field("name", 2, 2, 3), ds.Field("amount", 3, 2, 4, shift="signed numeric")])
        inbound = ds.parse_record(ds.record(3, h("02 04 F1 C1 C2 40 F1 F2 D3")))
        self.assertEqual(ds.input_fields(inbound, screen), {"name": h("C1 C2 40"), "amount": h("F1 F2 D3")})
        self.assertEqual(ds.signed_value(h("40 F1 F2 D3")), -123)
        self.assertEqual(ds.signed_value(h("F0 F4 F2")), 42)
        self.assertEqual(ds.input_fields(ds.parse_record(ds.record(3, h("02 04 F1"))), screen), {})
        with self.assertRaises(ValueError):
            ds.input_fields(ds.parse_record(ds.record(3, h("02 04 F1 C1 C2"))), screen)


if __name__ == "__main__":
    unittest.main()
