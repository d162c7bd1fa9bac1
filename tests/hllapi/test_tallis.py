"""libtallis through ctypes against corvina-cli on the demo host.

Run by ctest with CORVINA_CLI, CORVINA_DDE, TALLIS_LIB and TESTHOST in the
environment. Every emulator and host runs on 127.0.0.1 with a time limit,
in a runtime folder of its own (CORVINA_RUNTIME_DIR)."""
import ctypes
import fcntl
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

CLI = os.environ.get("CORVINA_CLI", "")
DDE = os.environ.get("CORVINA_DDE", "")
LIB = os.environ.get("TALLIS_LIB", "")
TESTHOST = os.environ.get("TESTHOST", "")

# A client in a process of its own: it runs the calls given on its command
# line (function number, data) and prints each return code and length.
CLIENT = r"""
import ctypes, sys, time
lib = ctypes.CDLL(sys.argv[1])
for step in sys.argv[2:]:
    if step.startswith("sleep"):
        print("ready", flush=True)
        time.sleep(float(step[5:]))
        continue
    fn, _, text = step.partition(":")
    buf = ctypes.create_string_buffer(text.encode("latin-1"), 4096)
    f, l, r = ctypes.c_uint16(int(fn)), ctypes.c_uint16(len(text)), ctypes.c_uint16(0)
    lib.hllapi(ctypes.byref(f), buf, ctypes.byref(l), ctypes.byref(r))
    print(r.value, l.value, flush=True)
"""


class Tallis:
    """The library in this process."""

    def __init__(self):
        self.lib = ctypes.CDLL(LIB)

    def call(self, function, data=b"", length=None, position=0, size=8192):
        buf = ctypes.create_string_buffer(bytes(data), max(size, len(data) + 1))
        f = ctypes.c_uint16(function)
        l = ctypes.c_uint16(len(data) if length is None else length)
        r = ctypes.c_uint16(position)
        self.lib.hllapi(ctypes.byref(f), buf, ctypes.byref(l), ctypes.byref(r))
        return r.value, l.value, buf.raw

    def screen(self):
        rc, _, raw = self.call(5)
        text = raw[:1920].decode("latin-1")
        return rc, [text[i:i + 80].rstrip() for i in range(0, 1920, 80)]


# One runtime folder for the module: the library in this process opens the
# shared area once.
RUN_DIR = tempfile.mkdtemp(prefix="tallis-run-")
os.environ["CORVINA_RUNTIME_DIR"] = RUN_DIR


def tearDownModule():
    shutil.rmtree(RUN_DIR, ignore_errors=True)


def wait_for(predicate, seconds=10.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.05)
    return False


