"""An extended-protocol host: the client numbers its records; the host's
sequence number 0x00FF comes back in a response."""
from testhost import negotiate
from testhost import telnet as t
from testhost.server import ScenarioError


def run(conn, options):
    session = negotiate.tn3270e(conn)
    if session.functions != frozenset(t.ALL_FUNCTIONS):
        raise ScenarioError(f"functions {sorted(session.functions)}")
    session.seq = 0xFF
    seq = session.send(conn, t.DT_3270_DATA, b"\xF1\xC2", response=t.RF_ALWAYS_RESPONSE)
    session.expect_response(conn, seq)
    conn.serve_until_closed()
