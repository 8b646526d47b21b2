"""A client of org.freedesktop.ScreenSaver on the session bus that stays connected and reads one
command a line from stdin: `inhibit APP`, `uninhibit COOKIE`, `active`, `simulate`. Each answer is
one line on stdout: the result, or `error NAME` with the D-Bus error's name."""
import sys

import dbus

bus = dbus.SessionBus()
for line in sys.stdin:
    command, *args = line.split()
    try:
        service = dbus.Interface(bus.get_object("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver"),
                                 "org.freedesktop.ScreenSaver")
        if command == "inhibit":
            print(int(service.Inhibit(args[0], "a test")))
        elif command == "uninhibit":
            service.UnInhibit(dbus.UInt32(int(args[0])))
            print("ok")
        elif command == "active":
            print(bool(service.GetActive()))
        elif command == "simulate":
            service.SimulateUserActivity()
            print("ok")
    except dbus.DBusException as error:
        print("error", error.get_dbus_name())
    sys.stdout.flush()
