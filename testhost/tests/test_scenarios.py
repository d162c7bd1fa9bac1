"""Each test's client socket plays the emulator against a scenario."""

import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from testhost import negotiate, scenarios
from testhost import telnet as t
from testhost.tests.peer import HostThread, Peer

COMMAND = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                       "corvina_testhost.py")


def h(text):
    return bytes.fromhex(text)


def sb(option, payload):
    return t.subnegotiation(option, payload)


def run(name, **options):
    return HostThread(lambda conn: scenarios.SCENARIOS[name].run(conn, scenarios.Options(options)))


class NvtTest(unittest.TestCase):
    def test_banner_login_and_echo(self):
        host = run("nvt-banner")
        peer = host.peer()
        peer.expect(h("FF FB 01 FF FB 03"))
        peer.send(h("FF FD 01 FF FD 03"))
        peer.expect(b"Corvina test host\r\n\r\nlogin: ")
        peer.send(b"bo\x7fb\r\x00")
        peer.expect(b"bo\b \bb\r\nWelcome, bb. Type exit to leave.\r\n$ ")
        peer.send(b"exit\r\n")
        self.assertEqual(peer.read_to_end(), b"exit\r\nGoodbye.\r\n")
        self.assertEqual(host.join(), 0)
        self.assertEqual(host.received(), h("FF FD 01 FF FD 03") + b"bo\x7fb\r\x00exit\r\n")

    def test_no_echo_when_the_client_refuses_it(self):
        host = run("nvt-options")
        peer = host.peer()
        peer.expect(h("FF FB 01 FF FB 03 FF FD 1F FF FD 18"))
        peer.send(h("FF FE 01 FF FD 03 FF FB 1F") + sb(t.NAWS, h("00 84 00 2B"))
                  + h("FF FB 18"))
        peer.expect(sb(t.TERMINAL_TYPE, b"\x01"))
        peer.send(sb(t.TERMINAL_TYPE, b"\x00VT220"))
        peer.expect(b"Corvina test host\r\n\r\nTerminal type: VT220\r\nWindow: 132x43\r\nlogin: ")
        peer.send(b"me\r\n")
        peer.expect(b"\r\nWelcome, me.")
        peer.close()
        self.assertEqual(host.join(), 0)

    def test_close_and_reset(self):
        host = run("nvt-close")
        self.assertEqual(host.peer().read_to_end(), b"Corvina test host: closing the connection.\r\n")
        self.assertEqual(host.join(), 0)
        host = run("nvt-close", reset="1")
        with self.assertRaises(ConnectionResetError):  # at connect or at the first read
            host.peer().read_to_end()
        host.join()


