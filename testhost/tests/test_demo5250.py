"""The 5250 demo application played by a client socket."""

import unittest

from testhost import demo5250 as demo
from testhost import ds5250 as ds
from testhost import telnet as t
from testhost.tests.test_scenarios import h, run

EOR = h("FF EF")


def reply(aid, cursor, *fields, flags=0):
    """A Read MDT Fields response: AID, cursor and ((row, column), text) fields."""
    data = bytes((*cursor, aid))
    for (row, column), text in fields:
        data += ds.sba(row, column) + ds.text(text)
    return t.record(ds.record(ds.PUT_GET, data, flags=flags))


class Demo5250Test(unittest.TestCase):
    def connect(self):
        host = run("demo5250")
        peer = host.peer()
        peer.expect(h("FF FD 27"))
        peer.send(h("FF FC 27"))  # no NEW-ENVIRON: the default display name
        peer.expect(h("FF FD 18"))
        peer.send(h("FF FB 18"))
        peer.expect(t.subnegotiation(t.TERMINAL_TYPE, b"\x01"))
        peer.send(t.subnegotiation(t.TERMINAL_TYPE, b"\x00IBM-3179-2"))
        peer.expect(h("FF FD 19 FF FB 19 FF FD 00 FF FB 00"))
        peer.send(h("FF FB 19 FF FD 19 FF FB 00 FF FD 00"))
        # The host asks what the display is first.
        self.assertEqual(peer.read_until(EOR), t.record(ds.record(ds.PUT_GET, ds.query())))
        peer.send(t.record(ds.record(ds.PUT_GET, h("01 02 88 00 3A D9 70 80 06 00 02 02 00") + bytes(16)
                                     + h("01 F3 F1 F7 F9 F0 F0 F2") + bytes(23))))
        return host, peer

    def test_sign_on_error_menu_list_and_sign_off(self):
        host, peer = self.connect()
        sign_on = peer.read_until(EOR)
        self.assertIn(ds.text("Sign On"), sign_on)
        self.assertIn(ds.text(demo.DEFAULT_DEVICE), sign_on)
        # The password field is non-display and monocase.
        self.assertIn(ds.sof(10, ds.attr("non-display"), ds.ffw(monocase=True)), sign_on)
        peer.send(reply(0xF1, (7, 57), ((6, 53), "DEMO"), ((7, 53), "NOPE")))
        self.assertEqual(peer.read_until(EOR), t.record(ds.record(
            ds.PUT_GET, ds.wec(ds.attr("white") + ds.text(demo.TEXTS["bad password"]) + ds.attr("green"), (7, 53)),
            ds.read_mdt())))
        peer.send(reply(0xF1, (7, 57), ((6, 53), "DEMO"), ((7, 53), "DEMO")))
        self.assertIn(ds.text("Corvina Demo Main Menu"), peer.read_until(EOR))
        # A help request is answered in the error row.
        peer.send(t.record(ds.record(ds.PUT_GET, h("00 12"), flags=ds.FLAG_HELP)))
        self.assertIn(ds.text(demo.TEXTS["help"].format(code="0012")), peer.read_until(EOR))
        peer.send(reply(0xF1, (21, 8), ((21, 7), "2")))
        self.assertIn(ds.text("Customer List"), peer.read_until(EOR))
        # Roll Up: the area rolls by eleven rows and only the new rows are written.
        peer.send(reply(ds.AID_ROLL_UP, (1, 2)))
        rolled = peer.read_until(EOR)
        self.assertIn(ds.roll(11, 5, 16), rolled)
        self.assertIn(ds.sba(16, 2) + ds.attr("green") + ds.text(demo.list_row(22)), rolled)
        self.assertNotIn(ds.text(demo.list_row(11)), rolled)
        peer.send(reply(ds.AID_ROLL_DOWN, (1, 2)))
        self.assertIn(ds.roll(11, 5, 16, down=True), peer.read_until(EOR))
        peer.send(reply(ds.AID_ROLL_DOWN, (1, 2)))
        self.assertIn(ds.text(demo.TEXTS["top"]), peer.read_until(EOR))
        peer.send(reply(ds.aid_of_function_key(3), (1, 2)))
        peer.read_until(EOR)
        peer.send(reply(0xF1, (21, 9), ((21, 7), "90")))
        self.assertIn(ds.text(demo.TEXTS["signed off"]), peer.read_to_end())
        self.assertEqual(host.join(), 0)
        log = "\n".join(host.log_lines())
        self.assertIn('# 5250 read: cursor 7,57 AID F1 Enter; field 6,53 "DEMO"; field 7,53 "DEMO"', log)
        self.assertIn("# 5250 query reply: device 3179-002", log)

    def test_order_entry_reads_every_field(self):
        host, peer = self.connect()
        peer.read_until(EOR)
        peer.send(reply(0xF1, (7, 57), ((6, 53), "DEMO"), ((7, 53), "DEMO")))
        peer.read_until(EOR)
        peer.send(reply(0xF1, (21, 8), ((21, 7), "1")))
        self.assertIn(ds.read_input_fields(), peer.read_until(EOR))
        # Read Input Fields: name (20), quantity (5), amount (7 of 8), account (6).
        fields = ds.text("ANN".ljust(20)) + ds.text("00005") + h("40 40 40 F1 F2 F5 D0") + ds.text("123455")
        peer.send(t.record(ds.record(ds.PUT_GET, h("05 28 F1") + fields)))
        saved = peer.read_until(EOR)
        self.assertIn(ds.text("Order saved: 5 for ANN, amount -12.50, account 123455."), saved)
        peer.send(t.record(ds.record(ds.PUT_GET, h("05 28 F1"))))  # nothing typed: the name is missing
        self.assertIn(ds.text(demo.TEXTS["name required"]), peer.read_until(EOR))
        peer.close()
        self.assertEqual(host.join(), 0)


if __name__ == "__main__":
    unittest.main()
