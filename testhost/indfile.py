"""The host side of IND$FILE: a command prompt (VM/CMS, MVS/TSO or CICS)
that takes "IND$FILE GET|PUT name options", asks the terminal for its query
replies, and moves the file in structured-field (DFT) mode when the terminal
offers the DDM reply, in screen-image (CUT) mode otherwise.

Written from the IND$FILE protocol, not from the emulator. Host files are
kept as the bytes the transfer carried, in memory or in a folder.

Screen-image frames fill a 24 x 80 screen whose last position is an
autoskip field; position 0 holds the frame type:
  C  control: 1 sequence, 2-3 status ("aa" accepted, "ai" complete, "am"
     file error, "aq" transmission error), 4 on the message up to "$"
  A  host data: 1 sequence, 2 checksum, 3-4 length, 5 on the data
  B  data request: 1 an unprotected field (modified), 2 data code, 3
     sequence; the terminal fills 4 checksum, 5-6 length, 7 on the data
  <  send the last block again
Numbers are letters of ALPHABET; data travels in four code sets, each
entered by its shift character.
"""
import hashlib
import os
import re

from testhost import ds3270 as ds
from testhost.demo import Extended, Plain
from testhost.server import ClientClosed, ScenarioError

ALPHABET = "abcdefghijklmnopqrstuvwxyz&-.,:+ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"

# Each byte value's code set and screen code (EBCDIC): set -> ranges of
# (first byte, last byte, first screen code).
CODE_SETS = {
    ";": [(0x40, 0x40, 0x40), (0x4B, 0x4E, 0x4B), (0x50, 0x50, 0x50), (0x5D, 0x5D, 0x5D),
          (0x60, 0x61, 0x60), (0x6B, 0x6F, 0x6B), (0x7A, 0x7A, 0x7A), (0x81, 0x89, 0x81),
          (0x91, 0x99, 0x91), (0xA2, 0xA9, 0xA2), (0xC1, 0xC9, 0xC1), (0xD1, 0xD9, 0xD1),
          (0xE2, 0xE9, 0xE2), (0xF0, 0xF9, 0xF0)],
    "=": [(0x20, 0x20, 0x40), (0x25, 0x25, 0x6C), (0x26, 0x26, 0x50), (0x27, 0x27, 0x6D),
          (0x28, 0x28, 0x4D), (0x29, 0x29, 0x5D), (0x2A, 0x2A, 0x4C), (0x2B, 0x2B, 0x4E),
          (0x2C, 0x2C, 0x6B), (0x2D, 0x2D, 0x60), (0x2E, 0x2E, 0x4B), (0x2F, 0x2F, 0x61),
          (0x30, 0x39, 0xF0), (0x3A, 0x3A, 0x7A), (0x3B, 0x3B, 0x6E), (0x3F, 0x3F, 0x6F),
          (0x41, 0x49, 0xC1), (0x4A, 0x4A, 0xD1), (0x4F, 0x4F, 0xD6), (0x51, 0x52, 0xD8),
          (0x53, 0x5A, 0xE2), (0x62, 0x69, 0x82), (0x6A, 0x6A, 0x91), (0x70, 0x72, 0x97),
          (0x73, 0x79, 0xA2)],
    "*": [(0x00, 0x08, 0xC1), (0x09, 0x11, 0xD1), (0x12, 0x19, 0xE2), (0x1A, 0x1A, 0x4C),
          (0x1B, 0x1B, 0x4E), (0x1C, 0x1C, 0x6B), (0x1D, 0x1D, 0x60), (0x1E, 0x1E, 0x4B),
          (0x1F, 0x1F, 0x61), (0x3C, 0x3E, 0xF0), (0x7B, 0x7B, 0x6C), (0x7C, 0x7C, 0x50),
          (0x7D, 0x7D, 0x6D), (0x7E, 0x7E, 0x4D), (0x7F, 0x7F, 0x5D), (0xFA, 0xFF, 0xF4)],
    "'": [(0x21, 0x24, 0xF1), (0x5B, 0x5C, 0xF5), (0x5E, 0x5F, 0xF8), (0x80, 0x80, 0x81),
          (0x8A, 0x90, 0x92), (0x9A, 0x9A, 0x7A), (0x9B, 0x9B, 0x6E), (0x9C, 0x9C, 0x50),
          (0x9D, 0x9D, 0x6D), (0x9E, 0x9E, 0x4D), (0x9F, 0x9F, 0x5D), (0xA0, 0xA1, 0xC1),
          (0xAA, 0xB1, 0xD2), (0xB2, 0xB9, 0xE2), (0xBA, 0xBA, 0x4C), (0xBB, 0xBB, 0x4E),
          (0xBC, 0xBC, 0x6B), (0xBD, 0xBD, 0x60), (0xBE, 0xBE, 0x4B), (0xBF, 0xBF, 0x61),
          (0xC0, 0xC0, 0x89), (0xCA, 0xCF, 0x83), (0xD0, 0xD0, 0xA8), (0xDA, 0xDF, 0xA2),
          (0xE0, 0xE0, 0xC9), (0xE1, 0xE1, 0xD1), (0xEA, 0xEF, 0xC3)],
}
# Screen codes a terminal may also send for bytes that have a code of their
# own in another set: set -> ranges of (first code, last code, first byte).
ALSO_DECODED = {
    ";": [(0x4A, 0x4A, 0x4A), (0x4F, 0x4F, 0x4F), (0x5A, 0x5B, 0x5A), (0x5F, 0x5F, 0x5F),
          (0x6A, 0x6A, 0x6A), (0x7B, 0x7C, 0x7B), (0x7F, 0x7F, 0x7F)],
    "=": [(0x81, 0x81, 0x61), (0x92, 0x96, 0x6B), (0xA9, 0xA9, 0x7A), (0xD2, 0xD5, 0x4B),
          (0xD7, 0xD7, 0x50)],
    "*": [],
    "'": [],
}
ENCODE = {}  # byte -> (set, code)
DECODE = {}  # (set, code) -> byte
for _set, _ranges in CODE_SETS.items():
    for _first, _last, _code in _ranges:
        for _b in range(_first, _last + 1):
            ENCODE[_b] = (_set, _code + _b - _first)
            DECODE[(_set, _code + _b - _first)] = _b
    for _first, _last, _byte in ALSO_DECODED[_set]:
        for _c in range(_first, _last + 1):
            DECODE[(_set, _c)] = _byte + _c - _first
