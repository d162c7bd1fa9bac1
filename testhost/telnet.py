"""Telnet tables, IAC framing, and a parser for the byte stream a client sends.

Written from the Telnet, END-OF-RECORD, NEW-ENVIRON and TN3270E standards, not
from the emulator, so that the host checks the emulator instead of repeating it.
"""

from dataclasses import dataclass

# Commands.
IAC = 0xFF
DONT = 0xFE
DO = 0xFD
WONT = 0xFC
WILL = 0xFB
SB = 0xFA
GA = 0xF9
EL = 0xF8
EC = 0xF7
AYT = 0xF6
AO = 0xF5
IP = 0xF4
BREAK = 0xF3
DM = 0xF2
NOP = 0xF1
SE = 0xF0
EOR = 0xEF

COMMAND_NAMES = {
    DONT: "DONT", DO: "DO", WONT: "WONT", WILL: "WILL", SB: "SB", GA: "GA",
    EL: "EL", EC: "EC", AYT: "AYT", AO: "AO", IP: "IP", BREAK: "BREAK",
    DM: "DM", NOP: "NOP", SE: "SE", EOR: "EOR",
}
VERBS = (WILL, WONT, DO, DONT)

# Options.
BINARY = 0
ECHO = 1
SGA = 3
TIMING_MARK = 6
TERMINAL_TYPE = 24
END_OF_RECORD = 25
NAWS = 31
LFLOW = 33
NEW_ENVIRON = 39
TN3270E = 40

OPTION_NAMES = {
    BINARY: "BINARY", ECHO: "ECHO", SGA: "SGA", TIMING_MARK: "TIMING-MARK",
    TERMINAL_TYPE: "TERMINAL-TYPE", END_OF_RECORD: "END-OF-RECORD",
    NAWS: "NAWS", LFLOW: "LFLOW", NEW_ENVIRON: "NEW-ENVIRON", TN3270E: "TN3270E",
}

# TERMINAL-TYPE subnegotiation.
TTYPE_IS = 0
TTYPE_SEND = 1

# NEW-ENVIRON subnegotiation: commands, then the entry type bytes.
ENV_IS = 0
ENV_SEND = 1
ENV_INFO = 2
ENV_VAR = 0
ENV_VALUE = 1
ENV_ESC = 2
ENV_USERVAR = 3
ENV_COMMAND_NAMES = {ENV_IS: "IS", ENV_SEND: "SEND", ENV_INFO: "INFO"}
ENV_TYPE_NAMES = {ENV_VAR: "VAR", ENV_USERVAR: "USERVAR"}

# TN3270E subnegotiation keywords.
E_ASSOCIATE = 0
E_CONNECT = 1
E_DEVICE_TYPE = 2
E_FUNCTIONS = 3
E_IS = 4
E_REASON = 5
E_REJECT = 6
E_REQUEST = 7
E_SEND = 8
E_NAMES = {
    E_ASSOCIATE: "ASSOCIATE", E_CONNECT: "CONNECT", E_DEVICE_TYPE: "DEVICE-TYPE",
    E_FUNCTIONS: "FUNCTIONS", E_IS: "IS", E_REASON: "REASON", E_REJECT: "REJECT",
    E_REQUEST: "REQUEST", E_SEND: "SEND",
}

# TN3270E reject reasons.
REASON_CONN_PARTNER = 0
REASON_DEVICE_IN_USE = 1
REASON_INV_ASSOCIATE = 2
REASON_INV_NAME = 3
REASON_INV_DEVICE_TYPE = 4
REASON_TYPE_NAME_ERROR = 5
REASON_UNKNOWN_ERROR = 6
REASON_UNSUPPORTED_REQ = 7

# TN3270E functions.
FN_BIND_IMAGE = 0
FN_DATA_STREAM_CTL = 1
FN_RESPONSES = 2
FN_SCS_CTL_CODES = 3
FN_SYSREQ = 4
FUNCTION_NAMES = {
    FN_BIND_IMAGE: "BIND-IMAGE", FN_DATA_STREAM_CTL: "DATA-STREAM-CTL",
    FN_RESPONSES: "RESPONSES", FN_SCS_CTL_CODES: "SCS-CTL-CODES", FN_SYSREQ: "SYSREQ",
}
ALL_FUNCTIONS = frozenset(FUNCTION_NAMES)

