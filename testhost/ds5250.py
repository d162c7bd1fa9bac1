"""A 5250 data-stream encoder and decoder for scenarios.

The encoder builds the records a midrange host program sends: the record
header with its operation code, the escape-prefixed commands, the Write To
Display orders with row and column addresses (both from 1), field format and
control words, screen attributes, and text in EBCDIC; `Screen` turns a screen
description (labels and fields) into them. The decoder splits what the
terminal sends: read responses (field data by field start address, or by the
field lengths of the screen for Read Input Fields), the query reply, and the
Attention, System Request, Help and error records.

Written from the 5250 functions reference, not from the emulator.

    ds.record(ds.PUT_GET, ds.clear_unit(),
              ds.wtd(0x00, 0x08, ds.sba(2, 5), ds.attr("white"), ds.text("Sign On")),
              ds.read_mdt())
"""

from dataclasses import dataclass, field

# Record header: length, record type 12A0, reserved, variable header length 4,
# flags, reserved, operation code.
HEADER_LENGTH = 10
RECORD_TYPE = 0x12A0
VARIABLE_HEADER = 0x04

# Operation codes.
NO_OPERATION = 0
INVITE = 1
OUTPUT_ONLY = 2
PUT_GET = 3
SAVE_SCREEN_OP = 4
RESTORE_SCREEN = 5
READ_IMMEDIATE_OP = 6
READ_SCREEN_OP = 8
CANCEL_INVITE = 10
MESSAGE_LIGHT_ON = 11
MESSAGE_LIGHT_OFF = 12

# Header flags of records from the terminal.
FLAG_ERROR = 0x80
FLAG_ATTENTION = 0x40
FLAG_SYSTEM_REQUEST = 0x04
FLAG_HELP = 0x01

# Commands, each after the escape byte.
ESC = 0x04
CLEAR_UNIT = 0x40
CLEAR_UNIT_ALTERNATE = 0x20
CLEAR_FORMAT_TABLE = 0x50
WRITE_TO_DISPLAY = 0x11
WRITE_ERROR_CODE = 0x21
ROLL = 0x23
WRITE_STRUCTURED_FIELD = 0xF3
READ_INPUT_FIELDS = 0x42
READ_MDT_FIELDS = 0x52
READ_MDT_ALTERNATE = 0x82
READ_IMMEDIATE = 0x72
READ_SCREEN = 0x62
SAVE_SCREEN = 0x02

# Write To Display orders.
SOH = 0x01
RA = 0x02
EA = 0x03
TD = 0x10
SBA = 0x11
WEA = 0x12
IC = 0x13
MC = 0x14
SOF = 0x1D

# Screen attributes: the colours (turquoise and yellow with column
# separators), and what adds reverse image and underscore; red also blinks.
ATTRIBUTES = {"green": 0x20, "white": 0x22, "non-display": 0x27, "red": 0x28, "turquoise": 0x30,
              "yellow": 0x32, "pink": 0x38, "blue": 0x3A}
REVERSE = 0x01
UNDERSCORE = 0x04
BLINK = 0x02

# Field format word values.
SHIFTS = {"alpha": 0, "alpha only": 1, "numeric shift": 2, "numeric only": 3, "katakana": 4,
          "digits only": 5, "io": 6, "signed numeric": 7}
ADJUSTS = {None: 0, "zero fill": 5, "blank fill": 6, "mandatory fill": 7}

# Field control words.
FCW_RESEQUENCE = 0x80
FCW_SELECTION = 0x81
FCW_TRANSPARENT = 0x84
FCW_FORWARD_EDGE = 0x85
FCW_CURSOR_PROGRESSION = 0x88
FCW_HIGHLIGHT = 0x89
FCW_SELF_CHECK = 0xB1
SELF_CHECK_MOD10 = 0xA0
SELF_CHECK_MOD11 = 0x40

# AIDs the terminal sends.
AID_NAMES = {0xF1: "Enter", 0x3F: "Enter (selection)", 0x50: "Enter (forward edge)",
             0xF3: "Help", 0xF4: "RollDown", 0xF5: "RollUp", 0xF6: "Print",
             0xF8: "Record Backspace", 0xBD: "Clear", 0x6C: "PA1", 0x6E: "PA2", 0x6B: "PA3",
             0x88: "query reply", 0x00: "none"}
