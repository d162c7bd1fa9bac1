"""A 3270 host without the extended protocol that refuses the first terminal type."""
from testhost import negotiate
from testhost.server import ScenarioError


def run(conn, options):
    result = negotiate.tn3270(conn, accept=lambda kind, lu: kind != "IBM-3278-2-E")
    if result.offers != ["IBM-3278-2-E", "IBM-3278-2"]:
        raise ScenarioError(f"terminal types offered: {result.offers}")
    conn.serve_until_closed()