# TN3270E data types.
DT_3270_DATA = 0
DT_SCS_DATA = 1
DT_RESPONSE = 2
DT_BIND_IMAGE = 3
DT_UNBIND = 4
DT_NVT_DATA = 5
DT_REQUEST = 6
DT_SSCP_LU_DATA = 7
DT_PRINT_EOJ = 8
DATA_TYPE_NAMES = {
    DT_3270_DATA: "3270-DATA", DT_SCS_DATA: "SCS-DATA", DT_RESPONSE: "RESPONSE",
    DT_BIND_IMAGE: "BIND-IMAGE", DT_UNBIND: "UNBIND", DT_NVT_DATA: "NVT-DATA",
    DT_REQUEST: "REQUEST", DT_SSCP_LU_DATA: "SSCP-LU-DATA", DT_PRINT_EOJ: "PRINT-EOJ",
}

# TN3270E response flags: for 3270-DATA and SCS-DATA records the host sends ...
RF_NO_RESPONSE = 0
RF_ERROR_RESPONSE = 1
RF_ALWAYS_RESPONSE = 2
# ... and for RESPONSE records the client sends.
RF_POSITIVE = 0
RF_NEGATIVE = 1
HEADER_LENGTH = 5


def option_name(option):
    return OPTION_NAMES.get(option, str(option))


# ---------------------------------------------------------------------------
# Framing: what the host puts on the wire.

def escape(data):
    """Doubles every IAC byte of data sent inside the Telnet stream."""
    return bytes(data).replace(b"\xff", b"\xff\xff")


def command(code):
    return bytes((IAC, code))


def negotiation(verb, option):
    return bytes((IAC, verb, option))


def subnegotiation(option, payload):
    return bytes((IAC, SB, option)) + escape(payload) + bytes((IAC, SE))


def record(data):
    return escape(data) + bytes((IAC, EOR))


@dataclass(frozen=True)
class Tn3270eHeader:
    data_type: int
    request: int
    response: int
    seq: int

    def encode(self):
        return bytes((self.data_type, self.request, self.response,
                      (self.seq >> 8) & 0xFF, self.seq & 0xFF))


def split_tn3270e(data):
    """Returns (header, body) of a TN3270E record; ValueError when too short."""
    if len(data) < HEADER_LENGTH:
        raise ValueError(f"TN3270E record of {len(data)} bytes has no 5-byte header")
    return Tn3270eHeader(data[0], data[1], data[2], (data[3] << 8) | data[4]), bytes(data[5:])


def environ_escape(text):
    """ESC-quotes the NEW-ENVIRON type bytes inside a name or value."""
    out = bytearray()
    for b in text:
        if b in (ENV_VAR, ENV_VALUE, ENV_ESC, ENV_USERVAR):
            out.append(ENV_ESC)
        out.append(b)
    return bytes(out)


def environ_send(entries):
    """Payload of SB NEW-ENVIRON SEND for (type, name) entries; an empty name asks for all."""
    out = bytearray((ENV_SEND,))
    for kind, name in entries:
        out.append(kind)
        out += environ_escape(name)
    return bytes(out)


def parse_environ(payload):
    """Splits the entries after the IS/SEND/INFO byte into (type, name, value) tuples.

    value is None when the entry has no VALUE part. Raises ValueError on an entry
    that does not start with VAR or USERVAR or on a dangling ESC.
    """
    entries = []
    i = 0
    while i < len(payload):
        kind = payload[i]
        if kind not in (ENV_VAR, ENV_USERVAR):
            raise ValueError(f"NEW-ENVIRON entry starts with 0x{kind:02X}, not VAR or USERVAR")
        i += 1
        parts = [bytearray()]
        while i < len(payload) and payload[i] not in (ENV_VAR, ENV_USERVAR):
            b = payload[i]
            if b == ENV_ESC:
                if i + 1 >= len(payload):
                    raise ValueError("NEW-ENVIRON entry ends with a lone ESC")
                i += 1
                parts[-1].append(payload[i])
            elif b == ENV_VALUE and len(parts) == 1:
                parts.append(bytearray())
            else:
                parts[-1].append(b)
            i += 1
        value = bytes(parts[1]) if len(parts) > 1 else None
        entries.append((kind, bytes(parts[0]), value))
    return entries


