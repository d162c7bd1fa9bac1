"""Host side of the negotiations a client goes through before its terminal runs:
NVT, 3270 with and without TN3270E, and 5250."""

from dataclasses import dataclass, field

from . import telnet as t
from .server import ScenarioError

DEFAULT_DEVICE_NAME = "TERM0001"  # assigned when a TN3270E client names no LU
DEFAULT_PRINTER_NAME = "PRT00001"  # assigned to a TN3270E ASSOCIATE request
MAX_OFFERS = 8  # terminal types or device-type requests the host listens to
MAX_FUNCTION_ROUNDS = 4


class NegotiationRefused(ScenarioError):
    """The client refused or never reached what the host offered."""


def _agreed(conn, verb, option, timeout):
    return conn.negotiate((verb, option), timeout=timeout)[(verb, option)]


def terminal_type(conn, timeout=None):
    """Asks for the terminal type once; returns the client's answer as text."""
    conn.send_subneg(t.TERMINAL_TYPE, bytes((t.TTYPE_SEND,)))
    payload = conn.wait_for_subneg(t.TERMINAL_TYPE, timeout)
    if payload[:1] != bytes((t.TTYPE_IS,)):
        raise ScenarioError(f"TERMINAL-TYPE SEND answered with {payload.hex(' ').upper()}, not IS")
    return payload[1:].decode("latin-1")


def _agree_terminal_type(conn, accept, timeout):
    """Asks for terminal types until accept(type, lu) is true. The client names
    an LU by appending "@" and the name. Returns every answer, the accepted last."""
    if not _agreed(conn, t.DO, t.TERMINAL_TYPE, timeout):
        raise NegotiationRefused("the client refused TERMINAL-TYPE")
    offers = []
    while len(offers) < MAX_OFFERS:
        offers.append(terminal_type(conn, timeout))
        if accept(*_split_lu(offers[-1])):
            return offers
        conn.log.note(f"terminal type {offers[-1]!r} refused; asking again")
    raise NegotiationRefused(f"none of the terminal types {offers} was accepted")


def _binary_and_eor(conn, timeout):
    answers = conn.negotiate((t.DO, t.END_OF_RECORD), (t.WILL, t.END_OF_RECORD),
                             (t.DO, t.BINARY), (t.WILL, t.BINARY), timeout=timeout)
    refused = [f"{t.COMMAND_NAMES[v]} {t.option_name(o)}" for (v, o), ok in answers.items() if not ok]
    if refused:
        raise NegotiationRefused("the client refused " + ", ".join(refused))


def _split_lu(offer):
    kind, at, lu = offer.partition("@")
    return kind, (lu if at else None)


# -- NVT ----------------------------------------------------------------------

@dataclass
class NvtResult:
    echo: bool = False  # the client lets the host echo
    sga: bool = False
    window: tuple = None  # (width, height) from NAWS
    terminal_type: str = None


def nvt(conn, echo=True, sga=True, naws=False, ttype=False, timeout=None):
    """Offers WILL ECHO and WILL SGA, asks DO NAWS and DO TERMINAL-TYPE as told;
    refusals are reported in the result, not raised."""
    wanted = [(t.WILL, t.ECHO, echo), (t.WILL, t.SGA, sga), (t.DO, t.NAWS, naws),
              (t.DO, t.TERMINAL_TYPE, ttype)]
    answers = conn.negotiate(*[(v, o) for v, o, on in wanted if on], timeout=timeout)
    result = NvtResult(echo=answers.get((t.WILL, t.ECHO), False),
                       sga=answers.get((t.WILL, t.SGA), False))
    if answers.get((t.DO, t.NAWS)):
        size = conn.wait_for_subneg(t.NAWS, timeout)
        if len(size) != 4:
            raise ScenarioError(f"NAWS carries {len(size)} bytes, not 4")
        result.window = ((size[0] << 8) | size[1], (size[2] << 8) | size[3])
    if answers.get((t.DO, t.TERMINAL_TYPE)):
        result.terminal_type = terminal_type(conn, timeout)
    return result


