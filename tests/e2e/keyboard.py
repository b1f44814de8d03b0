# A virtual keyboard in GNOME Shell through mutter's RemoteDesktop API, on one D-Bus
# connection for its whole life (the session ends with the connection). Reads commands,
# one a line, from stdin and answers each on stdout:
#   keys K...           presses and releases: "+Control_L" presses, "-Control_L" releases
#   timed FILE K...     the same, then waits for FILE; answers the milliseconds from the
#                       last press to FILE (or "timeout" after 10 s)
import os
import sys
import time

import dbus

NAME = "org.gnome.Mutter.RemoteDesktop"


KEYSYMS = {"Control_L": 0xFFE3, "Alt_L": 0xFFE9, "Escape": 0xFF1B, "Return": 0xFF0D}


def keysym(name):
    # Other keys: one Latin-1 character, which is its own keysym.
    return dbus.UInt32(KEYSYMS[name] if name in KEYSYMS else ord(name))


bus = dbus.SessionBus()
path = bus.get_object(NAME, "/org/gnome/Mutter/RemoteDesktop").CreateSession(dbus_interface=NAME)
session = dbus.Interface(bus.get_object(NAME, path), NAME + ".Session")
session.Start()
print("ready", flush=True)


def send(keys):
    pressed = None
    for key in keys:
        session.NotifyKeyboardKeysym(keysym(key[1:]), key[0] == "+")
        if key[0] == "+":
            pressed = time.monotonic()
    return pressed


for line in sys.stdin:
    words = line.split()
    if not words:
        continue
    if words[0] == "keys":
        send(words[1:])
        print("done", flush=True)
    elif words[0] == "timed":
        target = words[1]
        start = send(words[2:])
        deadline = start + 10
        while not os.path.exists(target) and time.monotonic() < deadline:
            time.sleep(0.0005)
        if os.path.exists(target):
            print(f"{(time.monotonic() - start) * 1000:.1f}", flush=True)
        else:
            print("timeout", flush=True)