class Emulators(unittest.TestCase):
    """Each test gets a runtime folder, a demo host and emulators of its own."""

    def setUp(self):
        for name, value in (("CORVINA_CLI", CLI), ("TALLIS_LIB", LIB), ("TESTHOST", TESTHOST)):
            if not value:
                self.skipTest(name + " is not set")
        self.dir = tempfile.mkdtemp(prefix="tallis-")
        self.run_dir = RUN_DIR
        self.children = []
        self.files = []
        self.tallis = Tallis()

    def tearDown(self):
        self.tallis.call(21)  # Reset System: this process's state only
        for child in self.children:
            if child.poll() is None:
                child.kill()
            child.wait()
            if child.stdout:
                child.stdout.close()
        for f in self.files:
            f.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def start(self, args, out=None, **kwargs):
        child = subprocess.Popen(args, stdout=out or subprocess.DEVNULL, stderr=subprocess.STDOUT, **kwargs)
        self.children.append(child)
        return child

    def host(self, name, scenario="demo", options=()):
        port_file = os.path.join(self.dir, name + ".port")
        log = os.path.join(self.dir, name + ".log")
        args = [sys.executable, TESTHOST, "--scenario", scenario, "--port-file", port_file, "--log", log,
                "--once", "--timeout", "60"]
        for option in options:
            args += ["--option", option]
        self.start(args)
        self.assertTrue(wait_for(lambda: os.path.exists(port_file)))
        with open(port_file) as f:
            return int(f.read()), log

    def emulator(self, letter, name, seconds=30, scenario="demo", options=()):
        """corvina-cli serving one session of the test host under the letter."""
        port, log = self.host(name, scenario, options)
        data = os.path.join(self.dir, name)
        os.mkdir(data, 0o700)
        with open(os.path.join(data, name + ".tsp"), "w") as f:
            f.write("[Session Profile]\nName=%s\nHost=127.0.0.1,%d\nTerminalType=3279,24,80,IBM-3278-2-E\n"
                    "TallisId=%s,%s\n" % (name, port, letter, name.upper()))
        out = open(os.path.join(self.dir, name + ".out"), "w")
        self.files.append(out)
        cli = self.start([CLI, "--data-dir", data, "--settings", os.path.join(data, "c.ini"), "--for", str(seconds),
                          name], out=out)
        cli.out_path = out.name
        cli.host_log = log
        return cli

    def served(self, letter, screen="Logon"):
        def ready():
            rc, _, _ = self.tallis.call(1, letter.encode())
            return rc == 0
        self.assertTrue(wait_for(ready), "no emulator serves " + letter)
        self.assertTrue(wait_for(lambda: screen in "".join(self.tallis.screen()[1])))

    def client(self, *steps):
        return self.start([sys.executable, "-c", CLIENT, LIB, *steps], out=subprocess.PIPE, text=True)


