"""The listener, the byte log and one client connection with its waits.

Everything runs on the caller's thread: a wait reads from the socket until what
it waits for has arrived, so the log shows the bytes in the order they crossed
the wire and a scenario reads like the exchange it plays.
"""

import select
import socket
import struct
import time
import traceback

from . import telnet

DEFAULT_WAIT = 10.0  # seconds a single wait may take unless told otherwise
MAX_QUEUED_EVENTS = 10000
MAX_UNREAD_BYTES = 16 << 20


class ScenarioError(Exception):
    """The client did not do what the scenario expected."""


class WaitTimeout(ScenarioError):
    pass


class ClientClosed(ScenarioError):
    pass


class TimeLimitReached(ScenarioError):
    """The host's overall time limit ran out."""


class Log:
    """Writes the byte log: "< HEX  # note" from the client, "> HEX  # note" to it,
    "# note" for everything else. Every line is flushed at once so that a test
    may read the log while the host runs."""

    def __init__(self, stream):
        self.stream = stream

    def note(self, text):
        self._write(f"# {text}")

    def bytes(self, mark, raw, note=None):
        line = f"{mark} {bytes(raw).hex(' ').upper()}"
        self._write(f"{line}  # {note}" if note else line)

    def _write(self, line):
        self.stream.write(line + "\n")
        self.stream.flush()


