"""A 3270 host that agrees the first terminal type, BINARY and END-OF-RECORD,
then asks for the terminal type again: the client offers the plainer type and
its 3270 engine must run as that kind."""
from testhost import negotiate
from testhost.server import ScenarioError


def run(conn, options):
    negotiate.tn3270(conn)
    conn.pause(0.3)  # the client's 3270 engine runs now
    second = negotiate.terminal_type(conn)
    if second != "IBM-3278-2":
        raise ScenarioError(f"second terminal type: {second!r}")
    conn.serve_until_closed()
