"""A logon screen in plain 3270: the client shows it, answers the host's Read
Modified with the one modified field (its 0xFF doubled on the wire), and
answers an unknown command with the error report."""
from testhost import ds3270 as ds
from testhost import negotiate
from testhost.server import ScenarioError

USERID = ds.position(2, 13)

SCREEN = ds.erase_write(
    ds.wcc(restore=True, reset_mdt=True),
    ds.sba(ds.position(0, 30)), ds.sf(ds.attribute(protected=True, display="intensified")),
    ds.text("CORVINA TEST SYSTEM"), ds.sf(ds.attribute(protected=True)),
    ds.sba(ds.position(2, 0)), ds.sf(ds.attribute(protected=True)), ds.text("Userid  ==>"),
    ds.sf(ds.attribute(mdt=True)), ds.text("GUEST"), b"\xff",
    ds.sba(ds.position(2, 30)), ds.sf(ds.attribute(protected=True)),
    ds.sba(ds.position(3, 0)), ds.sf(ds.attribute(protected=True)), ds.text("Password==>"),
    ds.sf(ds.attribute(display="hidden")), ds.ic(), ds.text("SECRET"),
    ds.sba(ds.position(3, 30)), ds.sf(ds.attribute(protected=True)),
    ds.sba(ds.position(22, 0)), ds.ra(ds.position(23, 0), 0xA2, graphic_escape=True),
    ds.text("PF3=End"))


def expect(what, got, wanted):
    if got != wanted:
        raise ScenarioError(f"{what}: got {got!r}, wanted {wanted!r}")


def run(conn, options):
    negotiate.tn3270(conn)
    conn.send_record(SCREEN)
    conn.send_record(ds.command(ds.READ_MODIFIED))
    aid, cursor, fields = ds.parse_inbound(conn.wait_for_record())
    expect("AID", aid, ds.AID_NONE)
    expect("cursor", cursor, ds.position(3, 13))
    expect("fields", fields, [(USERID, ds.text("GUEST") + b"\xff")])
    conn.send_record(b"\x99")
    expect("error report", conn.wait_for_record(), bytes.fromhex("01 6C D9 10 03"))
    conn.serve_until_closed()