# -- 3270 without TN3270E -----------------------------------------------------

@dataclass
class Tn3270Result:
    terminal_type: str
    lu: str  # None when the client named none
    offers: list  # every TERMINAL-TYPE answer, the accepted one last


def tn3270(conn, accept=lambda kind, lu: True, timeout=None):
    """TERMINAL-TYPE (asking again while accept(type, lu) is false), then
    END-OF-RECORD and BINARY both ways. Raises NegotiationRefused."""
    offers = _agree_terminal_type(conn, accept, timeout)
    _binary_and_eor(conn, timeout)
    kind, lu = _split_lu(offers[-1])
    return Tn3270Result(kind, lu, offers)


# -- 3270 with TN3270E --------------------------------------------------------

@dataclass
class DeviceTypeRequest:
    device_type: str
    keyword: int  # E_CONNECT, E_ASSOCIATE or None
    name: str  # None without keyword


def parse_device_type_request(payload):
    """DEVICE-TYPE REQUEST <type> [CONNECT|ASSOCIATE <name>]; ValueError otherwise."""
    if payload[:2] != bytes((t.E_DEVICE_TYPE, t.E_REQUEST)):
        raise ValueError("not a DEVICE-TYPE REQUEST")
    body = payload[2:]
    cut = next((i for i, b in enumerate(body) if b < 0x20), len(body))
    device_type = body[:cut].decode("latin-1")
    if cut == len(body):
        return DeviceTypeRequest(device_type, None, None)
    if body[cut] not in (t.E_CONNECT, t.E_ASSOCIATE):
        raise ValueError(f"keyword 0x{body[cut]:02X} after the device type")
    return DeviceTypeRequest(device_type, body[cut], body[cut + 1:].decode("latin-1"))


def bind_image(rows=24, columns=80, alt_rows=None, alt_columns=None):
    """An LU type 2 BIND image: byte 10 the largest request unit the terminal may
    send (8 x 2^7), byte 14 the presentation-space profile, bytes 20 to 23 the
    default and alternate sizes, byte 24 whether an alternate size exists."""
    alt_rows = rows if alt_rows is None else alt_rows
    alt_columns = columns if alt_columns is None else alt_columns
    usage = 0x7E if (alt_rows, alt_columns) == (rows, columns) else 0x7F
    return bytes((0x31, 0x01, 0x03, 0x03, 0xB1, 0x90, 0x30, 0x80,
                  0x00, 0x00, 0x87, 0x87, 0x00, 0x00, 0x02, 0x80,
                  0x00, 0x00, 0x00, 0x00, rows, columns, alt_rows, alt_columns,
                  usage, 0x00))


