#!/usr/bin/python3
"""A program that holds idle off as players do: on the session bus, Inhibit through
org.freedesktop.ScreenSaver at /ScreenSaver. Reads commands on its standard input, one a line:
"inhibit", "uninhibit"; answers each with "ok" once the call came back."""
import sys

import dbus

bus = dbus.SessionBus()
saver = dbus.Interface(bus.get_object("org.freedesktop.ScreenSaver", "/ScreenSaver"),
                       "org.freedesktop.ScreenSaver")
cookie = None
print("ready", flush=True)
for line in sys.stdin:
    if line.strip() == "inhibit":
        cookie = saver.Inhibit("inhibiting_app", "a film plays")
    elif line.strip() == "uninhibit":
        saver.UnInhibit(cookie)
    print("ok", flush=True)
