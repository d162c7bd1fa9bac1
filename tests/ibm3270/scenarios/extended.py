"""An extended-protocol host: a BIND with a 27 x 132 alternate screen, a
coloured Erase/Write Alternate answered with a positive response, and a Write
with an address beyond the largest screen answered with a negative one."""
from testhost import ds3270 as ds
from testhost import negotiate
from testhost import telnet as t
from testhost.server import ScenarioError

SCREEN = ds.erase_write_alternate(
    ds.wcc(restore=True),
    ds.sba(ds.position(0, 0, 132)),
    ds.sfe((ds.FIELD_ATTRIBUTE, ds.attribute(protected=True)), (ds.FOREGROUND, ds.COLORS["red"])),
    ds.text("WIDE SCREEN"),
    ds.sba(ds.position(26, 120, 132)), ds.sf(ds.attribute(mdt=True)), ds.text("CORNER"))

BAD_ADDRESS = ds.write(ds.wcc(restore=True), ds.text("KEPT"), ds.sba(3564, fourteen_bit=True),
                       ds.text("LOST"))


def run(conn, options):
    session = negotiate.tn3270e(conn)
    session.send(conn, t.DT_BIND_IMAGE, negotiate.bind_image(24, 80, 27, 132))
    seq = session.send(conn, t.DT_3270_DATA, SCREEN, t.RF_ALWAYS_RESPONSE)
    session.expect_response(conn, seq)
    seq = session.send(conn, t.DT_3270_DATA, BAD_ADDRESS, t.RF_ERROR_RESPONSE)
    reason = session.expect_response(conn, seq, positive=False)
    if reason != b"\x02":
        raise ScenarioError(f"negative response reason {reason.hex()}, wanted 02 (operation check)")
    conn.serve_until_closed()