class Connection:
    """One client. Sends are logged as one line each; what the client sends is
    logged as one line per command, subnegotiation, record, or run of data.

    Each kind of wait has its own queue or cursor: wait_for_record takes the
    oldest record not yet taken, whatever else arrived before it."""

    def __init__(self, sock, log, number, time_limit, wait_timeout=DEFAULT_WAIT):
        self.sock = sock
        self.log = log
        self.number = number
        self.time_limit = time_limit  # time.monotonic() value
        self.wait_timeout = wait_timeout
        self.options = telnet.OptionState()
        self.tn3270e = False  # TN3270E framing agreed: records carry the 5-byte header
        self.eof = False
        self.closed = False
        self._in = telnet.Parser()
        self._out = telnet.Parser()  # describes what the host sends
        self._events = []  # Negotiation, Subnegotiation, Command and Record events
        self._raw = bytearray()  # every byte received, for wait_for_bytes
        self._data = bytearray()  # data bytes received (also those inside records)

    # -- sending ------------------------------------------------------------

    def send(self, data, note=None):
        """Sends bytes exactly as given and logs them as one line."""
        data = bytes(data)
        if not data:
            return
        if self.closed:
            raise ClientClosed("send after the host closed the connection")
        events = list(self._out.feed(data))
        if note is None:
            note = "; ".join(self._describe(e) for e in events)
        self.log.bytes(">", data, note)
        remaining = self.time_limit - time.monotonic()
        try:
            self.sock.settimeout(max(remaining, 0.001))
            self.sock.sendall(data)
        except socket.timeout:
            raise TimeLimitReached("the client does not read what the host sends") from None
        except OSError as error:
            self.eof = True
            raise ClientClosed(f"send failed: {error}") from None
        for event in events:
            self._track_framing(event)

    def send_text(self, text):
        """Sends text as NVT data: Latin-1 with IAC doubled."""
        self.send(telnet.escape(text.encode("latin-1")))

    def send_command(self, code):
        self.send(telnet.command(code))

    def negotiate(self, *requests, timeout=None):
        """Sends option requests ((verb, option) pairs) in one write, then waits
        for every answer. Returns {(verb, option): True when agreed}. A request
        whose state is already in effect is not sent and counts as agreed."""
        self.send(b"".join(self.options.request(verb, option) for verb, option in requests))
        return {r: self.wait_for_answer(*r, timeout=timeout) for r in requests}

    def send_subneg(self, option, payload):
        self.send(telnet.subnegotiation(option, payload))

    def send_record(self, data):
        """Sends data with IAC doubled, ended by IAC EOR."""
        self.send(telnet.record(data))

    # -- ending -------------------------------------------------------------

    def close(self):
        """Closes the connection in the ordinary way (FIN)."""
        if not self.closed:
            self.closed = True
            self.log.note(f"connection {self.number}: closed by the host")
            self.sock.close()

    def abort(self):
        """Drops the connection with a reset (RST) instead of an orderly close."""
        if not self.closed:
            self.closed = True
            self.log.note(f"connection {self.number}: reset by the host")
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.sock.close()

    # -- waiting ------------------------------------------------------------

    def wait_for_bytes(self, expected, timeout=None):
        """Waits until the raw bytes from the client contain expected (searched
        from the end of the previous match)."""
        expected = bytes(expected)

        def found():
            at = self._raw.find(expected)
            if at < 0:
                return None
            del self._raw[:at + len(expected)]
            return expected
        return self.wait_until(found, timeout, f"bytes {expected.hex(' ').upper()}")

    def wait_for_data(self, expected=None, timeout=None):
        """Waits for data bytes (IAC IAC undone). With expected, until they
        contain it and returns everything up to and including it; without,
        returns whatever data has arrived, at least one byte."""
        def found():
            if expected is None:
                if not self._data:
                    return None
                end = len(self._data)
            else:
                at = self._data.find(expected)
                if at < 0:
                    return None
                end = at + len(expected)
            taken = bytes(self._data[:end])
            del self._data[:end]
            return taken
        what = "data" if expected is None else f"data {telnet.quote(expected)}"
        return self.wait_until(found, timeout, what)

    def wait_for_record(self, timeout=None, match=None, what="a record"):
        """Returns the payload of the next record (IAC IAC undone, no IAC EOR),
        or of the next one for which match(payload) is true."""
        return self.wait_for_event(
            lambda e: isinstance(e, telnet.Record) and (match is None or match(e.payload)),
            timeout, what).payload

    def wait_for_subneg(self, option, timeout=None):
        """Returns the payload of the next subnegotiation of option."""
        event = self.wait_for_event(
            lambda e: isinstance(e, telnet.Subnegotiation) and e.option == option,
            timeout, f"SB {telnet.option_name(option)}")
        return event.payload

    def wait_for_negotiation(self, verb, option, timeout=None):
        """Waits for the client's verb (WILL, WONT, DO, DONT) for option, also
        one the host has already answered or taken as an answer."""
        self.wait_for_event(
            lambda e: isinstance(e, telnet.Negotiation) and (e.verb, e.option) == (verb, option),
            timeout, f"{telnet.COMMAND_NAMES[verb]} {telnet.option_name(option)}")

    def wait_for_command(self, code, timeout=None):
        """Waits for IAC code, for example IP or AO sent by an Attn or SysReq key."""
        self.wait_for_event(lambda e: isinstance(e, telnet.Command) and e.code == code,
                            timeout, f"IAC {telnet.COMMAND_NAMES.get(code, hex(code))}")

    def wait_for_answer(self, verb, option, timeout=None):
        """True when the client agreed to the request, False when it refused."""
        return self.wait_until(
            lambda: self.options.answers.get((verb, option)), timeout,
            f"an answer to {telnet.COMMAND_NAMES[verb]} {telnet.option_name(option)}")

    def expect_eof(self, timeout=None):
        """Waits until the client closes the connection."""
        self.wait_until(lambda: True if self.eof else None, timeout, "the client to close")

    def pause(self, seconds):
        """Lets time pass while still reading and logging what the client sends."""
        end = time.monotonic() + seconds
        while not self.eof and time.monotonic() < min(end, self.time_limit):
            self._pump(min(end, self.time_limit))

    def serve_until_closed(self):
        """Reads and logs until the client closes or the time limit runs out;
        both are normal ends."""
        while not self.eof and time.monotonic() < self.time_limit:
            self._pump(self.time_limit)
        if not self.eof:
            self.log.note(f"connection {self.number}: time limit reached")

    def wait_for_event(self, match, timeout=None, what="an event"):
        """Takes the oldest queued Negotiation, Subnegotiation, Command or Record
        event for which match(event) is true, waiting for it when there is none."""
        def found():
            for i, event in enumerate(self._events):
                if match(event):
                    return self._events.pop(i)
            return None
        return self.wait_until(found, timeout, what)

    def wait_until(self, found, timeout=None, what="a condition"):
        """Reads until found() returns something other than None and returns
        that. Raises WaitTimeout after timeout seconds (default wait_timeout),
        TimeLimitReached at the host's time limit, ClientClosed when the client
        closes first."""
        start = time.monotonic()
        own = start + (self.wait_timeout if timeout is None else timeout)
        end = min(own, self.time_limit)
        while True:
            result = found()
            if result is not None:
                return result
            if self.eof:
                raise ClientClosed(f"the client closed the connection while the host "
                                   f"waited for {what}")
            if self.closed:
                raise ScenarioError(f"the host closed the connection and cannot wait for {what}")
            if time.monotonic() >= end:
                if end == own:
                    raise WaitTimeout(f"no {what} within {own - start:.1f} s")
                raise TimeLimitReached(f"time limit reached while waiting for {what}")
            self._pump(end)

    def _pump(self, end):
        """Reads once (waiting at most until end) and handles what arrived."""
        if self.eof or self.closed:
            time.sleep(max(0.0, min(end - time.monotonic(), 0.05)))
            return
        ready, _, _ = select.select([self.sock], [], [], max(0.0, end - time.monotonic()))
        if not ready:
            return
        try:
            chunk = self.sock.recv(65536)
        except OSError as error:
            self.log.note(f"connection {self.number}: receive failed: {error}")
            chunk = b""
        if not chunk:
            for event in self._in.finish():
                self._handle(event)
            self.eof = True
            self.log.note(f"connection {self.number}: closed by the client")
            return
        self._raw += chunk
        self._trim(self._raw, "raw")
        for event in self._in.feed(chunk):
            self._handle(event)

    def _handle(self, event):
        note = self._describe(event)
        if isinstance(event, telnet.Negotiation):
            reply, what = self.options.receive(event.verb, event.option)
            self.log.bytes("<", event.raw, f"{note} ({what})")
            if event.option == telnet.TN3270E and event.verb in (telnet.WONT, telnet.DONT):
                self.tn3270e = False
            self._update_framing()
            if reply:
                self.send(reply)
        else:
            self.log.bytes("<", event.raw, note)
            self._track_framing(event)
        if isinstance(event, (telnet.Data, telnet.Record)):
            self._data += event.payload
            self._trim(self._data, "data")
        if isinstance(event, (telnet.Negotiation, telnet.Subnegotiation,
                              telnet.Command, telnet.Record)):
            self._events.append(event)
            if len(self._events) > MAX_QUEUED_EVENTS:
                del self._events[0]

    def _describe(self, event):
        return telnet.describe(event, self.tn3270e)

    def _update_framing(self):
        # A side frames records once it agreed to send END-OF-RECORD, or once
        # TN3270E, which implies it, is agreed.
        self._in.records = self.tn3270e or telnet.END_OF_RECORD in self.options.client_will
        self._out.records = self.tn3270e or telnet.END_OF_RECORD in self.options.host_will

    def _track_framing(self, event):
        # A FUNCTIONS IS from either side ends the TN3270E negotiation.
        if isinstance(event, telnet.Subnegotiation) and event.option == telnet.TN3270E \
                and event.payload[:2] == bytes((telnet.E_FUNCTIONS, telnet.E_IS)):
            self.tn3270e = True
            self._update_framing()

    def _trim(self, buffer, what):
        if len(buffer) > MAX_UNREAD_BYTES:
            dropped = len(buffer) - MAX_UNREAD_BYTES
            del buffer[:dropped]
            self.log.note(f"connection {self.number}: {dropped} unread {what} bytes dropped")


