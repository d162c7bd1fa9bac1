import io
import socket
import time
import unittest

from testhost import telnet as t
from testhost.server import (ClientClosed, Connection, Log, ScenarioError, TimeLimitReached,
                             WaitTimeout)


class ConnectionTest(unittest.TestCase):
    def setUp(self):
        self.host_side, self.client = socket.socketpair()
        self.client.settimeout(5)
        self.output = io.StringIO()
        self.conn = Connection(self.host_side, Log(self.output), 1, time.monotonic() + 10)

    def tearDown(self):
        self.conn.close()
        self.client.close()

    def lines(self):
        return self.output.getvalue().splitlines()

    def test_log_lines_carry_the_exact_bytes_in_both_directions(self):
        self.conn.send(t.negotiation(t.DO, t.TERMINAL_TYPE) + t.negotiation(t.WILL, t.ECHO))
        self.client.sendall(bytes.fromhex("FF FB 18 41 FF FF 42 FF FA 1F 00 50 00 18 FF F0"))
        self.conn.wait_for_subneg(t.NAWS)
        self.assertEqual(self.lines(), [
            "> FF FD 18 FF FB 01  # DO TERMINAL-TYPE; WILL ECHO",
            "< FF FB 18  # WILL TERMINAL-TYPE (unasked; refused)",
            "> FF FE 18  # DONT TERMINAL-TYPE",
            '< 41 FF FF 42  # data "A\\xFFB"',
            "< FF FA 1F 00 50 00 18 FF F0  # SB NAWS width 80 height 24",
        ])

    def test_waits_take_their_own_kind_in_order_whatever_came_before(self):
        self.client.sendall(bytes.fromhex(
            "FF FB 19"  # records start with this answer, in the same read
            " C1 FF F1 C2 FF EF"  # a record with a NOP inside
            " FF FA 18 00 58 FF F0"
            " C3 FF EF"))
        self.assertEqual(self.conn.negotiate((t.DO, t.END_OF_RECORD)),
                         {(t.DO, t.END_OF_RECORD): True})
        self.assertEqual(self.conn.wait_for_record(), b"\xc1\xc2")
        self.assertEqual(self.conn.wait_for_subneg(t.TERMINAL_TYPE), b"\x00X")
        self.assertEqual(self.conn.wait_for_record(), b"\xc3")
        self.conn.wait_for_command(t.NOP)
        self.assertEqual(self.conn.wait_for_data(b"\xc2"), b"\xc1\xc2")
        self.conn.wait_for_bytes(bytes.fromhex("FF EF"))
        self.conn.wait_for_bytes(bytes.fromhex("FF EF"))
        with self.assertRaises(WaitTimeout):
            self.conn.wait_for_bytes(bytes.fromhex("FF EF"), timeout=0.05)
        self.assertIn("< C1 C2 FF EF  # record, 2 bytes", self.lines())

    def test_negotiate_sends_once_and_collects_every_answer(self):
        self.client.sendall(bytes.fromhex("FF FD 01 FF FC 1F"))  # answers may come early
        answers = self.conn.negotiate((t.WILL, t.ECHO), (t.DO, t.NAWS))
        self.assertEqual(answers, {(t.WILL, t.ECHO): True, (t.DO, t.NAWS): False})
        self.assertEqual(self.client.recv(100), bytes.fromhex("FF FB 01 FF FD 1F"))
        # Already in effect: nothing is sent.
        self.assertEqual(self.conn.negotiate((t.WILL, t.ECHO)), {(t.WILL, t.ECHO): True})

    def test_pause_keeps_reading_and_handled_negotiations_stay_awaitable(self):
        self.conn.send_command(t.NOP)
        self.client.sendall(bytes.fromhex("FF FD 03"))
        self.conn.pause(0.1)
        self.assertEqual(self.lines()[1:], ["< FF FD 03  # DO SGA (unasked; refused)",
                                            "> FF FC 03  # WONT SGA"])
        self.conn.wait_for_negotiation(t.DO, t.SGA, timeout=0)
        self.assertEqual(self.client.recv(100), bytes.fromhex("FF F1 FF FC 03"))

    def test_ends_of_waiting(self):
        with self.assertRaises(WaitTimeout):
            self.conn.wait_for_record(timeout=0.05)
        self.conn.time_limit = time.monotonic() + 0.05
        with self.assertRaises(TimeLimitReached):
            self.conn.wait_for_record(timeout=5)
        self.conn.time_limit = time.monotonic() + 10
        self.client.sendall(b"Z")
        self.client.close()
        self.assertEqual(self.conn.wait_for_data(), b"Z")  # data before the close still counts
        with self.assertRaises(ClientClosed):
            self.conn.wait_for_record()
        self.conn.expect_eof(timeout=1)
        self.assertEqual(self.lines()[-1], "# connection 1: closed by the client")

    def test_nothing_can_be_awaited_after_the_host_closed(self):
        self.conn.close()
        with self.assertRaises(ScenarioError):
            self.conn.wait_for_record(timeout=1)
        with self.assertRaises(ClientClosed):
            self.conn.send(b"x")


if __name__ == "__main__":
    unittest.main()