class Tn3270Test(unittest.TestCase):
    def test_plain_negotiation_asks_again_for_a_rejected_lu_then_logs_records(self):
        host = run("tn3270", reject="LUA")
        peer = host.peer()
        peer.expect(h("FF FD 18"))
        peer.send(h("FF FB 18"))
        for offer in (b"IBM-3278-2-E@LUA", b"IBM-3278-2-E@LUB"):
            peer.expect(sb(t.TERMINAL_TYPE, b"\x01"))
            peer.send(sb(t.TERMINAL_TYPE, b"\x00" + offer))
        peer.expect(h("FF FD 19 FF FB 19 FF FD 00 FF FB 00"))
        peer.send(h("FF FB 19 FF FD 19 FF FB 00 FF FD 00 7D 40 40 FF FF FF EF"))
        peer.close()
        self.assertEqual(host.join(), 0)
        self.assertIn("< 7D 40 40 FF FF FF EF  # record, 4 bytes", host.log_lines())

    def negotiate_tn3270e(self, peer, first_lu=b"LUA"):
        peer.expect(h("FF FD 28"))
        peer.send(h("FF FB 28"))
        peer.expect(sb(t.TN3270E, h("08 02")))
        peer.send(sb(t.TN3270E, h("02 07") + b"IBM-3278-2-E" + h("01") + first_lu))

    def test_tn3270e_lu_reject_function_subset_bind_and_always_response(self):
        host = run("tn3270e", reject="LUA", functions="0,2", write="1")
        peer = host.peer()
        self.negotiate_tn3270e(peer)
        peer.expect(sb(t.TN3270E, h("02 06 05 03")))  # REJECT REASON INV-NAME
        peer.send(sb(t.TN3270E, h("02 07") + b"IBM-3278-2-E" + h("01") + b"LUB"))
        peer.expect(sb(t.TN3270E, h("02 04") + b"IBM-3278-2-E" + h("01") + b"LUB"))
        peer.send(sb(t.TN3270E, h("03 07 00 02 04 01 03")))
        peer.expect(sb(t.TN3270E, h("03 07 00 02")))  # the host's subset
        peer.send(sb(t.TN3270E, h("03 04 00 02")))
        peer.expect(t.record(h("03 00 00 00 00") + negotiate.bind_image()))
        peer.expect(h("00 00 02 00 00 F5 C3 FF EF"))  # 3270-DATA, ALWAYS-RESPONSE, seq 0
        peer.send(h("02 00 00 00 00 00 FF EF"))
        peer.close()
        self.assertEqual(host.join(), 0)
        self.assertIn("< 02 00 00 00 00 00 FF EF  # record RESPONSE POSITIVE seq 0, 1 bytes",
                      host.log_lines())

    def test_wrong_response_fails_the_scenario(self):
        host = run("tn3270e", write="1")
        peer = host.peer()
        self.negotiate_tn3270e(peer)
        peer.expect(sb(t.TN3270E, h("02 04") + b"IBM-3278-2-E" + h("01") + b"LUA"))
        peer.send(sb(t.TN3270E, h("03 07 00 02")))
        peer.expect(sb(t.TN3270E, h("03 04 00 02")))
        peer.read_until(h("F5 C3 FF EF"))
        peer.send(h("02 00 01 00 01 00 FF EF"))
        self.assertEqual(host.join(), 1)
        self.assertIn("# connection 1: scenario failed: wrong RESPONSE: sequence number 1, "
                      "expected 0; response flag 1, expected 0", host.log_lines())

    def test_falls_back_to_plain_3270_when_the_client_gives_up_tn3270e(self):
        host = run("tn3270e", reject="LUA")
        peer = host.peer()
        self.negotiate_tn3270e(peer)
        peer.expect(sb(t.TN3270E, h("02 06 05 03")))
        peer.send(h("FF FC 28"))
        peer.expect(h("FF FE 28 FF FD 18"))  # acknowledge, then TERMINAL-TYPE
        peer.send(h("FF FB 18"))
        peer.expect(sb(t.TERMINAL_TYPE, b"\x01"))
        peer.send(sb(t.TERMINAL_TYPE, b"\x00IBM-3278-2"))
        peer.expect(h("FF FD 19 FF FB 19 FF FD 00 FF FB 00"))
        peer.send(h("FF FB 19 FF FD 19 FF FB 00 FF FD 00"))
        peer.close()
        self.assertEqual(host.join(), 0)
        self.assertIn("# the client turned TN3270E off after 1 device-type requests; "
                      "going on without TN3270E", host.log_lines())

    def test_associate_gets_the_printer_name_and_no_name_the_device_name(self):
        for keyword, name, assigned in ((t.E_ASSOCIATE, b"LUA", b"PRT00001"),
                                        (None, b"", b"TERM0001")):
            results = []
            host = HostThread(lambda conn: results.append(negotiate.tn3270e(conn)))
            peer = host.peer()
            peer.expect(h("FF FD 28"))
            peer.send(h("FF FB 28"))
            peer.expect(sb(t.TN3270E, h("08 02")))
            tail = b"" if keyword is None else bytes((keyword,)) + name
            peer.send(sb(t.TN3270E, h("02 07") + b"IBM-3287-1" + tail))
            peer.expect(sb(t.TN3270E, h("02 04") + b"IBM-3287-1" + h("01") + assigned))
            peer.send(sb(t.TN3270E, h("03 07 02")))
            peer.expect(sb(t.TN3270E, h("03 04 02")))
            peer.close()
            self.assertEqual(host.join(), 0)
            self.assertEqual(results[0].device_name, assigned.decode())
            self.assertEqual(results[0].functions, {t.FN_RESPONSES})


