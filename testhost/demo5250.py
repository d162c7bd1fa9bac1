"""The 5250 demo application: a small midrange host program to try the
emulator on.

It asks the display for its query reply, then shows a sign-on screen (user
DEMO, password DEMO; a wrong one gets a Write Error Code message), a main
menu, an order-entry form with a mandatory name, a right-adjusted quantity,
a signed-numeric amount and a self-checking account number (read back with
Read Input Fields), and a customer list that rolls with Roll Up and Roll
Down. Help requests, System Request and Attention are answered on the
message line. Option 90 signs off and ends the connection.
"""
from testhost import ds5250 as ds
from testhost import negotiate
from testhost.server import ClientClosed

DEMO_USER = "DEMO"
DEMO_PASSWORD = "DEMO"
SYSTEM_NAME = "CORVINA"
DEFAULT_DEVICE = "QPADEV0001"
MESSAGE_ROW = 24

# Texts the screens show; exact, as tests compare them.
TEXTS = {
    "bad password": "CPF1107 Password not correct for user profile.",
    "bad user": "CPF1120 User {user} does not exist.",
    "signed off": "Signed off.",
    "choose": "Type 1, 2 or 90.",
    "name required": "Customer name is required.",
    "saved": "Order saved: {quantity} for {name}, amount {amount}, account {account}.",
    "bottom": "You have reached the bottom of the list.",
    "top": "You have reached the top of the list.",
    "help": "Help: error {code}. Press Reset and correct the entry.",
    "help key": "Help: type an option and press Enter; F3 exits.",
    "attention": "Attention key pressed.",
    "system request": "System request \"{text}\" is not supported.",
}

CUSTOMER_NAMES = ("Adler", "Brandt", "Castell", "Dorn", "Eckart", "Falk", "Gerber", "Hahn")
CITIES = ("Aachen", "Bremen", "Celle", "Dresden", "Essen")
CUSTOMERS = [(f"C{n:05d}", f"{CUSTOMER_NAMES[n % 8]} {n}", CITIES[n % 5]) for n in range(1, 41)]
LIST_TOP, LIST_ROWS = 5, 12  # the list area: rows 5 to 16
LIST_STEP = LIST_ROWS - 1  # a roll keeps one row of the last page
MARKER_ROW, MARKER_COLUMN = LIST_TOP + LIST_ROWS, 72

F3, F12 = ds.aid_of_function_key(3), ds.aid_of_function_key(12)


def sign_on_screen(device):
    return ds.Screen([
        ds.Label(1, 36, "Sign On", "white"),
        ds.Label(2, 48, f"System . . . . . :   {SYSTEM_NAME}"),
        ds.Label(3, 48, "Subsystem  . . . :   QINTER"),
        ds.Label(4, 48, f"Display  . . . . :   {device}"),
        ds.Label(6, 17, "User  . . . . . . . . . . . . . ."),
        ds.Field("user", 6, 53, 10, monocase=True),
        ds.Label(7, 17, "Password  . . . . . . . . . . . ."),
        ds.Field("password", 7, 53, 10, monocase=True, hidden=True),
        ds.Label(8, 17, "Program/procedure . . . . . . . ."),
        ds.Field("program", 8, 53, 10, monocase=True),
        ds.Label(23, 40, "(C) Corvina test host", "blue"),
    ])


def menu_screen():
    return ds.Screen([
        ds.Label(1, 2, "MAIN", "blue"),
        ds.Label(1, 30, "Corvina Demo Main Menu", "white"),
        ds.Label(1, 65, f"System: {SYSTEM_NAME}"),
        ds.Label(3, 2, "Select one of the following:"),
        ds.Label(5, 6, "1. Order entry"),
        ds.Label(6, 6, "2. Customer list"),
        ds.Label(8, 5, "90. Sign off"),
        ds.Label(20, 2, "Selection or command"),
        ds.Label(21, 2, "===>"),
        ds.Field("selection", 21, 7, 20),
        ds.Label(23, 2, "F3=Exit   F12=Cancel", "blue"),
    ])