assert len(ENCODE) == 256, "every byte belongs to one code set"


def ebcdic(text):
    return text.encode("cp037")


def from_ebcdic(data):
    return bytes(data).decode("cp037")


SHIFTS = {ebcdic(s)[0]: s for s in CODE_SETS}
EOF_MARK = ebcdic("*z")

FRAME_SIZE = 1920
MAGIC_FIELD = 1919
RESPONSE_AREA = 1914
MAX_HOST_BLOCK = RESPONSE_AREA - 5  # screen positions of one host data block
AUTOSKIP = ds.attribute(protected=True, numeric=True)
INPUT_MDT = ds.attribute(mdt=True)

AID_ENTER, AID_PF2, AID_CLEAR, AID_SF = 0x7D, 0xF2, 0x6D, 0x88

COMPLETE = "TRANS03 File transfer complete"
CANCELLED = "TRANS13 File transfer canceled by the terminal"
NOT_FOUND = "TRANS34 Host file {name} not found; file transfer canceled"
BAD_OPTION = "TRANS14 Invalid option {word}; file transfer canceled"
BAD_NAME = "TRANS15 Invalid host file name {name}; file transfer canceled"
TRANSMISSION = "TRANS16 Transmission error: {why}; file transfer canceled"
NO_DFT = "TRANS17 The terminal does not support structured-field transfers"

PROMPTS = {"vm": "Ready;", "tso": "READY", "cics": "CICS ready"}
SYSTEMS = {"vm": "VM/CMS", "tso": "MVS/TSO", "cics": "CICS"}
INPUT_ROW = 22