# ---------------------------------------------------------------------------
# Parsing: every byte read ends up in exactly one event's raw bytes, so a log of
# the events is a log of the whole stream.

@dataclass(frozen=True)
class Data:
    """Data bytes outside records (IAC IAC already undone)."""
    payload: bytes
    raw: bytes


@dataclass(frozen=True)
class Record:
    """Data bytes ended by IAC EOR, the EOR not included in payload."""
    payload: bytes
    raw: bytes


@dataclass(frozen=True)
class Command:
    """IAC and one byte that is neither a verb nor SB (NOP, IP, or EOR outside records)."""
    code: int
    raw: bytes


@dataclass(frozen=True)
class Negotiation:
    verb: int
    option: int
    raw: bytes


@dataclass(frozen=True)
class Subnegotiation:
    option: int
    payload: bytes
    raw: bytes


@dataclass(frozen=True)
class Violation:
    """Bytes that break the framing rules or the size limit; kept so that no byte is lost."""
    text: str
    raw: bytes


_DATA, _IAC, _VERB, _SB_OPTION, _SB, _SB_IAC = range(6)


class Parser:
    """Incremental parser of one direction of a Telnet stream.

    With `records` set, data is collected until IAC EOR and delivered as one
    Record; otherwise data runs are delivered as Data as soon as a command
    interrupts them or the fed chunk ends. `feed` is a generator so that a
    caller can change `records` between the events of one chunk. Records and
    subnegotiations longer than `limit` bytes are cut into Violation events.
    """

    def __init__(self, limit=1 << 20):
        self.records = False
        self.limit = limit
        self._state = _DATA
        self._data = bytearray()
        self._data_raw = bytearray()
        self._unit = bytearray()  # raw bytes of the command being parsed
        self._sb_option = 0
        self._sb_payload = bytearray()
        self._sb_cut = False
        self._verb = 0

    def feed(self, chunk):
        chunk = bytes(chunk)
        i, n = 0, len(chunk)
        while i < n:
            state = self._state
            if state == _DATA:
                # A run of data up to the next IAC goes in at once.
                j = chunk.find(IAC, i)
                if j < 0:
                    j = n
                if j > i:
                    yield from self._add_run(chunk[i:j])
                    i = j
                else:
                    self._state = _IAC
                    i += 1
                continue
            b = chunk[i]
            i += 1
            if state == _IAC:
                self._state = _DATA
                if b == IAC:
                    yield from self._add_data(IAC, (IAC, IAC))
                elif b == EOR and self.records:
                    self._data_raw += bytes((IAC, EOR))
                    yield Record(bytes(self._data), bytes(self._data_raw))
                    self._clear_data()
                else:
                    if not self.records:
                        yield from self._flush_data()
                    if b in VERBS:
                        self._verb = b
                        self._unit[:] = bytes((IAC, b))
                        self._state = _VERB
                    elif b == SB:
                        self._unit[:] = bytes((IAC, SB))
                        self._state = _SB_OPTION
                    else:
                        yield Command(b, bytes((IAC, b)))
            elif state == _VERB:
                yield Negotiation(self._verb, b, bytes((IAC, self._verb, b)))
                self._state = _DATA
            elif state == _SB_OPTION:
                self._unit.append(b)
                self._sb_option = b
                self._sb_payload.clear()
                self._sb_cut = False
                self._state = _SB
            elif state == _SB:
                self._unit.append(b)
                if b == IAC:
                    self._state = _SB_IAC
                else:
                    self._sb_payload.append(b)
                    yield from self._cut_subnegotiation()
            else:  # _SB_IAC
                if b == IAC:
                    self._unit.append(b)
                    self._sb_payload.append(IAC)
                    self._state = _SB
                    yield from self._cut_subnegotiation()
                elif b == SE:
                    self._unit.append(b)
                    self._state = _DATA
                    raw = bytes(self._unit)
                    self._unit.clear()
                    if self._sb_cut:
                        yield Violation("end of the overlong subnegotiation", raw)
                    else:
                        yield Subnegotiation(self._sb_option, bytes(self._sb_payload), raw)
                else:
                    # IAC and anything but IAC or SE ends the subnegotiation
                    # without SE; the IAC starts a command of its own.
                    raw = bytes(self._unit[:-1])
                    self._unit.clear()
                    yield Violation("subnegotiation not ended by IAC SE", raw)
                    self._state = _IAC
                    yield from self.feed((b,))
        if not self.records:
            yield from self._flush_data()

    def finish(self):
        """Events for bytes left over when the stream ends."""
        events = []
        if self._data_raw:
            text = "unterminated record" if self.records else "data"
            events.append(Violation(text, bytes(self._data_raw)))
            self._clear_data()
        if self._state == _IAC:
            events.append(Violation("stream ends after IAC", bytes((IAC,))))
        elif self._state != _DATA:
            events.append(Violation("stream ends inside a command", bytes(self._unit)))
        self._state = _DATA
        self._unit.clear()
        return events

    def _add_run(self, run):
        while run:
            room = self.limit - len(self._data_raw)
            self._data += run[:room]
            self._data_raw += run[:room]
            run = run[room:]
            if len(self._data_raw) >= self.limit:
                yield Violation(f"record longer than {self.limit} bytes; cut here",
                                bytes(self._data_raw))
                self._clear_data()

    def _add_data(self, value, raw):
        self._data.append(value)
        self._data_raw += bytes(raw)
        if len(self._data_raw) >= self.limit:
            yield Violation(f"record longer than {self.limit} bytes; cut here",
                            bytes(self._data_raw))
            self._clear_data()

    def _flush_data(self):
        if self._data_raw:
            yield Data(bytes(self._data), bytes(self._data_raw))
            self._clear_data()

    def _clear_data(self):
        self._data.clear()
        self._data_raw.clear()

    def _cut_subnegotiation(self):
        if len(self._unit) >= self.limit:
            yield Violation(f"subnegotiation longer than {self.limit} bytes; cut here",
                            bytes(self._unit))
            self._unit.clear()
            self._sb_payload.clear()
            self._sb_cut = True


