"""A 3270 data-stream encoder, so that scenarios read as the screens a host
program writes: commands, the write control character, orders, field
attributes and buffer addresses, and text in EBCDIC.

Written from the 3270 data-stream reference, not from the emulator.

    ds.erase_write(ds.wcc(restore=True),
                   ds.sba(ds.position(0, 0)), ds.sf(ds.attribute(protected=True)),
                   ds.text("Userid:"), ds.sf(ds.attribute(mdt=True)), ds.ic())
"""

# Commands, in their remote forms, and the local forms a channel uses.
WRITE = 0xF1
ERASE_WRITE = 0xF5
ERASE_WRITE_ALTERNATE = 0x7E
READ_BUFFER = 0xF2
READ_MODIFIED = 0xF6
READ_MODIFIED_ALL = 0x6E
ERASE_ALL_UNPROTECTED = 0x6F
WRITE_STRUCTURED_FIELD = 0xF3
LOCAL_COMMANDS = {WRITE: 0x01, ERASE_WRITE: 0x05, ERASE_WRITE_ALTERNATE: 0x0D,
                  READ_BUFFER: 0x02, READ_MODIFIED: 0x06, ERASE_ALL_UNPROTECTED: 0x0F,
                  WRITE_STRUCTURED_FIELD: 0x11}

# Orders.
PT = 0x05
GE = 0x08
SBA = 0x11
EUA = 0x12
IC = 0x13
SF = 0x1D
SA = 0x28
SFE = 0x29
MF = 0x2C
RA = 0x3C

# Attribute types of SFE, MF and SA, and their values.
ALL_CHARACTER_ATTRIBUTES = 0x00  # SA only: back to the field's attributes
FIELD_ATTRIBUTE = 0xC0
HIGHLIGHTING = 0x41
FOREGROUND = 0x42
CHARACTER_SET = 0x43
BACKGROUND = 0x45
TRANSPARENCY = 0x46
VALIDATION = 0xC1
OUTLINING = 0xC2
COLORS = {"default": 0x00, "blue": 0xF1, "red": 0xF2, "pink": 0xF3, "green": 0xF4,
          "turquoise": 0xF5, "yellow": 0xF6, "white": 0xF7}
HIGHLIGHTS = {"default": 0x00, "blink": 0xF1, "reverse": 0xF2, "underscore": 0xF4,
              "intensify": 0xF8}

# AIDs the terminal sends.
AID_NONE = 0x60
AID_ENTER = 0x7D
AID_CLEAR = 0x6D

# The six-bit code of each value 0 to 63: buffer addresses, the WCC and field
# attributes are sent through it.
CODES = bytes.fromhex(
    "40 C1 C2 C3 C4 C5 C6 C7 C8 C9 4A 4B 4C 4D 4E 4F"
    "50 D1 D2 D3 D4 D5 D6 D7 D8 D9 5A 5B 5C 5D 5E 5F"
    "60 61 E2 E3 E4 E5 E6 E7 E8 E9 6A 6B 6C 6D 6E 6F"
    "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 7A 7B 7C 7D 7E 7F")

_DISPLAY = {"normal": 0x00, "detectable": 0x04, "intensified": 0x08, "hidden": 0x0C}


def position(row, column, columns=80):
    """The buffer position of a row and column, counted from 0."""
    return row * columns + column


def address(pos, fourteen_bit=None):
    """A buffer address: 12-bit coded below 4096, 14-bit binary from there
    (or whenever fourteen_bit is true)."""
    if not 0 <= pos < 1 << 14:
        raise ValueError(f"buffer address {pos} is outside 0 to 16383")
    if fourteen_bit is None:
        fourteen_bit = pos >= 4096
    if fourteen_bit:
        return bytes((pos >> 8, pos & 0xFF))
    return bytes((CODES[pos >> 6], CODES[pos & 0x3F]))


def decode_address(two):
    """The position a two-byte buffer address names."""
    b1, b2 = two[0], two[1]
    if b1 & 0xC0 == 0:
        return (b1 << 8) | b2
    return ((b1 & 0x3F) << 6) | (b2 & 0x3F)


def wcc(restore=False, alarm=False, reset_mdt=False, start_printer=False):
    """A coded write control character."""
    bits = (0x08 if start_printer else 0) | (0x04 if alarm else 0) \
        | (0x02 if restore else 0) | (0x01 if reset_mdt else 0)
    return CODES[bits]


def attribute(protected=False, numeric=False, display="normal", mdt=False):
    """A coded field attribute; protected and numeric together make autoskip."""
    bits = (0x20 if protected else 0) | (0x10 if numeric else 0) | _DISPLAY[display] \
        | (0x01 if mdt else 0)
    return CODES[bits]


def text(s):
    """Text in EBCDIC code page 037, with "[" and "]" as 0xAD and 0xBD, where
    most 3270 hosts put them."""
    return s.translate({ord("["): "\u00dd", ord("]"): "\u00a8"}).encode("cp037")


def _pairs(pairs):
    out = bytearray((len(pairs),))
    for kind, value in pairs:
        out += bytes((kind, value))
    return bytes(out)


def sba(pos, fourteen_bit=None):
    return bytes((SBA,)) + address(pos, fourteen_bit)


def sf(attr):
    return bytes((SF, attr))


def sfe(*pairs):
    """Start Field Extended with (type, value) pairs."""
    return bytes((SFE,)) + _pairs(pairs)


def mf(*pairs):
    return bytes((MF,)) + _pairs(pairs)


def sa(kind, value):
    return bytes((SA, kind, value))


def ic():
    return bytes((IC,))


def pt():
    return bytes((PT,))


def ra(stop, char, graphic_escape=False):
    """Repeat to Address: char is one EBCDIC byte (a line-drawing code with
    graphic_escape) or a one-character string."""
    if isinstance(char, str):
        char = text(char)[0]
    return bytes((RA,)) + address(stop) + (bytes((GE,)) if graphic_escape else b"") + bytes((char,))


def eua(stop):
    return bytes((EUA,)) + address(stop)


def ge(code):
    return bytes((GE, code))


def command(code, *parts):
    """A command followed by its data: a WCC and orders for the writes."""
    return bytes((code,)) + b"".join(parts)


def write(wcc_byte, *parts):
    return command(WRITE, bytes((wcc_byte,)), *parts)


def erase_write(wcc_byte, *parts):
    return command(ERASE_WRITE, bytes((wcc_byte,)), *parts)


def erase_write_alternate(wcc_byte, *parts):
    return command(ERASE_WRITE_ALTERNATE, bytes((wcc_byte,)), *parts)


def parse_inbound(record):
    """Splits a Read Modified reply (without header and IAC EOR) into its AID,
    the cursor position and a list of (position, EBCDIC text) fields."""
    if len(record) < 3:
        raise ValueError(f"an inbound record of {len(record)} bytes has no AID and cursor")
    aid, cursor = record[0], decode_address(record[1:3])
    fields, i = [], 3
    while i < len(record):
        if record[i] != SBA or i + 3 > len(record):
            raise ValueError(f"expected SBA at byte {i}: {bytes(record).hex(' ').upper()}")
        start, i = decode_address(record[i + 1:i + 3]), i + 3
        end = record.find(bytes((SBA,)), i)
        end = len(record) if end < 0 else end
        fields.append((start, bytes(record[i:end])))
        i = end
    return aid, cursor, fields
