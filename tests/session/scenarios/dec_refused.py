"""A host that asks for the terminal type twice."""
from testhost import negotiate
from testhost import telnet as t
from testhost.server import ScenarioError


def run(conn, options):
    if not conn.negotiate((t.DO, t.TERMINAL_TYPE))[(t.DO, t.TERMINAL_TYPE)]:
        raise ScenarioError("the client refused TERMINAL-TYPE")
    offers = [negotiate.terminal_type(conn), negotiate.terminal_type(conn)]
    if offers != ["DEC-VT220", "VT220"]:
        raise ScenarioError(f"terminal types offered: {offers}")
    conn.serve_until_closed()