# ---------------------------------------------------------------------------
# Option negotiation, host side.

_AGREEING_REPLY = {DO: WILL, DONT: WONT, WILL: DO, WONT: DONT}


class OptionState:
    """Which options are on in each direction, and what the host asked for.

    The host asks with `request`; `receive` takes each negotiation of the
    client, records it as the answer to an open request or answers it itself:
    an unasked WILL or DO is agreed only for options in `accept_client` or
    `accept_host`, refused otherwise; a WONT or DONT of an option that is on is
    acknowledged. A reply is never sent for a state that is already in effect,
    so two sides cannot loop.
    """

    def __init__(self):
        self.client_will = set()  # options the client WILL (the host sent or agreed DO)
        self.host_will = set()
        self.accept_client = set()
        self.accept_host = set()
        self.pending = set()  # (verb, option) the host sent and is waiting on
        self.answers = {}  # (verb, option) -> True when the client agreed

    def request(self, verb, option):
        """Bytes to send for a request, or b"" when its state is already in effect."""
        side = self.client_will if verb in (DO, DONT) else self.host_will
        if (option in side) == (verb in (DO, WILL)):
            self.answers[(verb, option)] = True
            return b""
        self.answers.pop((verb, option), None)
        self.pending.add((verb, option))
        return negotiation(verb, option)

    def receive(self, verb, option):
        """Returns (reply bytes, note) for one negotiation of the client."""
        # The client's WILL and WONT concern its own side, which the host's DO
        # and DONT ask for; its DO and DONT answer the host's WILL and WONT.
        if verb in (WILL, WONT):
            side, enable, disable, accepted = self.client_will, DO, DONT, self.accept_client
        else:
            side, enable, disable, accepted = self.host_will, WILL, WONT, self.accept_host
        positive = verb in (WILL, DO)
        for request in (enable, disable):
            if (request, option) in self.pending:
                self.pending.discard((request, option))
                agreed = verb == _AGREEING_REPLY[request]
                self.answers[(request, option)] = agreed
                if positive:
                    side.add(option)
                else:
                    side.discard(option)
                state = "agreed" if agreed else "refused"
                return b"", f"answer to {COMMAND_NAMES[request]} {option_name(option)}: {state}"
        if positive:
            if option in side:
                return b"", "already in effect"
            if option in accepted:
                side.add(option)
                return negotiation(enable, option), "unasked; agreed"
            return negotiation(disable, option), "unasked; refused"
        if option in side:
            side.discard(option)
            return negotiation(disable, option), "acknowledged"
        return b"", "already off"


