# A virtual keyboard in GNOME Shell: a session of mutter's RemoteDesktop API, kept on one
# D-Bus connection for its whole life (the session ends with the connection). Reads one
# command a line and answers each:
#   keys K...        presses "+K" and releases "-K" keys (keysym names or one character)
#   timed FILE K...  the same, then the milliseconds from the last press until FILE exists
#                    ("timeout" after 10 s)
import os
import sys
import time

import dbus

NAME = "org.gnome.Mutter.RemoteDesktop"
KEYSYMS = {"Control_L": 0xFFE3, "Alt_L": 0xFFE9, "Escape": 0xFF1B, "Return": 0xFF0D}

bus = dbus.SessionBus()
path = bus.get_object(NAME, "/org/gnome/Mutter/RemoteDesktop").CreateSession(dbus_interface=NAME)
session = dbus.Interface(bus.get_object(NAME, path), NAME + ".Session")
session.Start()
print("ready", flush=True)

for line in sys.stdin:
    command, *words = line.split()
    target = words.pop(0) if command == "timed" else None
    for key in words:
        name = key[1:]
        session.NotifyKeyboardKeysym(dbus.UInt32(KEYSYMS.get(name) or ord(name)), key[0] == "+")
        if key[0] == "+":
            pressed = time.monotonic()
    while target and not os.path.exists(target) and time.monotonic() < pressed + 10:
        time.sleep(0.0005)
    if target is None:
        print("done", flush=True)
    else:
        found = os.path.exists(target)
        print(f"{(time.monotonic() - pressed) * 1000:.1f}" if found else "timeout", flush=True)