class Server:
    """Listens on 127.0.0.1 and serves clients one after another."""

    def __init__(self, log, port=0, time_limit=30.0, host="127.0.0.1"):
        self.log = log
        self.time_limit = time.monotonic() + time_limit
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            self.sock.bind((host, port))
            self.sock.listen(8)
        except OSError:
            self.sock.close()
            raise
        self.port = self.sock.getsockname()[1]
        self.served = 0

    def close(self):
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def accept(self):
        """The next client, or None when the time limit runs out first."""
        remaining = self.time_limit - time.monotonic()
        if remaining <= 0:
            return None
        ready, _, _ = select.select([self.sock], [], [], remaining)
        if not ready:
            return None
        sock, peer = self.sock.accept()
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.served += 1
        self.log.note(f"connection {self.served} from {peer[0]}:{peer[1]}")
        return Connection(sock, self.log, self.served, self.time_limit)

    def serve(self, handler, once=True):
        """Runs handler(connection) for each client until the time limit (or
        after the first client with once). Returns the number of failed runs."""
        failures = 0
        while True:
            conn = self.accept()
            if conn is None:
                self.log.note("time limit reached")
                break
            try:
                handler(conn)
                self.log.note(f"connection {conn.number}: scenario done")
            except ScenarioError as error:
                failures += 1
                self.log.note(f"connection {conn.number}: scenario failed: {error}")
            except Exception:  # a fault in the scenario itself: report it, keep serving
                failures += 1
                for line in traceback.format_exc().splitlines():
                    self.log.note(line)
            finally:
                conn.close()
            if once:
                break
        return failures