for _n in range(1, 13):
    AID_NAMES[0x30 + _n] = f"F{_n}"
    AID_NAMES[0xB0 + _n] = f"F{_n + 12}"
AID_ENTER = 0xF1
AID_HELP = 0xF3
AID_ROLL_DOWN = 0xF4
AID_ROLL_UP = 0xF5
AID_CLEAR = 0xBD


def aid_of_function_key(n):
    """The AID of function key F1 to F24."""
    if not 1 <= n <= 24:
        raise ValueError(f"F{n} is no function key")
    return 0x30 + n if n <= 12 else 0xB0 + n - 12


# -- encoding -------------------------------------------------------------------

def text(s):
    """Text in EBCDIC code page 037."""
    return s.encode("cp037")


def untext(data):
    """EBCDIC bytes as text; nulls as blanks."""
    return bytes(data).replace(b"\x00", b"\x40").decode("cp037")


def record(opcode, *parts, flags=0):
    """A whole record: the header with its length, then the parts."""
    data = b"".join(parts)
    length = HEADER_LENGTH + len(data)
    if length > 0xFFFF:
        raise ValueError(f"a record of {length} bytes does not fit the length field")
    return bytes((length >> 8, length & 0xFF, RECORD_TYPE >> 8, RECORD_TYPE & 0xFF, 0, 0,
                  VARIABLE_HEADER, flags, 0, opcode)) + data


def command(code, *parameters):
    return bytes((ESC, code)) + b"".join(bytes(p) for p in parameters)


def clear_unit():
    return command(CLEAR_UNIT)


def clear_unit_alternate():
    return command(CLEAR_UNIT_ALTERNATE, b"\x00")


def clear_format_table():
    return command(CLEAR_FORMAT_TABLE)


def cc2(unlock=False, alarm=False, no_cursor_move=False, message_on=False, message_off=False):
    return (0x40 if no_cursor_move else 0) | (0x08 if unlock else 0) | (0x04 if alarm else 0) \
        | (0x02 if message_off else 0) | (0x01 if message_on else 0)


def wtd(cc1, cc2_byte, *orders):
    """Write To Display with its two control characters and orders."""
    return command(WRITE_TO_DISPLAY, bytes((cc1, cc2_byte))) + b"".join(orders)


def address(row, column):
    return bytes((row, column))


def sba(row, column):
    return bytes((SBA,)) + address(row, column)


def ic(row, column):
    return bytes((IC,)) + address(row, column)


def mc(row, column):
    return bytes((MC,)) + address(row, column)


def ra(row, column, char):
    """Repeat to Address: char (one EBCDIC byte or a one-character string)
    from the current address through row and column."""
    if isinstance(char, str):
        char = text(char)[0]
    return bytes((RA,)) + address(row, column) + bytes((char,))


def ea(row, column, types=(0xFF,)):
    """Erase to Address; the length byte counts itself and the types."""
    return bytes((EA,)) + address(row, column) + bytes((len(types) + 1, *types))


def td(data):
    """Transparent Data: the length of the data, then the data as it is."""
    return bytes((TD, len(data) >> 8, len(data) & 0xFF)) + bytes(data)


def soh(flags=0, resequence=0, error_row=0, switches=b"\x00\x00\x00", length=7):
    """Start of Header: the first `length` of its seven bytes."""
    body = bytes((flags, 0, resequence, error_row)) + bytes(switches)
    return bytes((SOH, length)) + body[:length]


def attr(colour="green", reverse=False, underscore=False, blink=False):
    """A screen attribute byte."""
    if blink and colour != "red":
        raise ValueError("only red text blinks")
    if colour == "non-display" and (reverse or underscore or blink):
        raise ValueError("non-display text has no highlighting")
    value = ATTRIBUTES[colour] | (REVERSE if reverse else 0) | (UNDERSCORE if underscore else 0) \
        | (BLINK if blink else 0)
    return bytes((value,))


