#!/usr/bin/python3
"""A stand-in login manager on the bus DBUS_SYSTEM_BUS_ADDRESS names: it says which session a
process is in (printing "session asked by PID"), and on SIGUSR1 locks that session, on SIGUSR2 announces sleep, on SIGHUP locks
another session. Prints "ready" once it owns its name."""
import os
import signal

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

MANAGER, SESSION = "org.freedesktop.login1.Manager", "org.freedesktop.login1.Session"
OURS, OTHER = "/org/freedesktop/login1/session/_31", "/org/freedesktop/login1/session/_32"


class Manager(dbus.service.Object):
    @dbus.service.method(MANAGER, in_signature="u", out_signature="o")
    def GetSessionByPID(self, pid):
        print("session asked by", pid, flush=True)
        return OURS

    @dbus.service.method(MANAGER, in_signature="s", out_signature="o")
    def GetSession(self, session_id):
        return OURS

    @dbus.service.signal(MANAGER, signature="b")
    def PrepareForSleep(self, start):
        pass


class Session(dbus.service.Object):
    @dbus.service.signal(SESSION, signature="")
    def Lock(self):
        pass


DBusGMainLoop(set_as_default=True)
bus = dbus.bus.BusConnection(os.environ["DBUS_SYSTEM_BUS_ADDRESS"])
name = dbus.service.BusName("org.freedesktop.login1", bus)
manager, ours, other = Manager(bus, "/org/freedesktop/login1"), Session(bus, OURS), Session(bus, OTHER)
for number, act in ((signal.SIGUSR1, ours.Lock), (signal.SIGUSR2, lambda: manager.PrepareForSleep(True)),
                    (signal.SIGHUP, other.Lock)):
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, number, lambda act=act: act() or True)
print("ready", flush=True)
GLib.MainLoop().run()
