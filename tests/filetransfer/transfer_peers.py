"""IND$FILE through the test host: corvina-cli and s3270 send and receive the
same files in structured-field and screen-image mode, and must leave the
same host files and get the same files back.

    python3 transfer_peers.py CORVINA_CLI SYSTEM [--bench]

SYSTEM is vm, tso or cics. With --bench it times a 16 MiB structured-field
transfer (buffer 32767) by both clients and prints the rates instead.
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TESTHOST = os.path.join(SOURCE, "testhost", "corvina_testhost.py")
CLI = None
SYSTEM = "vm"

# Text of characters that every translation keeps (no [ ] ^ |).
LINES = [b"Corvina file transfer test, line %d: ABC xyz 0123456789 .,:;-'\"()!?/+*=%%&@#$_~{}" % n
         for n in range(200)]
TEXT_LF = b"\n".join(LINES) + b"\n"
TEXT_CRLF = b"\r\n".join(LINES) + b"\r\n"
BINARY = random.Random(17).randbytes(1 << 20)


def host_name(base):
    """A host file name as the system spells it."""
    return {"vm": f"{base} DATA A", "tso": f"{base}.DATA", "cics": f"{base}"}[SYSTEM]


def stored_name(base):
    return host_name(base).replace(" ", ".")


class Host:
    """The test host's IND$FILE scenario on a free port, keeping host files in a folder."""

    def __init__(self, work, mode, *options):
        self.folder = os.path.join(work, "host")
        os.makedirs(self.folder, exist_ok=True)
        port_file = os.path.join(work, "port")
        if os.path.exists(port_file):
            os.unlink(port_file)
        self.log = os.path.join(work, "host.log")
        args = [sys.executable, TESTHOST, "--scenario", "indfile", "--port-file", port_file,
                "--log", self.log, "--once", "--timeout", "300",
                "--option", f"system={SYSTEM}", "--option", f"mode={mode}",
                "--option", f"folder={self.folder}"]
        for option in options:
            args += ["--option", option]
        self.process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not os.path.exists(port_file):
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise RuntimeError("the test host did not start: " + self.process.stderr.read().decode())
            time.sleep(0.05)
        with open(port_file) as f:
            self.port = int(f.read())

    def file(self, base):
        with open(os.path.join(self.folder, stored_name(base)), "rb") as f:
            return f.read()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        self.process.wait(10)
        self.process.stderr.close()

    def notes(self):
        with open(self.log, encoding="latin-1") as f:
            return [line for line in f if line.startswith("# ind$file")]


def run_cli(work, port, steps, timeout=240):
    data = os.path.join(work, "data")
    os.makedirs(data, exist_ok=True)
    args = [CLI, "--data-dir", data, "--settings", os.path.join(work, "settings.ini"), "--timeout", "60",
            *steps, f"127.0.0.1:{port}"]
    return subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=timeout)


