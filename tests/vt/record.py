#!/usr/bin/env python3
"""Records what vi, less and top write to a 24 x 80 vt220 terminal, for the
differential test. Run from the repository root: tests/vt/record.py."""
import os, pty, select, struct, fcntl, termios, time, tempfile

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "recordings")

def record(name, argv, keys, settle=0.6):
    pid, fd = pty.fork()
    if pid == 0:
        os.environ.update(TERM="vt220", LINES="24", COLUMNS="80", LC_ALL="C", LESS="", EXINIT="set nocompatible")
        os.execvp(argv[0], argv)
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
    data = b""
    def drain(seconds):
        nonlocal data
        end = time.time() + seconds
        while time.time() < end:
            r, _, _ = select.select([fd], [], [], 0.05)
            if r:
                try:
                    chunk = os.read(fd, 65536)
                except OSError:
                    return
                if not chunk:
                    return
                data += chunk
    drain(settle)
    for k in keys:
        os.write(fd, k)
        drain(0.3)
    drain(settle)
    try:
        os.kill(pid, 9)
    except ProcessLookupError:
        pass
    os.waitpid(pid, 0)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)

def main():
    os.makedirs(OUT, exist_ok=True)
    text = tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False)
    for i in range(1, 200):
        text.write("line %03d: the quick brown fox jumps over the lazy dog %s\n" % (i, "x" * (i % 50)))
    text.close()
    record("vi", ["vi", "-u", "NONE", text.name], [b"jjjj", b"dd", b"10G", b"ox\x1b", b"\x06", b"\x02", b"/fox\r", b":q!\r"])
    record("less", ["less", text.name], [b" ", b" ", b"b", b"/line 050\r", b"G", b"g", b"q"])
    record("top", ["top", "-d", "0.5"], [b"", b"", b"q"], settle=1.2)
    os.unlink(text.name)

if __name__ == "__main__":
    main()