# ---------------------------------------------------------------------------
# Readable notes for the log.

_ESCAPES = {0x0D: "\\r", 0x0A: "\\n", 0x09: "\\t", 0x22: '\\"', 0x5C: "\\\\"}


def quote(data, limit=64):
    """data as a double-quoted ASCII text with escapes, cut after limit bytes."""
    shown = "".join(_ESCAPES.get(b, chr(b) if 0x20 <= b < 0x7F else f"\\x{b:02X}")
                    for b in data[:limit])
    return f'"{shown}"' + ("..." if len(data) > limit else "")


def _describe_tn3270e_sb(payload):
    # Keywords are bytes below 0x20; device types and names are text between them.
    words = []
    i = 0
    while i < len(payload):
        b = payload[i]
        if b >= 0x20:
            end = i
            while end < len(payload) and payload[end] >= 0x20:
                end += 1
            words.append(quote(payload[i:end]))
            i = end
            continue
        words.append(E_NAMES.get(b, str(b)))
        i += 1
        if b == E_FUNCTIONS and i < len(payload):
            words.append(E_NAMES.get(payload[i], str(payload[i])))
            words += [FUNCTION_NAMES.get(f, str(f)) for f in payload[i + 1:]]
            break
        if b == E_REASON and i < len(payload):
            words.append(str(payload[i]))
            i += 1
    return " ".join(words)


def _describe_subnegotiation(event):
    option, payload = event.option, event.payload
    head = f"SB {option_name(option)}"
    if option == TERMINAL_TYPE and payload:
        word = {TTYPE_IS: "IS", TTYPE_SEND: "SEND"}.get(payload[0], str(payload[0]))
        return f"{head} {word}" + (f" {quote(payload[1:])}" if len(payload) > 1 else "")
    if option == NAWS and len(payload) == 4:
        return f"{head} width {(payload[0] << 8) | payload[1]} height {(payload[2] << 8) | payload[3]}"
    if option == NEW_ENVIRON and payload:
        word = ENV_COMMAND_NAMES.get(payload[0], str(payload[0]))
        try:
            entries = parse_environ(payload[1:])
        except ValueError as error:
            return f"{head} {word} (malformed: {error})"
        shown = [f"{ENV_TYPE_NAMES[k]} {quote(n)}" + ("" if v is None else f" = {quote(v)}")
                 for k, n, v in entries]
        return f"{head} {word} " + "; ".join(shown) if shown else f"{head} {word}"
    if option == TN3270E:
        return f"{head} {_describe_tn3270e_sb(payload)}"
    return f"{head} {payload.hex(' ').upper()}" if payload else head


def _describe_record(payload, tn3270e):
    if not tn3270e:
        return f"record, {len(payload)} bytes"
    try:
        header, body = split_tn3270e(payload)
    except ValueError as error:
        return f"record: {error}"
    kind = DATA_TYPE_NAMES.get(header.data_type, f"data type {header.data_type}")
    if header.data_type == DT_RESPONSE:
        flag = {RF_POSITIVE: "POSITIVE", RF_NEGATIVE: "NEGATIVE"}.get(
            header.response, f"response flag {header.response}")
    else:
        flag = {RF_NO_RESPONSE: "NO-RESPONSE", RF_ERROR_RESPONSE: "ERROR-RESPONSE",
                RF_ALWAYS_RESPONSE: "ALWAYS-RESPONSE"}.get(
            header.response, f"response flag {header.response}")
    return f"record {kind} {flag} seq {header.seq}, {len(body)} bytes"


def describe(event, tn3270e=False):
    """One-line readable note for a parser event."""
    if isinstance(event, Data):
        return f"data {quote(event.payload)}"
    if isinstance(event, Record):
        return _describe_record(event.payload, tn3270e)
    if isinstance(event, Negotiation):
        return f"{COMMAND_NAMES[event.verb]} {option_name(event.option)}"
    if isinstance(event, Subnegotiation):
        return _describe_subnegotiation(event)
    if isinstance(event, Command):
        if event.code == EOR:
            return "EOR outside records"
        name = COMMAND_NAMES.get(event.code)
        return name if name else f"IAC 0x{event.code:02X} (not a command)"
    return f"violation: {event.text}"
