"""The demo application played by a client socket: logon, menu, form, keys."""

import unittest

from testhost import ds3270 as ds
from testhost import demo
from testhost import telnet as t
from testhost.tests.test_scenarios import h, run

EOR = h("FF EF")


def record(aid, cursor, *fields):
    """An inbound record: AID, cursor and (position, text) fields."""
    data = bytes((aid,)) + ds.address(cursor)
    for pos, text in fields:
        data += ds.sba(pos) + ds.text(text)
    return t.record(data)


class DemoTest(unittest.TestCase):
    def connect(self):
        host = run("demo")
        peer = host.peer()
        peer.expect(h("FF FD 18"))
        peer.send(h("FF FB 18"))
        peer.expect(t.subnegotiation(t.TERMINAL_TYPE, b"\x01"))
        peer.send(t.subnegotiation(t.TERMINAL_TYPE, b"\x00IBM-3279-2-E"))
        peer.expect(h("FF FD 19 FF FB 19 FF FD 00 FF FB 00"))
        peer.send(h("FF FB 19 FF FD 19 FF FB 00 FF FD 00"))
        return host, peer

    def screen(self, peer):
        return peer.read_until(EOR)

    def test_logon_menu_form_and_keys(self):
        host, peer = self.connect()
        logon = self.screen(peer)
        self.assertEqual(logon[:2], h("F5 C3"))
        self.assertIn(ds.text("Userid   ===>"), logon)
        # The password field is non-display; a wrong password stays on the logon screen.
        self.assertIn(bytes((ds.FIELD_ATTRIBUTE, demo.HIDDEN)), logon)
        peer.send(record(0x7D, 0, (demo.USER_FIELD, "DEMO"), (demo.PASSWORD_FIELD, "NOPE")))
        self.assertIn(ds.text("Userid or password not valid."), self.screen(peer))
        peer.send(record(0x7D, 0, (demo.USER_FIELD, "demo"), (demo.PASSWORD_FIELD, "demo")))
        self.assertIn(ds.text("Main Menu"), self.screen(peer))
        peer.send(record(0x7D, 0, (demo.OPTION_FIELD, "1")))
        form = self.screen(peer)
        self.assertIn(bytes((ds.FIELD_ATTRIBUTE, demo.NUMERIC)), form)
        peer.send(record(0x7D, 0, (demo.NAME_FIELD, "ANN"), (demo.ACCOUNT_FIELD, "1234")))
        self.assertIn(ds.text("Saved account 1234 for ANN."), self.screen(peer))
        peer.send(record(0xF3, 0))
        self.assertIn(ds.text("Main Menu"), self.screen(peer))
        peer.send(record(0x7D, 0, (demo.OPTION_FIELD, "2")))
        self.screen(peer)
        peer.send(t.record(h("6E")))  # PA2: a short read
        self.assertIn(ds.text("PA2"), self.screen(peer))
        peer.send(record(0xC5, 0))
        self.assertIn(ds.text("PF17"), self.screen(peer))
        peer.send(record(0xF3, 0))
        self.screen(peer)
        peer.send(record(0xF3, 0))  # log off
        self.assertIn(ds.text("You are logged off."), self.screen(peer))
        peer.send(record(0xF3, 0))  # PF3 on the logon screen ends the session
        self.assertIn(ds.text("Goodbye."), peer.read_to_end())
        self.assertEqual(host.join(), 0)


if __name__ == "__main__":
    unittest.main()
