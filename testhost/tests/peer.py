"""A client socket that plays the emulator against the host in tests."""

import io
import socket
import threading
import time

from testhost.server import Log, Server


class Peer:
    """Talks to the host and checks what it sends byte for byte."""

    def __init__(self, port, timeout=5.0):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        self.timeout = timeout
        self.pending = bytearray()

    def send(self, data):
        self.sock.sendall(bytes(data))

    def _fill(self, done, what):
        end = time.monotonic() + self.timeout
        while not done():
            if time.monotonic() > end:
                raise AssertionError(f"host never sent {what}; got {bytes(self.pending)!r}")
            chunk = self.sock.recv(4096)
            if not chunk:
                raise AssertionError(f"host closed before {what}; got {bytes(self.pending)!r}")
            self.pending += chunk

    def _take(self, count):
        taken = bytes(self.pending[:count])
        del self.pending[:count]
        return taken

    def read_until(self, marker):
        """Everything the host sent up to and including marker."""
        self._fill(lambda: marker in self.pending, repr(marker))
        return self._take(self.pending.index(marker) + len(marker))

    def expect(self, expected):
        """The host's next bytes must be exactly expected."""
        expected = bytes(expected)
        self._fill(lambda: len(self.pending) >= len(expected), expected.hex(" ").upper())
        got = self._take(len(expected))
        if got != expected:
            raise AssertionError(f"host sent {got.hex(' ').upper()}, "
                                 f"expected {expected.hex(' ').upper()}")

    def read_to_end(self):
        """Everything until the host closes."""
        data = bytes(self.pending)
        self.pending.clear()
        while True:
            chunk = self.sock.recv(4096)
            if not chunk:
                return data
            data += chunk

    def close(self):
        self.sock.close()


class HostThread:
    """A Server serving one client with handler on a thread, logging to a string."""

    def __init__(self, handler, time_limit=10.0):
        self.output = io.StringIO()
        self.server = Server(Log(self.output), 0, time_limit)
        self.failures = None
        self.peers = []
        self.thread = threading.Thread(target=self._run, args=(handler,))
        self.thread.start()

    def _run(self, handler):
        try:
            self.failures = self.server.serve(handler, once=True)
        finally:
            self.server.close()

    def peer(self):
        self.peers.append(Peer(self.server.port))
        return self.peers[-1]

    def join(self):
        self.thread.join(15)
        for peer in self.peers:
            peer.close()
        assert not self.thread.is_alive(), "host thread did not end"
        return self.failures

    def log_lines(self):
        return self.output.getvalue().splitlines()

    def received(self):
        """The bytes of every "<" line of the log, joined."""
        return b"".join(bytes.fromhex(line[2:].split("  #")[0])
                        for line in self.log_lines() if line.startswith("< "))