@dataclass
class Tn3270eSession:
    request: DeviceTypeRequest  # the accepted request
    device_name: str  # the name the host assigned
    functions: frozenset
    requests: list = field(default_factory=list)  # every DEVICE-TYPE REQUEST, the accepted last
    seq: int = 0  # the host's next sequence number for 3270-DATA and SCS-DATA

    def send(self, conn, data_type, data=b"", response=t.RF_NO_RESPONSE):
        """Sends one record with its header; returns the sequence number used."""
        seq = 0
        if data_type in (t.DT_3270_DATA, t.DT_SCS_DATA):
            seq, self.seq = self.seq, (self.seq + 1) & 0xFFFF
        conn.send_record(t.Tn3270eHeader(data_type, 0, response, seq).encode() + bytes(data))
        return seq

    def wait_for_record(self, conn, timeout=None, data_type=None):
        """(header, body) of the client's next record (of data_type, when given)."""
        def match(payload):
            return data_type is None or (len(payload) >= t.HEADER_LENGTH and payload[0] == data_type)
        what = "a record" if data_type is None else f"a {t.DATA_TYPE_NAMES[data_type]} record"
        payload = conn.wait_for_record(timeout, match, what)
        try:
            return t.split_tn3270e(payload)
        except ValueError as error:
            raise ScenarioError(str(error)) from None

    def expect_response(self, conn, seq, positive=True, timeout=None):
        """Waits for the client's RESPONSE record and checks its sequence number,
        its flag and, for a positive response, the single DEVICE-END byte 0x00.
        Returns its body."""
        header, body = self.wait_for_record(conn, timeout, t.DT_RESPONSE)
        flag = t.RF_POSITIVE if positive else t.RF_NEGATIVE
        problems = []
        if header.seq != seq:
            problems.append(f"sequence number {header.seq}, expected {seq}")
        if header.response != flag:
            problems.append(f"response flag {header.response}, expected {flag}")
        if positive and body != b"\x00":
            problems.append(f"body {body.hex(' ').upper()}, expected 00")
        if not positive and len(body) != 1:
            problems.append(f"body of {len(body)} bytes, expected one reason byte")
        if problems:
            raise ScenarioError("wrong RESPONSE: " + "; ".join(problems))
        return body


def _next_tn3270e(conn, timeout):
    """The client's next TN3270E subnegotiation, or None when it turned TN3270E off."""
    event = conn.wait_for_event(
        lambda e: (isinstance(e, t.Subnegotiation) and e.option == t.TN3270E)
        or (isinstance(e, t.Negotiation) and (e.verb, e.option) == (t.WONT, t.TN3270E)),
        timeout, "a TN3270E subnegotiation")
    return event.payload if isinstance(event, t.Subnegotiation) else None


def _device_type_reply(request, reject, reject_types, device_name, printer_name):
    """The host's answer to one DEVICE-TYPE REQUEST: (assigned name, None) or (None, reason)."""
    if request.device_type in reject_types:
        return None, t.REASON_INV_DEVICE_TYPE
    if request.keyword == t.E_ASSOCIATE:
        return (None, t.REASON_INV_ASSOCIATE) if request.name in reject else (printer_name, None)
    if request.keyword == t.E_CONNECT:
        return (None, t.REASON_INV_NAME) if request.name in reject else (request.name, None)
    return device_name, None


def _agree_functions(conn, offered, timeout):
    """Answers the client's FUNCTIONS REQUEST: IS when the host supports every
    listed function, else a REQUEST of those it supports, until the client says IS."""
    for _ in range(MAX_FUNCTION_ROUNDS):
        payload = _next_tn3270e(conn, timeout)
        if payload is None:
            raise NegotiationRefused("the client turned TN3270E off during FUNCTIONS")
        keyword, listed = payload[:2], list(payload[2:])
        if keyword == bytes((t.E_FUNCTIONS, t.E_IS)):
            if not set(listed) <= offered:
                raise ScenarioError(f"FUNCTIONS IS {listed} holds functions the host did not offer")
            return frozenset(listed)
        if keyword != bytes((t.E_FUNCTIONS, t.E_REQUEST)):
            raise ScenarioError(f"expected FUNCTIONS, got {payload.hex(' ').upper()}")
        if set(listed) <= offered:
            conn.send_subneg(t.TN3270E, bytes((t.E_FUNCTIONS, t.E_IS, *listed)))
            return frozenset(listed)
        conn.send_subneg(t.TN3270E, bytes((t.E_FUNCTIONS, t.E_REQUEST,
                                           *[f for f in listed if f in offered])))
    raise NegotiationRefused(f"no FUNCTIONS agreement in {MAX_FUNCTION_ROUNDS} rounds")


