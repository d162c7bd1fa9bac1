"""An extended-protocol host that agrees everything, then turns the extended
protocol off and negotiates plain 3270 on the same connection: the client must
answer its WILL END-OF-RECORD and WILL BINARY again."""
from testhost import negotiate
from testhost import telnet as t
from testhost.server import ScenarioError


def run(conn, options):
    negotiate.tn3270e(conn)
    if not conn.negotiate((t.DONT, t.TN3270E))[(t.DONT, t.TN3270E)]:
        raise ScenarioError("the client kept the extended protocol")
    answers = conn.negotiate((t.WILL, t.END_OF_RECORD), (t.WILL, t.BINARY))
    if not all(answers.values()):
        raise ScenarioError(f"WILL END-OF-RECORD / WILL BINARY not agreed again: {answers}")
    result = negotiate.tn3270(conn)
    if result.offers != ["IBM-3278-2-E"]:
        raise ScenarioError(f"plain terminal types offered: {result.offers}")
    conn.serve_until_closed()
