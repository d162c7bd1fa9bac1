#!/usr/bin/env python3
"""Logs on to the demo host through libtallis (Python standard library only).

Start the demo in corvina-cli with a session of HLLAPI short name A, then run
    python3 hllapi/logon_example.py [path/to/libtallis.so.1]
It connects to session A, fills in the user and password fields, presses
Enter, waits for the menu and prints the screen."""
import ctypes
import sys
import time

lib = ctypes.CDLL(sys.argv[1] if len(sys.argv) > 1 else "libtallis.so.1")


def hllapi(function, data=b"", length=None, position=0, size=4096):
    """One call: the return code, the length word and the data string."""
    buffer = ctypes.create_string_buffer(data, max(size, len(data) + 1))
    f = ctypes.c_uint16(function)
    l = ctypes.c_uint16(len(data) if length is None else length)
    r = ctypes.c_uint16(position)
    lib.hllapi(ctypes.byref(f), buffer, ctypes.byref(l), ctypes.byref(r))
    return r.value, l.value, buffer.raw


CONNECT, DISCONNECT, SEND_KEY, WAIT, COPY_PS, SEARCH_PS = 1, 2, 3, 4, 5, 6
FIND_FIELD_POS, COPY_STR_TO_FIELD, RESET_SYSTEM = 31, 33, 21

rc = hllapi(CONNECT, b"A")[0]
if rc != 0:
    sys.exit("Connect to session A failed with return code %d" % rc)
rc, label, _ = hllapi(SEARCH_PS, b"Userid")
if rc != 0:
    sys.exit("This is not the demo's logon screen (return code %d)" % rc)
_, field, _ = hllapi(FIND_FIELD_POS, b"NU", position=label)  # the next unprotected field
hllapi(COPY_STR_TO_FIELD, b"demo", position=field)
hllapi(SEND_KEY, b"@Tdemo@E")  # Tab to the password, type it, Enter
for _ in range(50):
    hllapi(WAIT)
    if hllapi(SEARCH_PS, b"Main Menu")[0] == 0:
        break
    time.sleep(0.1)
rc, _, screen = hllapi(COPY_PS)
text = screen[:1920].decode("latin-1")
print("\n".join(text[i:i + 80].rstrip() for i in range(0, 1920, 80)))
hllapi(DISCONNECT)
hllapi(RESET_SYSTEM)