def ffw(shift="alpha", bypass=False, dup=False, mdt=False, auto_enter=False, field_exit=False,
        monocase=False, mandatory_enter=False, adjust=None):
    """A field format word."""
    first = 0x40 | (0x20 if bypass else 0) | (0x10 if dup else 0) | (0x08 if mdt else 0) | SHIFTS[shift]
    second = (0x80 if auto_enter else 0) | (0x40 if field_exit else 0) | (0x20 if monocase else 0) \
        | (0x08 if mandatory_enter else 0) | ADJUSTS[adjust]
    return bytes((first, second))


def fcw(kind, value):
    return bytes((kind, value))


def sof(length, attribute=b"\x24", format_word=None, control_words=()):
    """Start of Field: the format word (none: an output-only field), the
    control words, the attribute and the length."""
    return bytes((SOF,)) + (format_word or b"") + b"".join(control_words) + bytes(attribute) \
        + bytes((length >> 8, length & 0xFF))


def wec(message, cursor=None):
    """Write Error Code: EBCDIC text for the error row, the cursor moved
    when given (row, column)."""
    return command(WRITE_ERROR_CODE) + (ic(*cursor) if cursor else b"") + bytes(message)


def roll(count, top, bottom, down=False):
    """Roll the rows top to bottom up (or down) by count rows."""
    if not 0 <= count <= 0x1F:
        raise ValueError(f"a roll of {count} rows")
    return command(ROLL, bytes(((0x80 if down else 0) | count, top, bottom)))


def read_input_fields(cc1=0, cc2_byte=0):
    return command(READ_INPUT_FIELDS, bytes((cc1, cc2_byte)))


def read_mdt(cc1=0, cc2_byte=0, alternate=False):
    return command(READ_MDT_ALTERNATE if alternate else READ_MDT_FIELDS, bytes((cc1, cc2_byte)))


def query():
    """Write Structured Field: the 5250 query."""
    return command(WRITE_STRUCTURED_FIELD, b"\x00\x05\xd9\x70\x00")


# -- screens from a description ------------------------------------------------

@dataclass
class Label:
    """Output text at row and column; its attribute takes the cell before."""
    row: int
    column: int
    text: str
    colour: str = "green"
    underscore: bool = False
    reverse: bool = False


@dataclass
class Field:
    """An input field at row and column, its attribute in the cell before."""
    name: str
    row: int
    column: int
    length: int
    shift: str = "alpha"
    bypass: bool = False
    monocase: bool = False
    mandatory_enter: bool = False
    field_exit: bool = False
    auto_enter: bool = False
    dup: bool = False
    adjust: str = None
    colour: str = "green"
    hidden: bool = False
    value: str = ""
    control_words: tuple = ()

    def format_word(self):
        return ffw(self.shift, bypass=self.bypass, dup=self.dup, auto_enter=self.auto_enter,
                   field_exit=self.field_exit, monocase=self.monocase,
                   mandatory_enter=self.mandatory_enter, adjust=self.adjust)


@dataclass
class Screen:
    """A screen to send whole: cleared, then labels and fields, then the
    cursor (row, column) or the first field, and a read of the modified
    fields (or of all input fields)."""
    items: list
    cursor: tuple = None
    read: int = READ_MDT_FIELDS
    error_row: int = 0
    alarm: bool = False
    fields: list = field(init=False)

    def __post_init__(self):
        self.fields = [item for item in self.items if isinstance(item, Field)]

    def orders(self):
        out = bytearray(soh(error_row=self.error_row))
        for item in self.items:
            if item.column < 2:
                raise ValueError(f"{item} needs column 2 or more: its attribute goes before it")
            out += sba(item.row, item.column - 1)
            if isinstance(item, Label):
                out += attr(item.colour, reverse=item.reverse, underscore=item.underscore)
                out += text(item.text) + attr("green")
            else:
                colour = attr("non-display") if item.hidden else attr(item.colour, underscore=True)
                out += sof(item.length, colour, item.format_word(), item.control_words)
                out += text(item.value[:item.length])
        if self.cursor:
            out += ic(*self.cursor)
        return bytes(out)

    def encode(self, opcode=PUT_GET):
        """The whole record: Clear Unit, Write To Display unlocking the
        keyboard, the read."""
        reading = read_mdt() if self.read == READ_MDT_FIELDS else read_input_fields()
        return record(opcode, clear_unit(), wtd(0x00, cc2(unlock=True, alarm=self.alarm), self.orders()),
                      reading)

    def field(self, name):
        return next(f for f in self.fields if f.name == name)


