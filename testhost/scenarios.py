"""Named scenarios of the command, and the loader for scenario files.

A scenario is a function run(conn, options) that plays the host side of one
connection; options holds the --option KEY=VALUE pairs it declared. A scenario
file is a Python file defining run(conn, options), and optionally OPTIONS (a
dict of option name to help text) and a docstring that describes it.
"""

import importlib.util
import os
from dataclasses import dataclass, field

from . import negotiate
from . import telnet as t
from .server import ClientClosed, ScenarioError, TimeLimitReached

# Texts the host shows; exact, as tests compare them.
TEXTS = {
    "banner": "Corvina test host\r\n\r\n",
    "login": "login: ",
    "welcome": "\r\nWelcome, {name}. Type exit to leave.\r\n",
    "prompt": "$ ",
    "goodbye": "\r\nGoodbye.\r\n",
    "closing": "Corvina test host: closing the connection.\r\n",
    "options": "Terminal type: {ttype}\r\nWindow: {width}x{height}\r\n",
}

MAX_LINE = 256  # typed characters beyond this are neither kept nor echoed

# Erase/Write (remote form) with a WCC that resets the partition, restores the
# keyboard and resets the modified flags: an empty, unlocked screen.
ERASE_WRITE_UNLOCK = bytes((0xF5, 0xC3))


class Options:
    """The --option values given to a scenario."""

    def __init__(self, values=None):
        self.values = dict(values or {})

    def text(self, name, default=""):
        return self.values.get(name, default)

    def flag(self, name):
        return self.values.get(name, "0") not in ("", "0", "no", "false")

    def names(self, name):
        """A comma-separated list, blanks around the names removed."""
        return [n.strip() for n in self.text(name).split(",") if n.strip()]

    def numbers(self, name):
        try:
            return [int(n, 0) for n in self.names(name)]
        except ValueError:
            raise ScenarioError(f"option {name}: '{self.text(name)}' is not a list of numbers") \
                from None


@dataclass
class Scenario:
    name: str
    run: object
    description: str
    options: dict = field(default_factory=dict)  # option name -> help text


SCENARIOS = {}


def scenario(name, description, options=None):
    def register(run):
        SCENARIOS[name] = Scenario(name, run, description, options or {})
        return run
    return register


def load(name):
    """The registered scenario of that name, or the scenario in the file name
    refers to (a name ending in .py). Raises LookupError with a clear text."""
    if not name.endswith(".py"):
        if name not in SCENARIOS:
            raise LookupError(f"unknown scenario '{name}' (known: {', '.join(sorted(SCENARIOS))})")
        return SCENARIOS[name]
    if not os.path.isfile(name):
        raise LookupError(f"scenario file '{name}' does not exist")
    found = importlib.util.spec_from_file_location("corvina_scenario", name)
    module = importlib.util.module_from_spec(found)
    try:
        found.loader.exec_module(module)
    except Exception as error:
        raise LookupError(f"scenario file '{name}' cannot be loaded: {error!r}") from None
    if not callable(getattr(module, "run", None)):
        raise LookupError(f"scenario file '{name}' defines no run(conn, options)")
    return Scenario(name, module.run, (module.__doc__ or "").strip(),
                    dict(getattr(module, "OPTIONS", {})))


# -- NVT ----------------------------------------------------------------------

def typed_lines(conn, echo):
    """Yields the lines the client types until it closes or time runs out;
    echoes printable characters and erases on BS or DEL when echo is set.
    A line ends at CR (followed by LF or NUL, which are dropped) or a lone LF."""
    line = bytearray()
    after_cr = False
    while True:
        try:
            chunk = conn.wait_for_data(timeout=float("inf"))
        except (ClientClosed, TimeLimitReached):
            return
        shown = bytearray()
        for b in chunk:
            if after_cr and b in (0x0A, 0x00):
                after_cr = False
                continue
            after_cr = b == 0x0D
            if b in (0x0D, 0x0A):
                if echo and shown:
                    conn.send(t.escape(shown))
                shown.clear()
                yield line.decode("latin-1")
                line.clear()
            elif b in (0x08, 0x7F):
                if line:
                    line.pop()
                    shown += b"\b \b"
            elif b >= 0x20 and len(line) < MAX_LINE:
                line.append(b)
                shown.append(b)
        if echo and shown:
            conn.send(t.escape(shown))


def login_session(conn, echo):
    """login: NAME, a welcome, then a "$ " prompt per line until "exit"."""
    name = None
    for line in typed_lines(conn, echo):
        if name is None:
            name = line
            conn.send_text(TEXTS["welcome"].format(name=name) + TEXTS["prompt"])
        elif line.strip() == "exit":
            conn.send_text(TEXTS["goodbye"])
            return
        else:
            conn.send_text("\r\n" + TEXTS["prompt"])


@scenario("nvt-banner", "WILL ECHO and WILL SGA, a banner and a login: prompt; echoes what is "
          "typed (when the client lets the host echo) until the line \"exit\"")
def nvt_banner(conn, options):
    result = negotiate.nvt(conn)
    conn.send_text(TEXTS["banner"] + TEXTS["login"])
    login_session(conn, result.echo)


@scenario("nvt-options", "as nvt-banner, but also asks DO NAWS and DO TERMINAL-TYPE and shows "
          "the answers before the prompt")