class S3270:
    """s3270 driven one action at a time. Transfer() may return before the
    transfer ends, so the host's prompt is polled for its transfer count."""

    def __init__(self, port):
        self.process = subprocess.Popen(["s3270", "-model", "3279-2"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.transfers = 0
        self.action(f"Connect(127.0.0.1:{port})")
        self.action("Wait(30,InputField)")

    def action(self, text):
        self.process.stdin.write(text.encode() + b"\n")
        self.process.stdin.flush()
        data = []
        while True:
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError(f"s3270 ended during {text}")
            line = line.decode("latin-1").rstrip("\n")
            if line in ("ok", "error"):
                return line, data
            if line.startswith("data: "):
                data.append(line[6:])

    def transfer(self, **keywords):
        words = ",".join(f'"{k}={v}"' for k, v in keywords.items())
        status, data = self.action(f"Transfer({words})")
        if status != "ok":
            raise RuntimeError(f"s3270 Transfer: {data}")
        self.transfers += 1
        deadline = time.monotonic() + 240
        while time.monotonic() < deadline:
            _status, data = self.action("Ascii(19,0,80)")
            if data and data[0].strip() == f"Transfers: {self.transfers}":
                return self.action("Ascii(20,0,80)")[1][0].strip()
            time.sleep(0.05)
        raise RuntimeError("s3270's transfer did not end")

    def close(self):
        try:
            self.action("Disconnect()")
            self.process.stdin.close()
        except (RuntimeError, BrokenPipeError):
            pass
        self.process.wait(10)
        self.process.stdout.close()


S3270_HOST = {"vm": "vm", "tso": "tso", "cics": "cics"}


class TransferTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="corvina-ft-")
        self.pc = os.path.join(self.work, "pc")
        os.makedirs(self.pc)
        for name, data in (("bin", BINARY), ("lf.txt", TEXT_LF), ("crlf.txt", TEXT_CRLF)):
            with open(os.path.join(self.pc, name), "wb") as f:
                f.write(data)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def pc_file(self, name):
        with open(os.path.join(self.pc, name), "rb") as f:
            return f.read()

    def ours(self, mode, host_options=()):
        """corvina-cli sends the three files and receives them back."""
        host = Host(self.work, mode, *host_options)
        image = ",screenimage" if mode == "cut" else ""
        steps = ["--ft-options", f"{SYSTEM},binary,nocrlf" + image]
        steps += ["--send", os.path.join(self.pc, "bin"), host_name("BIN")]
        steps += ["--receive", host_name("BIN"), os.path.join(self.pc, "bin.back")]
        steps += ["--ft-options", f"{SYSTEM},ascii,nocrlf" + image]
        for base, name in (("LF", "lf.txt"), ("CRLF", "crlf.txt")):
            steps += ["--send", os.path.join(self.pc, name), host_name(base)]
            steps += ["--receive", host_name(base), os.path.join(self.pc, name + ".back")]
        steps += ["--ft-options", f"{SYSTEM},ascii,crlf" + image]
        steps += ["--send", os.path.join(self.pc, "lf.txt"), host_name("ADDCR")]
        steps += ["--receive", host_name("ADDCR"), os.path.join(self.pc, "addcr.back")]
        result = run_cli(self.work, host.port, steps)
        host.stop()
        self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
        if "resend=3" in host_options:
            self.assertTrue(any("sent again alike" in n for n in host.notes()))
        self.assertEqual(self.pc_file("bin.back"), BINARY)
        self.assertEqual(self.pc_file("lf.txt.back"), TEXT_LF)
        self.assertEqual(self.pc_file("crlf.txt.back"), TEXT_CRLF)
        # CRLF gives every bare LF its CR on the way up, and keeps it on the way down.
        self.assertEqual(host.file("ADDCR"), TEXT_CRLF)
        self.assertEqual(self.pc_file("addcr.back"), TEXT_CRLF)
        return {base: host.file(base) for base in ("BIN", "LF", "CRLF", "ADDCR")}

    def theirs(self, mode, buffer_size=None):
        """s3270 sends the same files to the same kind of host and gets them back."""
        host = Host(self.work, mode)
        s = S3270(host.port)
        try:
            extra = {"BufferSize": buffer_size} if buffer_size else {}
            common = dict(Host=S3270_HOST[SYSTEM], Exist="replace", **extra)
            messages = []
            messages.append(s.transfer(Direction="send", LocalFile=os.path.join(self.pc, "bin"),
                                       HostFile=host_name("BIN"), Mode="binary", **common))
            messages.append(s.transfer(Direction="receive", LocalFile=os.path.join(self.pc, "bin.s3270"),
                                       HostFile=host_name("BIN"), Mode="binary", **common))
            for base, name in (("LF", "lf.txt"), ("CRLF", "crlf.txt")):
                messages.append(s.transfer(Direction="send", LocalFile=os.path.join(self.pc, name),
                                           HostFile=host_name(base), Mode="ascii", Cr="keep", Remap="no",
                                           **common))
                messages.append(s.transfer(Direction="receive", LocalFile=os.path.join(self.pc, name + ".s3270"),
                                           HostFile=host_name(base), Mode="ascii", Cr="keep", Remap="no",
                                           **common))
            messages.append(s.transfer(Direction="send", LocalFile=os.path.join(self.pc, "lf.txt"),
                                       HostFile=host_name("ADDCR"), Mode="ascii", Cr="add", Remap="no", **common))
        finally:
            s.close()
            host.stop()
        for m in messages:
            self.assertTrue(m.startswith("TRANS03"), messages)
        self.assertEqual(self.pc_file("bin.s3270"), BINARY)
        self.assertEqual(self.pc_file("lf.txt.s3270"), TEXT_LF)
        self.assertEqual(self.pc_file("crlf.txt.s3270"), TEXT_CRLF)
        return {base: host.file(base) for base in ("BIN", "LF", "CRLF", "ADDCR")}

    def test_structured_field_round_trips_and_s3270_leaves_the_same_host_files(self):
        mine = self.ours("dft")
        self.assertEqual(mine["BIN"], BINARY)
        self.assertEqual(mine["LF"], TEXT_LF)
        if shutil.which("s3270"):
            shutil.rmtree(os.path.join(self.work, "host"))
            self.assertEqual(self.theirs("dft"), mine)

    def test_screen_image_round_trips_and_s3270_leaves_the_same_host_files(self):
        # The host asks for its third block once more ("<"): it must come back alike.
        mine = self.ours("cut", ["resend=3"])
        self.assertEqual(mine["BIN"], BINARY)
        self.assertEqual(mine["CRLF"], TEXT_CRLF)
        if shutil.which("s3270"):
            shutil.rmtree(os.path.join(self.work, "host"))
            self.assertEqual(self.theirs("cut"), mine)

    @unittest.skipUnless(shutil.which("s3270"), "s3270 is not installed")
    def test_s3270_at_three_buffer_sizes(self):
        if SYSTEM != "vm":
            self.skipTest("the buffer sizes are checked on one host system")
        for size in (4096, 8192, 32768):
            with self.subTest(size=size):
                shutil.rmtree(os.path.join(self.work, "host"), ignore_errors=True)
                host = Host(self.work, "dft")
                s = S3270(host.port)
                try:
                    sent = s.transfer(Direction="send", LocalFile=os.path.join(self.pc, "bin"),
                                      HostFile=host_name("BIN"), Host="vm", Mode="binary", BufferSize=size)
                    got = s.transfer(Direction="receive", LocalFile=os.path.join(self.pc, "bin.s3270"),
                                     HostFile=host_name("BIN"), Host="vm", Mode="binary", BufferSize=size,
                                     Exist="replace")
                finally:
                    s.close()
                    host.stop()
                self.assertTrue(sent.startswith("TRANS03") and got.startswith("TRANS03"), (sent, got))
                self.assertEqual(host.file("BIN"), BINARY)
                self.assertEqual(self.pc_file("bin.s3270"), BINARY)


def bench():
    """A 16 MiB structured-field transfer, buffer 32767, by both clients."""
    work = tempfile.mkdtemp(prefix="corvina-ft-bench-")
    try:
        source = os.path.join(work, "big")
        with open(source, "wb") as f:
            f.write(random.Random(3).randbytes(16 << 20))
        for direction in ("send", "receive"):
            host = Host(work, "dft")
            start = time.monotonic()
            if direction == "send":
                steps = ["--ft-options", f"{SYSTEM},binary,nocrlf,buffer=32767", "--send", source, host_name("BIG")]
            else:
                steps = ["--ft-options", f"{SYSTEM},binary,nocrlf,buffer=32767", "--receive", host_name("BIG"),
                         os.path.join(work, "big.back")]
            result = run_cli(work, host.port, steps, timeout=600)
            seconds = time.monotonic() - start
            host.stop()
            assert result.returncode == 0, result.stderr.decode(errors="replace")
            # The progress line's rate counts from the start of the transfer,
            # as the s3270 figure does; the whole run includes start-up and logon.
            progress = [line for line in result.stderr.decode().splitlines() if "/s" in line][-1]
            print(f"corvina-cli {direction}: {progress.rsplit(', ', 1)[1]} (whole run {seconds:.1f} s)")
        if shutil.which("s3270"):
            for direction in ("send", "receive"):
                host = Host(work, "dft")
                s = S3270(host.port)
                start = time.monotonic()
                local = source if direction == "send" else os.path.join(work, "big.s3270")
                message = s.transfer(Direction=direction, LocalFile=local, HostFile=host_name("BIG"),
                                     Host=S3270_HOST[SYSTEM], Mode="binary", BufferSize=32767, Exist="replace")
                seconds = time.monotonic() - start
                s.close()
                host.stop()
                assert message.startswith("TRANS03"), message
                print(f"s3270 {direction}: {16 / seconds:.2f} MiB/s ({seconds:.1f} s)")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    CLI, SYSTEM = sys.argv[1], sys.argv[2]
    if "--bench" in sys.argv:
        bench()
        sys.exit(0)
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[3:])
