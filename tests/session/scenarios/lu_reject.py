"""An extended-protocol host that rejects every LU the client names; the client
ends the extended protocol and goes on with plain 3270."""
from testhost import negotiate
from testhost.server import ScenarioError


def run(conn, options):
    try:
        negotiate.tn3270e(conn, reject=("LUA", "LUB"))
    except negotiate.NegotiationRefused as refused:
        conn.log.note(f"as expected: {refused}")
    else:
        raise ScenarioError("the client accepted a rejected LU")
    result = negotiate.tn3270(conn)
    if result.offers != ["IBM-3278-2-E@LUA"]:
        raise ScenarioError(f"plain terminal types offered: {result.offers}")
    conn.serve_until_closed()
