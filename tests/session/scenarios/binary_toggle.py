"""Plain 3270, then the host takes BINARY away and gives it back."""
from testhost import negotiate
from testhost import telnet as t


def run(conn, options):
    negotiate.tn3270(conn)
    conn.wait_for_record(match=lambda r: r == b"in 3270", what="the record 'in 3270'")
    conn.send(bytes((t.IAC, t.WONT, t.BINARY)))
    conn.wait_for_negotiation(t.DONT, t.BINARY)
    conn.wait_for_record(match=lambda r: r == b"in line mode", what="the record 'in line mode'")
    conn.send(bytes((t.IAC, t.WILL, t.BINARY)))
    conn.wait_for_negotiation(t.DO, t.BINARY)
    conn.serve_until_closed()