class LogonFlow(Emulators):
    def test_the_demo_logon_through_every_kind_of_call(self):
        cli = self.emulator("A", "demo", seconds=20)
        self.served("A")
        t = self.tallis
        rc, logon = t.screen()
        self.assertEqual(rc, 0)

        # The same screen as another 3270 client shows.
        if shutil.which("s3270"):
            port, _ = self.host("other")
            s3270 = subprocess.run(["s3270", "-model", "3279-2"], text=True, capture_output=True, timeout=30,
                                   input="Connect(127.0.0.1:%d)\nWait(10,InputField)\nAscii()\nQuit()\n" % port)
            rows = [line[6:].rstrip() for line in s3270.stdout.splitlines() if line.startswith("data: ")]
            self.assertEqual(rows[:24], logon)

        # Sessions, status and positions from the slots.
        rc, count, raw = t.call(10, length=120)
        self.assertEqual((rc, count), (0, 1))
        self.assertEqual(raw[:12], b"ADEMO    H" + (1920).to_bytes(2, "little"))
        rc, _, raw = t.call(22, b"A", length=18)
        self.assertEqual(rc, 0)
        self.assertEqual(raw[:18], b"ADEMO    " + b"D\x80" + (24).to_bytes(2, "little") +
                         (80).to_bytes(2, "little") + (37).to_bytes(2, "little") + b"\0")
        rc, row, _ = t.call(99, b"AP", position=81)
        self.assertEqual((rc, row), (1, 2))

        # Search, then the user field found from the label and filled by Copy String to Field.
        rc, user, _ = t.call(6, b"User")
        self.assertEqual(rc, 0)
        self.assertTrue(logon[(user - 1) // 80][(user - 1) % 80:].startswith("User"))
        rc, field, _ = t.call(31, b"NU", position=user)
        self.assertEqual(rc, 0)
        rc, used, _ = t.call(33, b"demo", position=field)
        self.assertEqual((rc, used), (0, 4))
        rc, length, _ = t.call(32, b"  ", position=field)
        self.assertEqual(rc, 0)
        rc, copied, raw = t.call(34, length=length, position=field)
        self.assertEqual(raw[:4], b"demo")

        # Keys: Tab to the password, Enter; the host sees the Enter AID.
        self.assertEqual(t.call(9, b"IPAUSE")[0], 0)
        self.assertEqual(t.call(23, b"AB")[0], 0)
        self.assertEqual(t.call(3, b"@Tdemo@E")[0], 0)
        self.assertEqual(t.call(18, length=20)[0], 26)  # the host's answer ends the pause
        self.assertTrue(wait_for(lambda: "Main Menu" in "".join(t.screen()[1])))
        self.assertIn(t.call(24, b"A")[0], (22, 23))
        self.assertEqual(t.call(24, b"A")[0], 0)  # the bits were taken
        self.assertEqual(t.call(4)[0], 0)
        rc, _, oia = t.call(13, length=103)
        self.assertEqual(rc, 0)
        self.assertEqual(oia[0:1], b"1")
        self.assertEqual(oia[18], 0xA0)  # the short name A
        self.assertEqual(t.call(25, b"A")[0], 0)
        menu = t.screen()[1]
        self.assertEqual(t.call(2)[0], 0)
        self.assertEqual(t.call(5)[0], 1)  # no current session any more

        with open(cli.host_log) as f:
            records = [line for line in f if line.startswith("< 7D ")]
        self.assertEqual(len(records), 1, "one Enter record")
        self.assertEqual(cli.wait(30), 0)
        with open(cli.out_path, encoding="utf-8") as f:
            printed = [line.rstrip() for line in f.read().splitlines()]
        self.assertEqual(printed[-24:], menu)
        # Its emulator has ended: the letter is free again.
        self.assertEqual(t.call(1, b"A")[0], 1)


    def test_the_example_logs_on(self):
        self.emulator("A", "demo")
        self.served("A")
        self.tallis.call(21)
        example = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "hllapi", "logon_example.py")
        run = subprocess.run([sys.executable, example, LIB], capture_output=True, text=True, timeout=60)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("Main Menu", run.stdout)


class Robustness(Emulators):
    def holder(self):
        """A process that holds the area's lock until it is killed."""
        code = ("import fcntl, os, sys, time\n"
                "fd = os.open(sys.argv[1], os.O_RDWR)\n"
                "fcntl.lockf(fd, fcntl.LOCK_EX, 1, 0)\n"
                "print('locked', flush=True)\n"
                "time.sleep(60)\n")
        child = self.start([sys.executable, "-c", code, os.path.join(self.run_dir, "hllapi.lock")],
                           out=subprocess.PIPE, text=True)
        self.assertEqual(child.stdout.readline().strip(), "locked")
        return child

    def test_a_killed_lock_holder_costs_under_a_second_and_a_stopped_one_makes_calls_busy(self):
        self.emulator("A", "demo")
        self.served("A")
        holder = self.holder()
        os.kill(holder.pid, signal.SIGKILL)
        holder.wait()
        start = time.monotonic()
        self.assertEqual(self.tallis.call(1, b"A")[0], 0)
        self.assertLess(time.monotonic() - start, 1.0)

        holder = self.holder()
        os.kill(holder.pid, signal.SIGSTOP)
        start = time.monotonic()
        self.assertEqual(self.tallis.call(1, b"A")[0], 4)
        self.assertLess(time.monotonic() - start, 10.0)
        # The emulator goes on serving its other clients meanwhile.
        if DDE:
            dde = subprocess.run([DDE, "demo", "request", "R1"], capture_output=True, text=True, timeout=10,
                                 env=os.environ)
            self.assertEqual(dde.returncode, 0, dde.stdout + dde.stderr)
            self.assertIn("CORVINA DEMO", dde.stdout)
        os.kill(holder.pid, signal.SIGKILL)
        holder.wait()
        self.assertEqual(self.tallis.call(1, b"A")[0], 0)

    def poke(self, text):
        return subprocess.run([DDE, "demo", "poke", "Keystroke", text], capture_output=True, text=True,
                              timeout=10, env=os.environ).returncode

    def test_a_client_killed_while_reserved_or_intercepting_leaves_the_keyboard_working(self):
        if not DDE:
            self.skipTest("CORVINA_DDE is not set")
        self.emulator("A", "demo")
        self.served("A")
        self.tallis.call(21)  # our own Connect goes: the other client takes the session
        client = self.client("1:A", "11:", "50:AL", "sleep60")
        self.assertEqual(client.stdout.readline().split(), ["0", "1"])
        self.assertEqual(client.stdout.readline().split()[0], "0")
        self.assertEqual(client.stdout.readline().split()[0], "0")
        self.assertEqual(client.stdout.readline().strip(), "ready")
        self.assertEqual(self.tallis.call(1, b"A")[0], 11)  # connected by another client
        self.assertEqual(self.poke("qq"), 1)  # the keyboard is reserved
        os.kill(client.pid, signal.SIGKILL)
        client.wait()
        self.assertTrue(wait_for(lambda: self.tallis.call(1, b"A")[0] == 0, 5))
        # Keys typed by others reach the screen again: nothing holds or takes them.
        self.assertEqual(self.poke("qq"), 0)
        self.assertTrue(wait_for(lambda: "qq" in "".join(self.tallis.screen()[1]), 5))
        self.assertEqual(self.tallis.call(50, b"AL")[0], 0)  # interception is free to start again
        self.assertEqual(self.tallis.call(53, b"A")[0], 0)

    def test_another_user_is_refused(self):
        if os.geteuid() != 0 or not shutil.which("setpriv"):
            self.skipTest("needs root and setpriv")
        self.emulator("A", "demo")
        self.served("A")
        other = subprocess.run(["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", sys.executable, "-c",
                                CLIENT, LIB, "1:A", "10:"], capture_output=True, text=True, timeout=30,
                               env=os.environ)
        lines = other.stdout.splitlines()
        self.assertEqual(len(lines), 2, other.stderr)
        self.assertEqual(lines[0].split()[0], "9")  # the folder is not theirs
        self.assertEqual(lines[1].split(), ["0", "0"])  # and no session is listed

    def test_two_emulators_serve_their_own_letters_and_a_letter_once(self):
        self.emulator("A", "alpha")
        self.emulator("B", "beta")
        self.served("A")
        self.served("B")
        rc, count, raw = self.tallis.call(10, length=24)
        self.assertEqual((rc, count), (0, 2))
        self.assertEqual(raw[0:1] + raw[12:13], b"AB")
        third = self.emulator("A", "gamma", seconds=5)
        self.assertEqual(third.wait(30), 1)
        with open(third.out_path) as f:
            self.assertIn("WinHLLAPI session A in use elsewhere", f.read())
        rc, count, _ = self.tallis.call(10, length=12)
        self.assertEqual((rc, count), (2, 2))


class Transfers(Emulators):
    def test_send_and_receive_file_move_the_bytes_and_report_open_failures(self):
        folder = os.path.join(self.dir, "host")
        os.mkdir(folder)
        cli = self.emulator("A", "ft", seconds=60, scenario="indfile", options=("system=vm", "folder=" + folder))
        self.served("A", "Ready;")
        t = self.tallis
        data = bytes(range(256)) * 80 + b"\r\n\x1a"
        source = os.path.join(self.dir, "source.bin")
        with open(source, "wb") as f:
            f.write(data)
        # Without options the file moves as it is. The call returns once
        # the transfer words say it ended (3).
        self.assertEqual(t.call(90, ("%s A:TEST DATA A" % source).encode())[0], 3)
        with open(os.path.join(folder, "TEST.DATA.A"), "rb") as f:
            self.assertEqual(f.read(), data)
        back = os.path.join(self.dir, "back.bin")
        self.assertTrue(wait_for(lambda: "Transfers: 1" in "".join(t.screen()[1])))
        self.assertEqual(t.call(91, ('"%s" a:TEST DATA A' % back).encode())[0], 3)
        with open(back, "rb") as f:
            self.assertEqual(f.read(), data)
        self.assertTrue(wait_for(lambda: "Transfers: 2" in "".join(t.screen()[1])))
        # A text transfer: the host stores CR LF lines as records.
        text = os.path.join(self.dir, "text.txt")
        with open(text, "wb") as f:
            f.write(b"line one\nline two\n")
        self.assertEqual(t.call(90, ("%s A:TEXT DATA A (ASCII CRLF" % text).encode())[0], 3)
        self.assertTrue(wait_for(lambda: "Transfers: 3" in "".join(t.screen()[1])))

        # A PC file that is not there, or cannot be made: nothing starts.
        self.assertEqual(t.call(90, ("%s A:TEST DATA A" % os.path.join(self.dir, "none")).encode())[0], 302)
        self.assertEqual(t.call(91, ("%s A:TEST DATA A" % os.path.join(self.dir, "no", "x")).encode())[0], 302)
        self.assertEqual(t.call(91, ("%s A:TEST DATA A" % folder).encode())[0], 305)  # a folder
        with open(cli.host_log) as f:
            log = f.read()
        commands = [line for line in log.splitlines() if "ind$file: command:" in line]
        # The host file keeps the blank before "(".
        self.assertEqual([c.split("command: ")[1] for c in commands],
                         ["IND$FILE PUT TEST DATA A", "IND$FILE GET TEST DATA A",
                          "IND$FILE PUT TEXT DATA A  ( ASCII CRLF )"])
        self.assertEqual(log.count("result: TRANS03"), 3)


class Library(unittest.TestCase):
    def test_calls_the_library_answers_alone(self):
        if not LIB:
            self.skipTest("TALLIS_LIB is not set")
        t = Tallis()

        class Startup(ctypes.Structure):
            _fields_ = [("version", ctypes.c_uint16), ("description", ctypes.c_char * 128)]

        for requested, answer in ((0x0101, 0), (0x0001, 0), (0x0201, 0xF004), (0x0000, 0xF001)):
            record = Startup()
            self.assertEqual(t.lib.WinHLLAPIStartup(ctypes.c_uint16(requested), ctypes.byref(record)), answer)
            self.assertEqual((record.version, record.description), (0x0101, b"Corvina WinHLLAPI"))
        self.assertEqual(t.lib.WinHLLAPICleanup(), 1)
        for number in (0, 16, 106):
            self.assertEqual(t.call(number)[0], 10)
        self.assertEqual(t.call(9, b"EAB,XLATE")[0], 0)
        self.assertEqual(t.call(9, b"EAB NOSUCH")[:2], (2, 1))
        words = b"TIMEOUT=2 ESC=# STRLEN NOEAB NOXLATE ESC=@"
        self.assertEqual(t.call(9, words)[:2], (0, len(words)))  # the length word stays
        self.assertEqual(t.call(22, b"A", length=17)[0], 2)
        self.assertEqual(t.call(99, b"QP", position=81)[0], 9998)
        rc, _, raw = t.call(20, size=35)
        self.assertEqual((rc, raw[:14]), (0, b"101" + b"\0" * 9 + b"UE"))
        self.assertEqual(t.call(21)[0], 0)

    def test_only_the_four_entry_points_are_exported(self):
        if not LIB or not shutil.which("nm"):
            self.skipTest("needs TALLIS_LIB and nm")
        out = subprocess.run(["nm", "-D", "--defined-only", LIB], capture_output=True, text=True, check=True).stdout
        names = sorted(line.split()[-1] for line in out.splitlines() if line.strip())
        self.assertEqual(names, ["WinHLLAPI", "WinHLLAPICleanup", "WinHLLAPIStartup", "hllapi"])


if __name__ == "__main__":
    unittest.main()