def tn3270e(conn, reject=(), reject_types=(), device_name=DEFAULT_DEVICE_NAME,
            printer_name=DEFAULT_PRINTER_NAME, functions=t.ALL_FUNCTIONS, timeout=None):
    """DO TN3270E, SEND DEVICE-TYPE, then DEVICE-TYPE requests: LU names in
    reject and device types in reject_types are rejected, and the client may try
    again; CONNECT gets the requested name, ASSOCIATE printer_name, a request
    without name device_name. Then FUNCTIONS, limited to functions. Raises
    NegotiationRefused when the client refuses or gives up (WONT TN3270E)."""
    if not _agreed(conn, t.DO, t.TN3270E, timeout):
        raise NegotiationRefused("the client refused TN3270E")
    conn.send_subneg(t.TN3270E, bytes((t.E_SEND, t.E_DEVICE_TYPE)))
    requests = []
    while len(requests) < MAX_OFFERS:
        payload = _next_tn3270e(conn, timeout)
        if payload is None:
            raise NegotiationRefused("the client turned TN3270E off after "
                                     f"{len(requests)} device-type requests")
        try:
            request = parse_device_type_request(payload)
        except ValueError as error:
            raise ScenarioError(f"{error}: {payload.hex(' ').upper()}") from None
        requests.append(request)
        name, reason = _device_type_reply(request, set(reject), set(reject_types),
                                          device_name, printer_name)
        if name is None:
            conn.send_subneg(t.TN3270E, bytes((t.E_DEVICE_TYPE, t.E_REJECT, t.E_REASON, reason)))
            continue
        conn.send_subneg(t.TN3270E, bytes((t.E_DEVICE_TYPE, t.E_IS))
                         + request.device_type.encode("latin-1") + bytes((t.E_CONNECT,))
                         + name.encode("latin-1"))
        agreed = _agree_functions(conn, frozenset(functions), timeout)
        return Tn3270eSession(request, name, agreed, requests)
    raise NegotiationRefused(f"{MAX_OFFERS} device-type requests without agreement")


# -- 5250 ---------------------------------------------------------------------

# Ask for the device name and the random seed (the eight seed bytes follow the
# name), then for every variable.
DEFAULT_ENVIRON_REQUEST = ((t.ENV_USERVAR, b"DEVNAME"),
                           (t.ENV_USERVAR, b"IBMRSEED" + bytes(range(0x41, 0x49))),
                           (t.ENV_VAR, b""), (t.ENV_USERVAR, b""))


@dataclass
class Tn5250Result:
    terminal_type: str
    environ: list  # (type, name, value) entries of NEW-ENVIRON IS; None when refused
    offers: list

    def variable(self, name, kind=t.ENV_USERVAR):
        """Value of the first entry with this name, or None."""
        for entry_kind, entry_name, value in self.environ or ():
            if entry_kind == kind and entry_name == name:
                return value
        return None


def tn5250(conn, environ_request=DEFAULT_ENVIRON_REQUEST, accept=lambda kind, lu: True,
           timeout=None):
    """NEW-ENVIRON (SEND of environ_request when the client agrees; None skips
    it), TERMINAL-TYPE, END-OF-RECORD and BINARY."""
    answers = conn.negotiate((t.DO, t.NEW_ENVIRON), timeout=timeout)
    environ = None
    if answers[(t.DO, t.NEW_ENVIRON)] and environ_request is not None:
        conn.send_subneg(t.NEW_ENVIRON, t.environ_send(environ_request))
        payload = conn.wait_for_subneg(t.NEW_ENVIRON, timeout)
        if payload[:1] != bytes((t.ENV_IS,)):
            raise ScenarioError(f"NEW-ENVIRON SEND answered with {payload.hex(' ').upper()}, not IS")
        try:
            environ = t.parse_environ(payload[1:])
        except ValueError as error:
            raise ScenarioError(f"NEW-ENVIRON IS: {error}") from None
    offers = _agree_terminal_type(conn, accept, timeout)
    _binary_and_eor(conn, timeout)
    return Tn5250Result(offers[-1], environ, offers)