class Tn5250Test(unittest.TestCase):
    def test_new_environ_and_terminal_type(self):
        results = []
        host = HostThread(lambda conn: results.append(negotiate.tn5250(conn)))
        peer = host.peer()
        peer.expect(h("FF FD 27"))
        peer.send(h("FF FB 27"))
        peer.expect(sb(t.NEW_ENVIRON, h("01 03") + b"DEVNAME" + h("03") + b"IBMRSEED"
                       + b"ABCDEFGH" + h("00 03")))
        peer.send(sb(t.NEW_ENVIRON, h("00 03") + b"DEVNAME" + h("01") + b"QPADEV01"
                     + h("03") + b"IBMRSEED" + h("01")))
        peer.expect(h("FF FD 18"))
        peer.send(h("FF FB 18"))
        peer.expect(sb(t.TERMINAL_TYPE, b"\x01"))
        peer.send(sb(t.TERMINAL_TYPE, b"\x00IBM-3179-2"))
        peer.expect(h("FF FD 19 FF FB 19 FF FD 00 FF FB 00"))
        peer.send(h("FF FB 19 FF FD 19 FF FB 00 FF FD 00"))
        peer.close()
        self.assertEqual(host.join(), 0)
        self.assertEqual(results[0].terminal_type, "IBM-3179-2")
        self.assertEqual(results[0].variable(b"DEVNAME"), b"QPADEV01")
        self.assertEqual(results[0].variable(b"IBMRSEED"), b"")


class CommandTest(unittest.TestCase):
    def start(self, *arguments):
        folder = tempfile.mkdtemp()
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", folder]))
        port_file, log = os.path.join(folder, "port"), os.path.join(folder, "log")
        process = subprocess.Popen([sys.executable, COMMAND, "--port-file", port_file,
                                    "--log", log, *arguments])
        self.addCleanup(process.kill)
        end = time.monotonic() + 10
        while not os.path.exists(port_file) and process.poll() is None:
            self.assertLess(time.monotonic(), end, "no port file")
            time.sleep(0.02)
        port = None
        if os.path.exists(port_file):
            with open(port_file) as text:
                port = int(text.read())
        return process, port, log, folder

    def test_serves_a_scenario_file_once_and_logs_the_bytes(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(lambda: subprocess.run(["rm", "-rf", folder]))
        scenario = os.path.join(folder, "greet.py")
        with open(scenario, "w") as out:
            out.write('"""Greets, then waits for one line."""\n'
                      'OPTIONS = {"word": "what to send"}\n'
                      'def run(conn, options):\n'
                      '    conn.send_text(options.text("word"))\n'
                      '    conn.wait_for_data(b"\\n")\n')
        process, port, log, _ = self.start("--scenario", scenario, "--once", "--option",
                                           "word=hi\xff")
        peer = Peer(port)
        self.addCleanup(peer.close)
        peer.expect(b"hi\xff\xff")
        peer.send(b"ok\n")
        self.assertEqual(peer.read_to_end(), b"")
        self.assertEqual(process.wait(10), 0)
        with open(log) as lines:
            text = lines.read()
        self.assertIn('> 68 69 FF FF  # data "hi\\xFF"\n< 6F 6B 0A  # data "ok\\n"\n', text)

    def test_exit_status_without_client_and_on_bad_arguments(self):
        process, port, _, _ = self.start("--scenario", "silent", "--once", "--timeout", "0.2")
        self.assertIsNotNone(port)
        self.assertEqual(process.wait(10), 3)
        with socket.socket() as probe:  # the port is closed again
            self.assertNotEqual(probe.connect_ex(("127.0.0.1", port)), 0)
        bad = subprocess.run([sys.executable, COMMAND, "--scenario", "tn3270", "--option",
                              "nope=1"], capture_output=True, text=True, timeout=10)
        self.assertEqual(bad.returncode, 2)
        self.assertIn("scenario tn3270 has no option 'nope' (options: reject, reject-types)",
                      bad.stderr)

    def test_terminate_ends_the_host_at_once(self):
        process, port, log, _ = self.start("--scenario", "silent")
        peer = Peer(port)
        self.addCleanup(peer.close)
        peer.send(b"x")
        time.sleep(0.2)
        process.terminate()
        self.assertEqual(process.wait(10), 128 + 15)
        with open(log) as lines:
            self.assertIn("# terminated by signal 15", lines.read())


if __name__ == "__main__":
    unittest.main()