def order_screen(values=None):
    values = values or {}
    return ds.Screen([
        ds.Label(1, 33, "Order Entry", "white"),
        ds.Label(3, 2, "Type the order and press Enter; Field- makes an amount negative."),
        ds.Label(5, 2, "Customer name  . . . . :"),
        ds.Field("name", 5, 27, 20, mandatory_enter=True, value=values.get("name", "")),
        ds.Label(6, 2, "Quantity . . . . . . . :"),
        ds.Field("quantity", 6, 27, 5, shift="digits only", adjust="zero fill"),
        ds.Label(7, 2, "Amount (cents) . . . . :"),
        ds.Field("amount", 7, 27, 8, shift="signed numeric", adjust="blank fill"),
        ds.Label(8, 2, "Account number . . . . :"),
        ds.Field("account", 8, 27, 6, shift="digits only",
                 control_words=(ds.fcw(ds.FCW_SELF_CHECK, ds.SELF_CHECK_MOD10),)),
        ds.Label(23, 2, "F3=Exit   F12=Cancel", "blue"),
    ], read=ds.READ_INPUT_FIELDS)


def list_row(index):
    number, name, city = CUSTOMERS[index]
    return f"{number}  {name:<20} {city:<12}"


def list_screen(top):
    items = [ds.Label(1, 32, "Customer List", "white"),
             ds.Label(3, 2, "Roll up and down to see more; F3 or F12 returns."),
             ds.Label(4, 3, f"{'Number':<8}{'Name':<21}{'City':<12}", "white")]
    items += [ds.Label(LIST_TOP + k, 3, list_row(top + k)) for k in range(LIST_ROWS)]
    items += [ds.Label(MARKER_ROW, MARKER_COLUMN, marker(top)), ds.Label(23, 2, "F3=Exit   F12=Cancel", "blue")]
    return ds.Screen(items, cursor=(1, 2))


def marker(top):
    return "Bottom " if top + LIST_ROWS >= len(CUSTOMERS) else "More..."


def message_orders(text, colour="white"):
    """The message line: an attribute, the text, blanks to the row's end."""
    return ds.sba(MESSAGE_ROW, 1) + ds.attr(colour) + ds.text(text[:78].ljust(78)) + ds.attr("green")