class Cancelled(Exception):
    """The terminal said stop (PF2, Clear or an error reply)."""


class TransferError(Exception):
    """What went wrong, as the message the host sends."""


# -- the command line ------------------------------------------------------------

def parse_command(text, system, program="IND$FILE"):
    """(direction, host file, options dict) of an IND$FILE command as the
    host system spells it; TransferError for anything it does not take."""
    words = text.split()
    if len(words) < 3 or words[0].upper() != program.upper() or words[1].upper() not in ("GET", "PUT"):
        raise TransferError(f"Unknown command {text.strip()[:40]}")
    direction = words[1].upper()
    rest = text.split(None, 2)[2]
    if system == "tso":
        name, _, option_text = rest.partition(" ")
        tokens = re.findall(r"[A-Za-z]+(?:\([^)]*\))?", option_text)
    else:
        name, paren, option_text = rest.partition("(")
        option_text = option_text.strip()
        if option_text.endswith(")"):
            option_text = option_text[:-1]
        tokens = option_text.split()
    name = " ".join(name.split()).strip("'").upper()
    if not name or not re.fullmatch(r"[A-Z0-9$#@.\- ]+", name) or ".." in name:
        raise TransferError(BAD_NAME.format(name=name[:20]))
    options = {}
    i = 0
    while i < len(tokens):
        word = tokens[i].upper()
        i += 1
        if word in ("ASCII", "CRLF", "APPEND", "NOTRUNC", "TRUNC") or \
                (system == "cics" and word in ("BINARY", "NOCRLF")):
            options[word] = True
        elif system == "tso" and re.fullmatch(r"(RECFM\([FVU]\)|LRECL\(\d+\)|BLKSIZE\(\d+\)|"
                                              r"SPACE\(\d+(,\d+)?\)|AVBLOCK\(\d+\)|TRACKS|CYLINDERS)",
                                              word):
            key, _, value = word.partition("(")
            options[key] = value.rstrip(")") or True
        elif system == "vm" and word == "RECFM" and i < len(tokens) and tokens[i].upper() in ("F", "V"):
            options["RECFM"] = tokens[i].upper()
            i += 1
        elif system == "vm" and word == "LRECL" and i < len(tokens) and tokens[i].isdigit():
            options["LRECL"] = tokens[i]
            i += 1
        elif system == "cics" and re.fullmatch(r"LRECL=\d+", word):
            options["LRECL"] = word[6:]
        else:
            raise TransferError(BAD_OPTION.format(word=word[:20]))
    if system == "cics" and not (("ASCII" in options) ^ ("BINARY" in options)
                                 and ("CRLF" in options) ^ ("NOCRLF" in options)):
        raise TransferError(BAD_OPTION.format(word="(CICS needs ASCII or BINARY, CRLF or NOCRLF)"))
    return direction, name, options


# -- host files ---------------------------------------------------------------------