# -- decoding -------------------------------------------------------------------

@dataclass
class Inbound:
    """One record from the terminal."""
    flags: int
    opcode: int
    data: bytes

    @property
    def kind(self):
        if self.flags & FLAG_ERROR:
            return "error"
        if self.flags & FLAG_ATTENTION:
            return "attention"
        if self.flags & FLAG_SYSTEM_REQUEST:
            return "system request"
        if self.flags & FLAG_HELP:
            return "help"
        return "read"

    @property
    def cursor(self):
        """(row, column) of a read response."""
        return (self.data[0], self.data[1]) if len(self.data) >= 2 else None

    @property
    def aid(self):
        return self.data[2] if len(self.data) >= 3 else None

    @property
    def error_code(self):
        """The four bytes of an error response, or the two of a help request, as hex."""
        return self.data.hex(" ").upper()


def parse_record(payload):
    """The header and data of a record (IAC doubling undone, no IAC EOR);
    ValueError when the header is wrong."""
    payload = bytes(payload)
    if len(payload) < HEADER_LENGTH:
        raise ValueError(f"a 5250 record of {len(payload)} bytes has no header")
    length = (payload[0] << 8) | payload[1]
    if length != len(payload):
        raise ValueError(f"record length field {length}, but {len(payload)} bytes came")
    if ((payload[2] << 8) | payload[3]) != RECORD_TYPE or payload[6] != VARIABLE_HEADER:
        raise ValueError(f"not a 5250 record header: {payload[:HEADER_LENGTH].hex(' ').upper()}")
    return Inbound(payload[7], payload[9], payload[HEADER_LENGTH:])


def mdt_fields(inbound):
    """The fields of a Read MDT Fields response: (row, column, EBCDIC data)."""
    data = inbound.data
    fields, i = [], 3
    while i < len(data):
        if data[i] != SBA or i + 3 > len(data):
            raise ValueError(f"expected SBA at byte {i} of {data.hex(' ').upper()}")
        row, column = data[i + 1], data[i + 2]
        end = i + 3
        while end < len(data) and data[end] != SBA:
            end += 1
        fields.append((row, column, data[i + 3:end]))
        i = end
    return fields


def input_fields(inbound, screen):
    """The fields of a Read Input Fields response by name, using the screen's
    field lengths (a signed-numeric field sends one cell less)."""
    data, i, values = inbound.data, 3, {}
    if len(data) == 3:
        return values
    for f in screen.fields:
        count = f.length - 1 if f.shift == "signed numeric" else f.length
        if i + count > len(data):
            raise ValueError(f"Read Input Fields ends inside field {f.name}")
        values[f.name] = data[i:i + count]
        i += count
    if i != len(data):
        raise ValueError(f"{len(data) - i} bytes after the last field")
    return values


def signed_value(data):
    """A signed-numeric field's digits as an integer: the last digit's zone D
    makes it negative."""
    digits = "".join(str(b & 0x0F) for b in data if (b & 0xF0) in (0xF0, 0xD0) and (b & 0x0F) <= 9)
    if not digits:
        return 0
    value = int(digits)
    return -value if data and (data[-1] & 0xF0) == 0xD0 else value


def describe(inbound):
    """One line for the log."""
    kind = inbound.kind
    if kind in ("error", "help"):
        return f"5250 {kind} {inbound.error_code}"
    if kind == "attention":
        return "5250 attention"
    if kind == "system request":
        return f"5250 system request \"{untext(inbound.data)}\""
    if inbound.aid is None:
        return f"5250 read response of {len(inbound.data)} bytes"
    row, column = inbound.cursor
    aid = AID_NAMES.get(inbound.aid, f"0x{inbound.aid:02X}")
    line = f"5250 read: cursor {row},{column} AID {inbound.aid:02X} {aid}"
    try:
        shown = [f"field {r},{c} \"{untext(d)}\"" for r, c, d in mdt_fields(inbound)]
    except ValueError:
        shown = [f"data {inbound.data[3:].hex(' ').upper()}"] if len(inbound.data) > 3 else []
    return "; ".join([line] + shown)