class Demo:
    def __init__(self, conn, device):
        self.conn = conn
        self.device = device
        self.screen = None
        self.state = "sign on"
        self.top = 0

    def send(self, data):
        self.conn.send_record(data)

    def show(self, screen, state):
        self.screen, self.state = screen, state
        self.send(screen.encode())

    def message(self, text, colour="white"):
        """A message on the last row; the screen stays and is read again."""
        self.send(ds.record(ds.PUT_GET, ds.wtd(0x00, ds.cc2(unlock=True), message_orders(text, colour)),
                            self.read()))

    def error(self, text, cursor=None):
        """A message in the error state: the operator presses Reset."""
        self.send(ds.record(ds.PUT_GET, ds.wec(ds.attr("white") + ds.text(text) + ds.attr("green"), cursor),
                            self.read()))

    def read(self):
        return ds.read_input_fields() if self.screen.read == ds.READ_INPUT_FIELDS else ds.read_mdt()

    def receive(self):
        inbound = ds.parse_record(self.conn.wait_for_record(timeout=3600))
        self.conn.log.note(ds.describe(inbound))
        return inbound

    def query(self):
        """Asks the display what it is, as a host does first."""
        self.send(ds.record(ds.PUT_GET, ds.query()))
        reply = self.receive()
        data = reply.data
        if reply.aid == 0x88 and len(data) >= 3 + 34 and data[5:7] == b"\xd9\x70":
            device = ds.untext(data[30:37])
            self.conn.log.note(f"5250 query reply: device {device[:4]}-{device[4:].strip()}")

    def serve(self):
        self.query()
        self.show(sign_on_screen(self.device), "sign on")
        while True:
            inbound = self.receive()
            if inbound.kind == "help":
                self.error(TEXTS["help"].format(code=inbound.data.hex().upper()))
            elif inbound.kind == "system request":
                self.error(TEXTS["system request"].format(text=ds.untext(inbound.data).strip()))
            elif inbound.kind == "attention":
                self.message(TEXTS["attention"])
            elif inbound.kind == "read" and inbound.aid is not None:
                if not getattr(self, "on_" + self.state.replace(" ", "_"))(inbound):
                    return
            # error responses are logged only

    def modified(self, inbound):
        """The modified fields of a Read MDT Fields response by name."""
        by_place = {(f.row, f.column): f.name for f in self.screen.fields}
        return {by_place.get((r, c), f"{r},{c}"): ds.untext(d).strip() for r, c, d in ds.mdt_fields(inbound)}

    def on_sign_on(self, inbound):
        fields = self.modified(inbound)
        user, password = fields.get("user", "").upper(), fields.get("password", "").upper()
        if inbound.aid != ds.AID_ENTER:
            self.show(sign_on_screen(self.device), "sign on")
        elif user != DEMO_USER:
            self.error(TEXTS["bad user"].format(user=user or "*NONE"), cursor=(6, 53))
        elif password != DEMO_PASSWORD:
            self.error(TEXTS["bad password"], cursor=(7, 53))
        else:
            self.show(menu_screen(), "menu")
        return True

    def on_menu(self, inbound):
        selection = self.modified(inbound).get("selection", "")
        if inbound.aid in (F3, F12):
            self.show(sign_on_screen(self.device), "sign on")
        elif inbound.aid == ds.AID_HELP:
            self.message(TEXTS["help key"])
        elif inbound.aid != ds.AID_ENTER:
            self.show(menu_screen(), "menu")
        elif selection == "1":
            self.show(order_screen(), "order")
        elif selection == "2":
            self.top = 0
            self.show(list_screen(0), "list")
        elif selection == "90":
            self.send(ds.record(ds.OUTPUT_ONLY, ds.clear_unit(),
                                ds.wtd(0x00, 0x00, ds.sba(1, 1), ds.attr("white"),
                                       ds.text(TEXTS["signed off"]))))
            self.conn.close()
            return False
        else:
            self.message(TEXTS["choose"], "red")
        return True

    def on_order(self, inbound):
        if inbound.aid in (F3, F12):
            self.show(menu_screen(), "menu")
            return True
        if inbound.aid != ds.AID_ENTER:
            self.show(order_screen(), "order")
            return True
        values = ds.input_fields(inbound, self.screen)
        name = ds.untext(values.get("name", b"")).strip()
        if not name:
            self.error(TEXTS["name required"], cursor=(5, 27))
            return True
        quantity = ds.untext(values["quantity"]).strip() or "0"
        amount = ds.signed_value(values["amount"])
        account = ds.untext(values["account"]).strip()
        self.conn.log.note(f"order: name \"{name}\" quantity {quantity} amount {amount} account {account}")
        self.screen = order_screen({"name": name})
        self.send(ds.record(ds.PUT_GET, ds.clear_unit(),
                            ds.wtd(0x00, ds.cc2(unlock=True), self.screen.orders(),
                                   message_orders(TEXTS["saved"].format(
                                       quantity=int(quantity), name=name, amount=f"{amount / 100:.2f}",
                                       account=account or "none"), "green")),
                            self.read()))
        return True

    def on_list(self, inbound):
        if inbound.aid in (F3, F12):
            self.show(menu_screen(), "menu")
        elif inbound.aid == ds.AID_ROLL_UP:
            self.roll(down=False)
        elif inbound.aid == ds.AID_ROLL_DOWN:
            self.roll(down=True)
        else:
            self.show(list_screen(self.top), "list")
        return True

    def roll(self, down):
        """Rolls the list area and writes only the rows that came in."""
        last_top = len(CUSTOMERS) - LIST_ROWS
        new_top = max(0, self.top - LIST_STEP) if down else min(last_top, self.top + LIST_STEP)
        if new_top == self.top:
            self.message(TEXTS["top" if down else "bottom"])
            return
        count = abs(new_top - self.top)
        first = LIST_TOP if down else LIST_TOP + LIST_ROWS - count
        rows = b"".join(ds.sba(row, 2) + ds.attr("green") + ds.text(list_row(new_top + row - LIST_TOP))
                        + ds.attr("green") for row in range(first, first + count))
        self.top = new_top
        self.send(ds.record(ds.PUT_GET, ds.roll(count, LIST_TOP, LIST_TOP + LIST_ROWS - 1, down=down),
                            ds.wtd(0x00, ds.cc2(unlock=True), rows,
                                   ds.sba(MARKER_ROW, MARKER_COLUMN - 1), ds.attr("green"),
                                   ds.text(marker(new_top)), message_orders("")),
                            self.read()))


def run(conn, options):
    result = negotiate.tn5250(conn)
    device = result.variable(b"DEVNAME")
    device = device.decode("latin-1") if device else DEFAULT_DEVICE
    try:
        Demo(conn, device).serve()
    except ClientClosed:
        return
