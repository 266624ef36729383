#!/usr/bin/python3
"""The tests' keyboard on mutter: one remote-desktop session; each line read on standard input
presses and releases the space bar, answered with "ok". Prints "ready" first."""
import sys
import time

import dbus
bus = dbus.SessionBus()
rd = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop"),
                    "org.gnome.Mutter.RemoteDesktop")
path = rd.CreateSession()
session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", path),
                         "org.gnome.Mutter.RemoteDesktop.Session")
session.Start()
print("ready", flush=True)
for line in sys.stdin:
    session.NotifyKeyboardKeycode(dbus.UInt32(57), True)  # the space bar's evdev code
    time.sleep(0.05)
    session.NotifyKeyboardKeycode(dbus.UInt32(57), False)
    print("ok", flush=True)
