"""An extended-protocol host; then asks for the window size."""
from testhost import negotiate
from testhost import telnet as t
from testhost.server import ScenarioError


def run(conn, options):
    session = negotiate.tn3270e(conn)
    if session.request.device_type != "IBM-DYNAMIC":
        raise ScenarioError(f"device type {session.request.device_type!r}")
    if not conn.negotiate((t.DO, t.NAWS))[(t.DO, t.NAWS)]:
        raise ScenarioError("the client refused NAWS")
    size = conn.wait_for_subneg(t.NAWS)
    if size != bytes((0, 160, 0, 62)):
        raise ScenarioError(f"window size {size.hex(' ')}")
    conn.serve_until_closed()
