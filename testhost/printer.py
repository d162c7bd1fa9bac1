"""The host side of a 3270 printer session: print jobs as SCS strings (LU
type 1) and as 3270 writes with the start-print bit (LU type 3), each ended
with PRINT-EOJ, every record asking ALWAYS-RESPONSE. The responses the
printer sends are checked and logged; the jobs are data, not computed from
anything the emulator has."""

from . import ds3270, negotiate
from . import telnet as t
from .server import ScenarioError

NL, FF, HT = b"\x15", b"\x0c", b"\x05"


def ebcdic(text):
    return text.encode("cp037")


# A 132-column SCS job: formats, tabs, a full ruler, accented letters and a
# second page. Split into records as a host might, with controls cut in two.
SCS_JOB = (
    b"\x2b\xc1\x06\x84\x01\x84\x0a\x14"  # SHF: line 132, margin 1, tabs 10 and 20
    + b"\x2b\xc2\x04\x42\x01\x42"  # SVF: page 66, top margin 1
    + ebcdic("CORVINA PRINT TEST") + NL
    + ebcdic("1234567890" * 13 + "12") + NL
    + ebcdic("A") + HT + ebcdic("B") + HT + ebcdic("C") + NL
    + ebcdic("Caf\u00e9 cr\u00e8me br\u00fbl\u00e9e") + NL
    + b"\x34\xc0\x05" + ebcdic("at 5") + b"\x34\x4c\x02" + ebcdic("two down") + NL
    + FF + ebcdic("Page two") + NL
)
SCS_CUTS = (3, 40, 90, 200)  # record boundaries: inside SHF, the ruler, ...

SCS_TEXT = [
    "CORVINA PRINT TEST",
    "1234567890" * 13 + "12",
    "A        B         C",
    "Caf\u00e9 cr\u00e8me br\u00fbl\u00e9e",
    "    at 5",
    "",
    "        two down",
    "\f",
    "Page two",
]

# An LU type 3 job: Erase/Write with start-print and 40-column lines.
LU3_WCC = ds3270.CODES[0x08 | 0x10]
LU3_JOB = (bytes((0xF5, LU3_WCC)) + ebcdic("LU3 LINE ONE")
           + ds3270.sba(40) + ebcdic("LU3 LINE TWO"))
LU3_TEXT = ["LU3 LINE ONE", "LU3 LINE TWO"]

# An SCS job of the controls every SCS printer treats alike (no presentation
# positions, no transparent data): an 80-column format with tab stops, a
# full ruler, overprinting after CR, a line feed that keeps the column, an
# attribute skipped, an empty line and a form feed.
COMMON_JOB = (
    b"\x2b\xc1\x06\x50\x01\x50\x0a\x14"  # SHF: line 80, margins 1 and 80, tabs 10 and 20
    + b"\x2b\xc2\x04\x42\x01\x42"  # SVF: page 66, margins 1 and 66
    + ebcdic("COMMON SCS JOB") + NL
    + ebcdic("1234567890" * 8) + NL
    + ebcdic("A") + HT + ebcdic("B") + HT + ebcdic("C") + NL
    + ebcdic("abc") + b"\x0d" + ebcdic("X") + b"\x25" + ebcdic("def") + NL
    + ebcdic("skip") + b"\x28\x42\xf2" + ebcdic("ped") + NL + NL
    + ebcdic("\u00c0 la fa\u00e7on") + NL
    + FF + ebcdic("Second page") + NL
)
COMMON_TEXT = [
    "COMMON SCS JOB", "1234567890" * 8, "A        B         C", "Xbc", " def", "skipped", "",
    "\u00c0 la fa\u00e7on", "\f", "Second page",
]

# An unformatted LU type 3 job (print format 0): the host's new lines and
# end of message decide the lines.
LU3U_JOB = (bytes((0xF5, ds3270.CODES[0x08]))
            + ebcdic("UNFORMATTED ONE") + NL + ebcdic("UNFORMATTED TWO") + NL + NL
            + ebcdic("AFTER A BLANK LINE") + b"\x19")
LU3U_TEXT = ["UNFORMATTED ONE", "UNFORMATTED TWO", "", "AFTER A BLANK LINE"]


def _pieces(data, cuts):
    edges = [0, *[c for c in cuts if 0 < c < len(data)], len(data)]
    return [data[a:b] for a, b in zip(edges, edges[1:])]


def run(conn, options):
    """Negotiates a TN3270E printer LU, sends the jobs named by options
    ("jobs": scs, common, lu3 and lu3u; scs,lu3 when none) and checks a response for each record; "expect"
    negative makes the data records' responses negative (a printer that
    cannot write its spool file)."""
    session = negotiate.tn3270e(conn)
    if session.request.device_type != "IBM-3287-1":
        raise ScenarioError(f"device type {session.request.device_type}, expected IBM-3287-1")
    if t.FN_RESPONSES not in session.functions:
        raise ScenarioError("the printer did not agree to RESPONSES")
    if t.FN_BIND_IMAGE in session.functions:
        session.send(conn, t.DT_BIND_IMAGE, negotiate.bind_image(), t.RF_ALWAYS_RESPONSE)
        session.expect_response(conn, 0)
    positive = options.text("expect", "positive") != "negative"
    jobs = options.names("jobs") or ["scs", "lu3"]
    for job in jobs:
        if job == "scs":
            records = [(t.DT_SCS_DATA, piece) for piece in _pieces(SCS_JOB, SCS_CUTS)]
        elif job == "common":
            records = [(t.DT_SCS_DATA, piece) for piece in _pieces(COMMON_JOB, (5, 60))]
        elif job == "lu3":
            records = [(t.DT_3270_DATA, LU3_JOB)]
        elif job == "lu3u":
            records = [(t.DT_3270_DATA, LU3U_JOB)]
        else:
            raise ScenarioError(f"unknown job {job}")
        for data_type, data in records:
            seq = session.send(conn, data_type, data, t.RF_ALWAYS_RESPONSE)
            session.expect_response(conn, seq, positive)
        session.send(conn, t.DT_PRINT_EOJ, b"", t.RF_ALWAYS_RESPONSE)
        session.expect_response(conn, 0, positive)  # PRINT-EOJ carries sequence number 0
        conn.log.note(f"job {job} acknowledged")
    conn.close()