def nvt_options(conn, options):
    result = negotiate.nvt(conn, naws=True, ttype=True)
    width, height = result.window or ("?", "?")
    conn.send_text(TEXTS["banner"]
                   + TEXTS["options"].format(ttype=result.terminal_type or "?",
                                             width=width, height=height)
                   + TEXTS["login"])
    login_session(conn, result.echo)


@scenario("nvt-close", "sends one line of text and closes the connection at once",
          {"reset": "1: drop the connection with a reset instead of an orderly close"})
def nvt_close(conn, options):
    conn.send_text(TEXTS["closing"])
    if options.flag("reset"):
        conn.abort()
    else:
        conn.close()


@scenario("silent", "accepts the connection and never sends; logs until the client closes")
def silent(conn, options):
    conn.serve_until_closed()


# -- 3270 and 5250 ------------------------------------------------------------

_3270_OPTIONS = {
    "reject": "LU names to refuse, comma-separated (the client is asked again)",
    "reject-types": "terminal types to refuse, comma-separated",
}


def _accept_3270(options):
    reject, reject_types = set(options.names("reject")), set(options.names("reject-types"))
    return lambda kind, lu: kind not in reject_types and lu not in reject


@scenario("tn3270", "3270 without TN3270E: TERMINAL-TYPE, END-OF-RECORD and BINARY, then "
          "logs until the client closes", _3270_OPTIONS)
def tn3270(conn, options):
    negotiate.tn3270(conn, _accept_3270(options))
    conn.serve_until_closed()


@scenario("tn3270e", "3270 with TN3270E: device type with LU accept or reject, FUNCTIONS, a "
          "BIND-IMAGE when agreed; plain 3270 when the client refuses TN3270E; then logs "
          "until the client closes", {
              **_3270_OPTIONS,
              "device-name": f"name assigned when the client names no LU "
                             f"(default {negotiate.DEFAULT_DEVICE_NAME})",
              "printer-name": f"name assigned to an ASSOCIATE request "
                              f"(default {negotiate.DEFAULT_PRINTER_NAME})",
              "functions": "function codes the host supports, comma-separated (default 0,1,2,3,4)",
              "write": "1: send an Erase/Write asking ALWAYS-RESPONSE and check the "
                       "positive response",
          })
def tn3270e(conn, options):
    functions = options.numbers("functions")
    try:
        session = negotiate.tn3270e(
            conn, reject=options.names("reject"), reject_types=options.names("reject-types"),
            device_name=options.text("device-name", negotiate.DEFAULT_DEVICE_NAME),
            printer_name=options.text("printer-name", negotiate.DEFAULT_PRINTER_NAME),
            functions=functions or t.ALL_FUNCTIONS)
    except negotiate.NegotiationRefused as why:
        conn.log.note(f"{why}; going on without TN3270E")
        conn.negotiate((t.DONT, t.TN3270E))
        negotiate.tn3270(conn, _accept_3270(options))
        conn.serve_until_closed()
        return
    if t.FN_BIND_IMAGE in session.functions:
        session.send(conn, t.DT_BIND_IMAGE, negotiate.bind_image())
    if options.flag("write"):
        responses = t.FN_RESPONSES in session.functions
        seq = session.send(conn, t.DT_3270_DATA, ERASE_WRITE_UNLOCK,
                           t.RF_ALWAYS_RESPONSE if responses else t.RF_NO_RESPONSE)
        if responses:
            session.expect_response(conn, seq)
    conn.serve_until_closed()


@scenario("tn5250", "5250: NEW-ENVIRON (device name and seed), TERMINAL-TYPE, END-OF-RECORD "
          "and BINARY, then logs until the client closes",
          {"reject-types": "terminal types to refuse, comma-separated"})
def tn5250(conn, options):
    reject_types = set(options.names("reject-types"))
    negotiate.tn5250(conn, accept=lambda kind, lu: kind not in reject_types)
    conn.serve_until_closed()


@scenario("printer", "a TN3270E printer LU (IBM-3287-1): an SCS job and an LU type 3 job, "
          "each ended by PRINT-EOJ; every record asks ALWAYS-RESPONSE and its response is "
          "checked; the host closes after the last", {
              "jobs": "the jobs in order, comma-separated: scs, common, lu3, lu3u (default scs,lu3)",
              "expect": "positive (default) or negative: the responses to expect",
          })
def printer(conn, options):
    from testhost import printer as host
    host.run(conn, options)


@scenario("demo", "the demo application: logon (user DEMO, password DEMO), a menu, a form "
          "and a function-key screen; serves until the client closes",
          {"tn3270e": "1: negotiate TN3270E (records with headers, a BIND first)"})
def demo(conn, options):
    from testhost import demo as application
    application.run(conn, options)


@scenario("demo5250", "the 5250 demo application: sign-on (user DEMO, password DEMO), a menu, an "
          "order form and a customer list that rolls; option 90 signs off")
def demo5250(conn, options):
    from testhost import demo5250 as application
    application.run(conn, options)


def _indfile_options():
    from testhost import indfile
    return indfile.OPTIONS


@scenario("indfile", "a command prompt that serves IND$FILE GET and PUT in structured-field and "
          "screen-image mode, for VM/CMS, MVS/TSO or CICS; logs every block", _indfile_options())
def indfile(conn, options):
    from testhost import indfile as host
    host.run(conn, options)