class HostFiles:
    """Host files by name, in a folder (one file each, blanks as dots) or in memory."""

    def __init__(self, folder=""):
        self.folder = folder
        self.memory = {}

    def _path(self, name):
        return os.path.join(self.folder, name.replace(" ", "."))

    def read(self, name):
        if not self.folder:
            return self.memory.get(name)
        try:
            with open(self._path(name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def write(self, name, data, append=False):
        old = (self.read(name) or b"") if append else b""
        if not self.folder:
            self.memory[name] = old + data
            return
        temporary = self._path(name) + ".part"
        with open(temporary, "wb") as f:
            f.write(old + data)
        os.replace(temporary, self._path(name))


# -- screens ------------------------------------------------------------------------

def prompt_screen(system, message="", transfers=0):
    start = ds.position(INPUT_ROW, 0) - 1
    return ds.erase_write(
        ds.wcc(restore=True, reset_mdt=True),
        ds.sba(0), ds.sf(ds.attribute(protected=True, display="intensified")),
        ds.text(f"Corvina test host - {SYSTEMS[system]} - IND$FILE"),
        ds.sba(ds.position(19, 0)), ds.sf(ds.attribute(protected=True)),
        ds.text(f"Transfers: {transfers}"),
        ds.sba(ds.position(20, 0)), ds.sf(ds.attribute(protected=True)), ds.text(message[:79]),
        ds.sba(ds.position(21, 0)), ds.sf(ds.attribute(protected=True)), ds.text(PROMPTS[system]),
        ds.sba(start), ds.sf(ds.attribute()), ds.ic(),
        ds.sba(ds.position(23, 70)), ds.sf(AUTOSKIP))


def frame(contents, request=False):
    """An Erase/Write of a transfer frame: contents (EBCDIC) from position 0,
    with the input field at 1 of a data request."""
    parts = [ds.sba(0), contents[:1]]
    if request:
        parts += [ds.sf(INPUT_MDT), contents[1:]]
    else:
        parts.append(contents[1:])
    parts += [ds.sba(MAGIC_FIELD), ds.sf(AUTOSKIP)]
    return ds.erase_write(ds.wcc(restore=True, reset_mdt=not request), *parts)


def letter(index):
    return ebcdic(ALPHABET[index & 63])


def number_of(code):
    index = ALPHABET.find(from_ebcdic(bytes((code,))))
    if index < 0:
        raise TransferError(TRANSMISSION.format(why=f"X'{code:02X}' is no number"))
    return index


def encode_blocks(data, limit=MAX_HOST_BLOCK):
    """The data as host blocks of at most limit screen positions; the code
    set carries over from block to block, the first starts with a shift."""
    blocks, block, current = [], bytearray(), None
    for b in data:
        code_set, code = ENCODE[b]
        need = 1 if code_set == current else 2
        if len(block) + need > limit:
            blocks.append(bytes(block))
            block = bytearray()
        if code_set != current:
            block += ebcdic(code_set)
            current = code_set
        block.append(code)
    if block:
        blocks.append(bytes(block))
    return blocks


class Decoder:
    """Screen codes of the terminal's blocks to bytes; the code set carries over."""

    def __init__(self):
        self.current = None

    def feed(self, codes):
        out = bytearray()
        for code in codes:
            if code in SHIFTS:
                self.current = SHIFTS[code]
                continue
            byte = DECODE.get((self.current, code))
            if byte is None:
                raise TransferError(TRANSMISSION.format(
                    why=f"screen code X'{code:02X}' outside code set {self.current}"))
            out.append(byte)
        return bytes(out)


def checksum(codes):
    value = 0
    for c in codes:
        value ^= c
    return value & 63


# -- the transfer -------------------------------------------------------------------

class IndFile:
    def __init__(self, conn, link, options):
        self.conn = conn
        self.link = link
        self.options = options
        self.system = options.text("system", "vm").lower()
        if self.system not in SYSTEMS:
            raise ScenarioError(f"option system: '{self.system}' is not vm, tso or cics")
        self.mode = options.text("mode", "auto").lower()
        self.files = HostFiles(options.text("folder"))
        self.sequence = 0

    def note(self, text):
        self.conn.log.note(f"ind$file: {text}")

    def receive(self):
        return self.link.receive()

    # The terminal's answer to a frame: the AID and its fields.
    def answer(self):
        while True:
            record = self.receive()
            if not record:
                continue
            aid = record[0]
            if aid == AID_SF:
                continue  # a late structured-field reply
            if aid in (AID_PF2, AID_CLEAR):
                raise Cancelled()
            if len(record) < 3:
                raise TransferError(TRANSMISSION.format(why=f"AID {aid:02X} without a cursor"))
            _aid, _cursor, fields = ds.parse_inbound(record)
            if aid != AID_ENTER:
                raise TransferError(TRANSMISSION.format(why=f"AID {aid:02X}"))
            return dict(fields)

    def query(self):
        """The DDM reply's limits (inbound, outbound), or None without one."""
        self.link.send(bytes((ds.WRITE_STRUCTURED_FIELD,)) + bytes.fromhex("00 05 01 FF 02"))
        while True:
            record = self.receive()
            if record and record[0] == AID_SF:
                break
        i = 1
        while i + 4 <= len(record):
            length = (record[i] << 8) | record[i + 1]
            if length < 4 or i + length > len(record):
                raise ScenarioError(f"query reply with a bad length at byte {i}")
            if record[i + 3] == 0x95 and length >= 10:
                inbound = (record[i + 6] << 8) | record[i + 7]
                outbound = (record[i + 8] << 8) | record[i + 9]
                self.note(f"DDM reply: inbound {inbound}, outbound {outbound}")
                return inbound, outbound
            i += length
        self.note("no DDM reply")
        return None

    # -- screen-image -----------------------------------------------------------

    def next_sequence(self):
        self.sequence = (self.sequence + 1) % 64
        return letter(self.sequence)

    def control(self, status, message=""):
        self.link.send(frame(ebcdic("C") + letter(self.sequence) + ebcdic(status) + ebcdic(message + "$")))

    def cut(self, direction, name, options):
        self.sequence = 0
        if direction == "GET":
            data = self.files.read(name)
            if data is None:
                self.control("am", NOT_FOUND.format(name=name))
                self.answer()
                return NOT_FOUND.format(name=name)
        self.control("aa")
        self.answer()
        try:
            if direction == "GET":
                self.cut_get(name, data)
            else:
                self.cut_put(name, options)
        except Cancelled:
            self.next_sequence()
            self.control("aq", CANCELLED)
            self.note("cancelled by the terminal")
            self.answer_quietly()
            return CANCELLED
        except TransferError as why:
            self.next_sequence()
            self.control("aq", str(why))
            self.answer_quietly()
            return str(why)
        self.next_sequence()
        self.control("ai", COMPLETE)
        self.answer_quietly()
        return COMPLETE

    def answer_quietly(self):
        try:
            self.answer()
        except (Cancelled, TransferError):
            pass

    def cut_get(self, name, data):
        limit = int(self.options.text("block", str(MAX_HOST_BLOCK)))
        for number, block in enumerate(encode_blocks(data, limit), 1):
            header = self.next_sequence() + letter(checksum(block)) + letter(len(block) >> 6) + letter(len(block))
            self.link.send(frame(ebcdic("A") + header + block))
            self.note(f"GET block {number}: {len(block)} positions")
            self.answer()
        self.note(f"GET {name}: {len(data)} bytes, sha256 {hashlib.sha256(data).hexdigest()}")

    def cut_put(self, name, options):
        decoder, data, number = Decoder(), bytearray(), 0
        resend = int(self.options.text("resend", "0") or 0)
        while True:
            sequence = self.next_sequence()
            self.link.send(frame(ebcdic("B") + ebcdic("A") + sequence, request=True))
            fields = self.answer()
            block = self.read_block(fields, sequence)
            if block == EOF_MARK:
                break
            number += 1
            if number == resend:
                self.link.send(frame(ebcdic("<") + ebcdic("A") + sequence, request=True))
                again = self.read_block(self.answer(), sequence)
                if again != block:
                    raise TransferError(TRANSMISSION.format(why=f"block {number} came back different"))
                self.note(f"PUT block {number} sent again alike")
            data += decoder.feed(block)
            self.note(f"PUT block {number}: {len(block)} positions")
        self.store(name, bytes(data), options)

    def read_block(self, fields, sequence):
        raw = fields.get(2)
        if raw is None or len(raw) < 5:
            raise TransferError(TRANSMISSION.format(why="no data block in the answer"))
        if raw[1:2] != sequence:
            raise TransferError(TRANSMISSION.format(why="the block's sequence is not the request's"))
        length = number_of(raw[3]) << 6 | number_of(raw[4])
        block = bytes(raw[5:])
        if len(block) != length:
            raise TransferError(TRANSMISSION.format(why=f"a block of {len(block)} positions claims {length}"))
        if MAGIC_FIELD - 7 < length:
            raise TransferError(TRANSMISSION.format(why=f"a block of {length} positions runs past the frame"))
        if number_of(raw[2]) != checksum(block):
            raise TransferError(TRANSMISSION.format(why="checksum"))
        return block

    def store(self, name, data, options):
        self.files.write(name, data, append="APPEND" in options)
        self.note(f"PUT {name}: {len(data)} bytes, sha256 {hashlib.sha256(data).hexdigest()}"
                  + "".join(f", {k}={v}" for k, v in sorted(options.items()) if v is not True)
                  + "".join(f", {k}" for k, v in sorted(options.items()) if v is True))

    # -- structured fields ------------------------------------------------------

    def wsf(self, *fields):
        self.link.send(bytes((ds.WRITE_STRUCTURED_FIELD,)) + b"".join(fields))

    @staticmethod
    def open_field(name, size=None):
        body = bytes.fromhex("01 06 01 01 03 0A  0A 0A 00 00 00 00 11 01 01 00  50 05 52 03 F0")
        if size is not None:
            body += bytes((0x08, 0x06, 0x00, 0x00, size >> 8 & 0xFF, size & 0xFF))
        body += bytes((0x03, 0x09)) + name.encode("ascii")
        return (5 + len(body)).to_bytes(2, "big") + bytes((0xD0, 0x00, 0x12)) + body

    def reply(self, expect):
        """The terminal's next structured-field reply of type expect (two
        bytes after D0); Cancelled for PF2, Clear or an error reply."""
        while True:
            record = self.receive()
            if not record:
                continue
            if record[0] in (AID_PF2, AID_CLEAR):
                raise Cancelled()
            if record[0] != AID_SF or len(record) < 6 or record[3] != 0xD0:
                continue
            if record[5] == 0x08:
                self.note(f"error reply {bytes(record[1:]).hex(' ').upper()}")
                if record[4] == 0x46 and record[6:10] == bytes.fromhex("69 04 22 00"):
                    return None  # end of file
                raise Cancelled()
            if bytes(record[4:6]) != expect:
                raise TransferError(TRANSMISSION.format(why=f"reply {bytes(record[1:8]).hex(' ').upper()}"))
            length = (record[1] << 8) | record[2]
            if length != len(record) - 1:
                raise TransferError(TRANSMISSION.format(why=f"a reply of {len(record) - 1} bytes claims {length}"))
            return bytes(record)

    def dft(self, direction, name, options, limits):
        inbound, outbound = limits
        if direction == "GET":
            data = self.files.read(name)
            if data is None:
                return self.dft_message(NOT_FOUND.format(name=name))
        try:
            if direction == "GET":
                self.dft_get(name, data, outbound)
            else:
                self.dft_put(name, options, inbound)
        except Cancelled:
            self.note("cancelled by the terminal")
            return self.dft_message(CANCELLED)
        except TransferError as why:
            return self.dft_message(str(why))
        return self.dft_message(COMPLETE)

    def dft_get(self, name, data, outbound):
        self.wsf(self.open_field("FT:DATA"))
        self.reply(b"\x00\x09")
        room = max(1, min(outbound, 32767) - 30)
        for number, start in enumerate(range(0, len(data), room), 1):
            chunk = data[start:start + room]
            insert = (10 + len(chunk)).to_bytes(2, "big") + bytes.fromhex("D0 47 04 C0 80 61") + \
                (len(chunk) + 5).to_bytes(2, "big") + chunk
            self.wsf(bytes.fromhex("00 05 D0 45 11"), bytes.fromhex("00 05 D0 47 11"), insert)
            ack = self.reply(b"\x47\x05")
            if ack[6:8] != b"\x63\x06" or int.from_bytes(ack[8:12], "big") != number:
                raise TransferError(TRANSMISSION.format(why=f"acknowledgement {ack[1:].hex(' ').upper()}"))
        self.wsf(bytes.fromhex("00 05 D0 41 12"))
        self.reply(b"\x41\x09")
        self.note(f"GET {name}: {len(data)} bytes, sha256 {hashlib.sha256(data).hexdigest()}")

    def dft_put(self, name, options, inbound):
        size = int(self.options.text("open-size", "0") or 0) or inbound
        self.wsf(self.open_field("FT:DATA", size))
        self.reply(b"\x00\x09")
        limit = min(size, inbound)
        data, number = bytearray(), 0
        while True:
            self.wsf(bytes.fromhex("00 05 D0 46 11"))
            reply = self.reply(b"\x46\x05")
            if reply is None:
                break
            number += 1
            if len(reply) - 1 > limit:
                raise TransferError(TRANSMISSION.format(
                    why=f"block {number} of {len(reply) - 1} bytes is larger than {limit}"))
            if reply[6:8] != b"\x63\x06" or int.from_bytes(reply[8:12], "big") != number \
                    or reply[12:15] != bytes.fromhex("C0 80 61"):
                raise TransferError(TRANSMISSION.format(why=f"data header {reply[1:17].hex(' ').upper()}"))
            length = int.from_bytes(reply[15:17], "big") - 5
            if length != len(reply) - 17:
                raise TransferError(TRANSMISSION.format(why=f"block {number} claims {length} bytes"))
            data += reply[17:]
        self.wsf(bytes.fromhex("00 05 D0 41 12"))
        self.reply(b"\x41\x09")
        self.store(name, bytes(data), options)

    def dft_message(self, message):
        """The host's last word: FT:MSG opened, the message inserted and closed.
        The terminal may be done by then, so the Close is not waited for."""
        self.wsf(self.open_field("FT:MSG "))
        try:
            self.reply(b"\x00\x09")
            text = (message + "$").encode("latin-1")
            self.wsf(bytes.fromhex("00 05 D0 47 11"),
                     (10 + len(text)).to_bytes(2, "big") + bytes.fromhex("D0 47 04 C0 80 61")
                     + (len(text) + 5).to_bytes(2, "big") + text)
            self.reply(b"\x47\x05")
        except (Cancelled, TransferError):
            pass
        self.wsf(bytes.fromhex("00 05 D0 41 12"))
        return message

    # -- the prompt -------------------------------------------------------------

    def run(self):
        message, transfers = "", 0
        program = self.options.text("program", "IND$FILE")
        while True:
            self.link.send(prompt_screen(self.system, message, transfers))
            record = self.receive()
            if not record or record[0] == AID_SF:
                message = ""
                continue
            if record[0] == 0xF3 and len(record) >= 1:  # PF3 ends the session
                self.conn.close()
                return
            if record[0] != AID_ENTER or len(record) < 3:
                message = ""
                continue
            _aid, _cursor, fields = ds.parse_inbound(record)
            text = " ".join(from_ebcdic(v).replace("\x00", " ").strip() for _p, v in fields)
            self.note(f"command: {text}")
            try:
                direction, name, options = parse_command(text, self.system, program)
            except TransferError as why:
                message = str(why)
                self.note(message)
                continue
            limits = self.query()
            if self.mode == "dft" and limits is None:
                message = NO_DFT
            elif limits is not None and self.mode != "cut":
                message = self.dft(direction, name, options, limits)
            else:
                message = self.cut(direction, name, options)
            transfers += 1
            self.note(f"result: {message}")


OPTIONS = {
    "system": "vm (default), tso or cics: the prompt and how options are spelt",
    "mode": "auto (default: structured fields when the terminal offers DDM), cut or dft",
    "folder": "keep host files in this folder (default: in memory)",
    "program": "the transfer program's name (default IND$FILE)",
    "block": "the most screen positions of one host data block in screen-image mode",
    "resend": "screen-image PUT: ask for this block once more with '<'",
    "open-size": "WSF PUT: the size the Open offers (default the terminal's inbound limit)",
    "tn3270e": "1: negotiate TN3270E",
}


def run(conn, options):
    link = Extended(conn) if options.flag("tn3270e") else Plain(conn)
    try:
        IndFile(conn, link, options).run()
    except ClientClosed:
        return
