"""The demo application: a small 3270 host program to try the emulator on.

Logon (user DEMO, password DEMO), a menu, a form with numeric and protected
fields in a few colours, and a screen that tells which PF or PA key was
pressed. PF3 goes back one screen; PF3 on the logon screen ends the session.
"""
from testhost import ds3270 as ds
from testhost import negotiate
from testhost import telnet as t
from testhost.server import ClientClosed

DEMO_USER = "DEMO"
DEMO_PASSWORD = "DEMO"

USER_FIELD = ds.position(8, 20)
PASSWORD_FIELD = ds.position(10, 20)
OPTION_FIELD = ds.position(12, 20)
NAME_FIELD = ds.position(6, 22)
ACCOUNT_FIELD = ds.position(8, 22)
AMOUNT_FIELD = ds.position(10, 22)

PROTECTED = ds.attribute(protected=True)
BRIGHT = ds.attribute(protected=True, display="intensified")
INPUT = ds.attribute()
NUMERIC = ds.attribute(numeric=True)
HIDDEN = ds.attribute(display="hidden")
AUTOSKIP = ds.attribute(protected=True, numeric=True)

AID_NAMES = {0x7D: "ENTER", 0x6D: "CLEAR", 0x6C: "PA1", 0x6E: "PA2", 0x6B: "PA3"}
for _n, _aid in enumerate([0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C,
                           0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C], 1):
    AID_NAMES[_aid] = f"PF{_n}"
PF3 = 0xF3


def colour(name):
    return (ds.FOREGROUND, ds.COLORS[name])


def label(row, column, text, name="turquoise", attr=PROTECTED):
    return ds.sba(ds.position(row, column)) + ds.sfe((ds.FIELD_ATTRIBUTE, attr), colour(name)) + ds.text(text)


def input_field(pos, length, attr=INPUT, name="green", cursor=False, value=""):
    """An input field of length positions at pos, ended by an autoskip stop."""
    start = ds.sba(pos - 1) + ds.sfe((ds.FIELD_ATTRIBUTE, attr), colour(name),
                                     (ds.HIGHLIGHTING, ds.HIGHLIGHTS["underscore"]))
    return start + (ds.ic() if cursor else b"") + ds.text(value) + ds.sba(pos + length) + ds.sf(AUTOSKIP)


def screen(title, body, message="", message_colour="red", keys="PF3=Exit"):
    return ds.erase_write(
        ds.wcc(restore=True, reset_mdt=True),
        label(0, 1, "CORVINA DEMO", "blue", BRIGHT),
        label(0, 30, title, "white", BRIGHT),
        body,
        label(21, 1, message, message_colour, BRIGHT) if message else b"",
        label(23, 1, keys, "blue"))


def logon_screen(message=""):
    return screen("Logon", b"".join((
        label(4, 1, "Welcome to the Corvina demo host. Log on with user DEMO, password DEMO."),
        label(8, 1, "Userid   ===>"), input_field(USER_FIELD, 8, cursor=True),
        label(10, 1, "Password ===>"), input_field(PASSWORD_FIELD, 8, attr=HIDDEN))), message)


def menu_screen(message=""):
    return screen("Main Menu", b"".join((
        label(4, 1, "1  Account form", "yellow"),
        label(5, 1, "2  Function keys", "yellow"),
        label(6, 1, "3  Log off", "yellow"),
        label(12, 1, "Option   ===>"), input_field(OPTION_FIELD, 1, attr=NUMERIC, cursor=True))),
        message, keys="PF3=Log off")


def form_screen(values=("", "", ""), message="", message_colour="red"):
    name, account, amount = values
    return screen("Account Form", b"".join((
        label(4, 1, "Fill in the fields and press Enter.", "pink"),
        label(6, 1, "Name           ===>"), input_field(NAME_FIELD, 20, cursor=True, value=name),
        label(8, 1, "Account number ===>"), input_field(ACCOUNT_FIELD, 6, attr=NUMERIC, value=account),
        label(10, 1, "Amount         ===>"), input_field(AMOUNT_FIELD, 9, attr=NUMERIC, value=amount),
        label(12, 1, "Branch         :   0042 (protected)", "white"))),
        message, message_colour, keys="PF3=Return  Enter=Save")


def keys_screen(pressed=""):
    body = label(4, 1, "Press any PF or PA key; PF3 returns to the menu.", "pink")
    if pressed:
        body += label(8, 1, "You pressed", "turquoise") + label(8, 14, pressed, "yellow", BRIGHT)
    return screen("Function Keys", body + ds.sba(ds.position(23, 79)) + ds.ic(), keys="PF3=Return")


class Plain:
    """Records as they are (3270 without TN3270E)."""

    def __init__(self, conn):
        negotiate.tn3270(conn)
        self.conn = conn

    def send(self, data):
        self.conn.send_record(data)

    def receive(self):
        return self.conn.wait_for_record(timeout=3600)


class Extended:
    """Records with the TN3270E header; a BIND starts the session."""

    def __init__(self, conn):
        self.conn = conn
        self.session = negotiate.tn3270e(conn)
        if t.FN_BIND_IMAGE in self.session.functions:
            self.session.send(conn, t.DT_BIND_IMAGE, negotiate.bind_image())

    def send(self, data):
        self.session.send(self.conn, t.DT_3270_DATA, data)

    def receive(self):
        while True:
            record = self.conn.wait_for_record(timeout=3600)
            if len(record) >= 5 and record[0] == t.DT_3270_DATA:
                return record[5:]


def read(link):
    """The AID and the modified fields of the client's next record, as text."""
    record = link.receive()
    if len(record) < 3:  # a short read: PA keys and Clear
        return (record[0] if record else ds.AID_NONE), {}
    aid, _cursor, fields = ds.parse_inbound(record)
    return aid, {pos: data.decode("cp037").strip() for pos, data in fields}


def run(conn, options):
    link = Extended(conn) if options.flag("tn3270e") else Plain(conn)
    show, state = logon_screen(), "logon"
    form = ("", "", "")
    try:
        while True:
            link.send(show)
            aid, fields = read(link)
            if state == "logon":
                if aid == PF3:
                    link.send(screen("Logon", label(4, 1, "Goodbye."), keys=""))
                    conn.close()
                    return
                user, password = fields.get(USER_FIELD, "").upper(), fields.get(PASSWORD_FIELD, "").upper()
                if aid != 0x7D:
                    show = logon_screen()
                elif user == DEMO_USER and password == DEMO_PASSWORD:
                    show, state = menu_screen(f"Welcome, {user}."), "menu"
                else:
                    show = logon_screen("Userid or password not valid.")
            elif state == "menu":
                option = fields.get(OPTION_FIELD, "")
                if aid == PF3 or (aid == 0x7D and option == "3"):
                    show, state = logon_screen("You are logged off."), "logon"
                elif aid == 0x7D and option == "1":
                    show, state = form_screen(form), "form"
                elif aid == 0x7D and option == "2":
                    show, state = keys_screen(), "keys"
                else:
                    show = menu_screen("Choose 1, 2 or 3." if aid == 0x7D else "")
            elif state == "form":
                if aid == PF3:
                    show, state = menu_screen(), "menu"
                    continue
                name = fields.get(NAME_FIELD, form[0])
                account = fields.get(ACCOUNT_FIELD, form[1])
                amount = fields.get(AMOUNT_FIELD, form[2])
                form = (name, account, amount)
                if aid != 0x7D:
                    show = form_screen(form)
                elif not name or not account.isdigit():
                    show = form_screen(form, "Name and account number are required.")
                else:
                    show = form_screen(form, f"Saved account {account} for {name}.", "green")
            else:  # the function-key screen
                if aid == PF3:
                    show, state = menu_screen(), "menu"
                else:
                    show = keys_screen(AID_NAMES.get(aid, f"AID {aid:02X}"))
    except ClientClosed:
        return
