#!/usr/bin/python3
"""Stand-ins for the services the idle watcher follows, driven by a test through a FIFO.

usage: system_bus.py system FIFO
           on the bus at DBUS_SYSTEM_BUS_ADDRESS (a private dbus-daemon): the parts of logind,
           UPower and power-profiles-daemon that Tavrin uses, under org.freedesktop.login1,
           org.freedesktop.UPower, org.freedesktop.UPower.PowerProfiles and
           net.hadess.PowerProfiles. The session is "c1" at /org/freedesktop/login1/session/c1:
           GetSession answers it for "c1", "auto" and "self", GetSessionByPID for any process.
           Inhibit hands out a real file descriptor (a pipe's end); an inhibitor lasts until
           every copy of it is closed, as logind's do, so systemd-inhibit works against it.
       system_bus.py screensaver FIFO
           on the session bus: org.freedesktop.ScreenSaver as KDE's screen locker serves it,
           at /ScreenSaver and /org/freedesktop/ScreenSaver: GetActive, SetActive, Lock,
           GetActiveTime, Inhibit, UnInhibit, and ActiveChanged at both paths.

It prints "ready" once its names are taken, then runs one command a line from the FIFO, and
answers each with "done COMMAND" on stdout, after whatever it prints for it.

Commands of "system":
  lock                 the session's Lock signal, then LockedHint true, as its locker would
  unlock               Unlock, then LockedHint false
  lock-signal          the Lock signal only (a locker that never sets LockedHint)
  locked-hint true|false
  sleep [PID]          PrepareForSleep(true), then, as logind, waits for the delay inhibitors of
                       sleep to go, 5 s at most; prints "slept: released after N ms" (or
                       "slept: none held", "slept: timed out after 5000 ms"), with ", process PID
                       gone" or ", process PID running" when a PID is given
  wake                 PrepareForSleep(false)
  inhibit-idle WHO WHY an idle inhibitor (block) of the stand-in itself
  release-idle         lets those go
  inhibitors           prints "inhibitor WHAT|WHO|WHY|MODE|PID" for each held, then "inhibitors N"
  battery on|off       UPower's OnBattery
  profile NAME         ActiveProfile under both names: power-saver, balanced, performance
  changes values|names how PropertiesChanged tells changes: with their values (as logind,
                       UPower), or by name only ("invalidated")
  nonsense             from now on until "sense": signals of the wrong shape and values of the
                       wrong type for everything followed, at once and in every answer
  sense
Commands of "screensaver":
  active true|false    the screen saver turns on or off (ActiveChanged at both paths)
  nonsense / sense     as above
"""
import os
import sys
import time

import dbus
import dbus.lowlevel
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

LOGIN = "org.freedesktop.login1"
MANAGER = "org.freedesktop.login1.Manager"
SESSION = "org.freedesktop.login1.Session"
SESSION_PATH = "/org/freedesktop/login1/session/c1"
UPOWER = "org.freedesktop.UPower"
PROFILES = ("org.freedesktop.UPower.PowerProfiles", "net.hadess.PowerProfiles")
SCREENSAVER = "org.freedesktop.ScreenSaver"
LONGEST_DELAY_MS = 5000  # logind's InhibitDelayMaxSec

state = {"nonsense": False, "names_only": False}


def say(line):
    print(line, flush=True)


def send_signal(bus, path, interface, member, signature, args):
    """A signal of any shape, also of a shape the interface does not have."""
    message = dbus.lowlevel.SignalMessage(path, interface, member)
    message.append(*args, signature=signature)
    bus.send_message(message)


class Properties(dbus.service.Object):
    """An object with properties, changed through set_property and told by PropertiesChanged."""

    def __init__(self, bus, path, interface, values):
        super().__init__(bus, path)
        self.bus, self.path, self.interface, self.values = bus, path, interface, values

    def set_property(self, name, value):
        self.values[name] = value
        if state["names_only"]:
            self.PropertiesChanged(self.interface, {}, [name])
        else:
            self.PropertiesChanged(self.interface, {name: value}, [])

    def nonsense(self):
        """Every property changed to a value of another type."""
        wrong = {name: dbus.String("nonsense") if not isinstance(value, dbus.String) else dbus.Int32(7)
                 for name, value in self.values.items()}
        self.PropertiesChanged(self.interface, wrong, [])

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if state["nonsense"]:
            return dbus.Struct((dbus.String("nonsense"),), signature="s")
        if interface != self.interface or name not in self.values:
            raise dbus.exceptions.DBusException(f"no property {name}",
                                                name="org.freedesktop.DBus.Error.UnknownProperty")
        return self.values[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.values if interface == self.interface else {}

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ssv")
    def Set(self, interface, name, value):
        self.set_property(name, value)

    @dbus.service.signal(dbus.PROPERTIES_IFACE, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


class Session(Properties):
    def __init__(self, bus):
        super().__init__(bus, SESSION_PATH, SESSION, {
            "Id": dbus.String("c1"), "Active": dbus.Boolean(True), "LockedHint": dbus.Boolean(False)})

    @dbus.service.method(SESSION)
    def Lock(self):
        self.LockSignal()

    @dbus.service.method(SESSION)
    def Unlock(self):
        self.UnlockSignal()

    @dbus.service.method(SESSION, in_signature="b")
    def SetLockedHint(self, locked):
        self.set_property("LockedHint", dbus.Boolean(locked))

    def LockSignal(self):
        send_signal(self.bus, SESSION_PATH, SESSION, "Lock", "", [])

    def UnlockSignal(self):
        send_signal(self.bus, SESSION_PATH, SESSION, "Unlock", "", [])


class Manager(Properties):
    def __init__(self, bus, session):
        super().__init__(bus, "/org/freedesktop/login1", MANAGER,
                         {"BlockInhibited": dbus.String(""), "DelayInhibited": dbus.String("")})
        self.session = session
        self.inhibitors = {}  # the read end of each inhibitor's pipe: (what, who, why, mode, uid, pid)
        self.sleeping = None  # (start time, PID or None) while PrepareForSleep(true) waits

    @dbus.service.method(MANAGER, in_signature="s", out_signature="o")
    def GetSession(self, session_id):
        if session_id not in ("c1", "auto", "self"):
            raise dbus.exceptions.DBusException(f"no session {session_id}", name="org.freedesktop.login1.NoSuchSession")
        return dbus.ObjectPath(SESSION_PATH)

    @dbus.service.method(MANAGER, in_signature="u", out_signature="o")
    def GetSessionByPID(self, pid):
        return dbus.ObjectPath(SESSION_PATH)

    @dbus.service.method(MANAGER, in_signature="s")
    def LockSession(self, session_id):
        self.session.LockSignal()

    @dbus.service.method(MANAGER, in_signature="s")
    def UnlockSession(self, session_id):
        self.session.UnlockSignal()

    @dbus.service.method(MANAGER, in_signature="ssss", out_signature="h", sender_keyword="sender")
    def Inhibit(self, what, who, why, mode, sender=None):
        pid = 0
        if sender:
            pid = int(self.bus.call_blocking("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                             "GetConnectionUnixProcessID", "s", (sender,)))
        return self.take(str(what), str(who), str(why), str(mode), pid)

    def take(self, what, who, why, mode, pid):
        """A new inhibitor: the caller gets the pipe's writing end; it ends when that is closed."""
        read_end, write_end = os.pipe()
        self.inhibitors[read_end] = (what, who, why, mode, os.getuid(), pid)
        GLib.io_add_watch(read_end, GLib.PRIORITY_DEFAULT, GLib.IO_HUP | GLib.IO_ERR, self.released)
        self.inhibited_changed()
        handed = dbus.types.UnixFd(write_end)  # holds a copy of its own
        os.close(write_end)
        return handed

    def released(self, read_end, _condition):
        self.inhibitors.pop(read_end, None)
        os.close(read_end)
        self.inhibited_changed()
        if self.sleeping and not self.delaying():
            self.slept(f"released after {int((time.monotonic() - self.sleeping[0]) * 1000)} ms")
        return False

    def delaying(self):
        return [r for r, i in self.inhibitors.items() if "sleep" in i[0].split(":") and i[3] == "delay"]

    def inhibited_changed(self):
        for mode, name in (("block", "BlockInhibited"), ("delay", "DelayInhibited")):
            whats = sorted({w for i in self.inhibitors.values() if i[3] == mode for w in i[0].split(":")})
            if ":".join(whats) != self.values[name]:
                self.set_property(name, dbus.String(":".join(whats)))

    @dbus.service.method(MANAGER, in_signature="", out_signature=None)
    def ListInhibitors(self):
        if state["nonsense"]:
            return dbus.String("nonsense")
        return dbus.Array([dbus.Struct((w, who, why, m, dbus.UInt32(u), dbus.UInt32(p)))
                           for w, who, why, m, u, p in self.inhibitors.values()], signature="(ssssuu)")

    @dbus.service.signal(MANAGER, signature="b")
    def PrepareForSleep(self, going):
        pass

    def sleep(self, pid):
        start = time.monotonic()
        self.sleeping = (start, pid)
        self.PrepareForSleep(True)
        if not self.delaying():
            self.slept("none held")
            return

        def give_up():
            if self.sleeping and self.sleeping[0] == start:
                self.slept(f"timed out after {LONGEST_DELAY_MS} ms")
            return False

        GLib.timeout_add(LONGEST_DELAY_MS, give_up)

    def slept(self, how):
        pid = self.sleeping[1]
        if pid:
            how += f", process {pid} " + ("running" if running(pid) else "gone")
        say(f"slept: {how}")
        self.sleeping = None


def running(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def run_system(bus, fifo):
    session = Session(bus)
    manager = Manager(bus, session)
    upower = Properties(bus, "/org/freedesktop/UPower", UPOWER,
                        {"OnBattery": dbus.Boolean(False), "DaemonVersion": dbus.String("1.90.0")})
    profiles = [Properties(bus, "/" + name.replace(".", "/"), name, {"ActiveProfile": dbus.String("balanced")})
                for name in PROFILES]
    names = [dbus.service.BusName(name, bus) for name in (LOGIN, UPOWER) + PROFILES]
    own = []  # the stand-in's own idle inhibitors: their writing ends

    def command(words):
        if words[0] == "lock":
            session.LockSignal()
            session.set_property("LockedHint", dbus.Boolean(True))
        elif words[0] == "unlock":
            session.UnlockSignal()
            session.set_property("LockedHint", dbus.Boolean(False))
        elif words[0] == "lock-signal":
            session.LockSignal()
        elif words[0] == "locked-hint":
            session.set_property("LockedHint", dbus.Boolean(words[1] == "true"))
        elif words[0] == "sleep":
            manager.sleep(int(words[1]) if len(words) > 1 else None)
        elif words[0] == "wake":
            manager.PrepareForSleep(False)
        elif words[0] == "inhibit-idle":
            handed = manager.take("idle", words[1], " ".join(words[2:]), "block", os.getpid())
            own.append(handed.take())
        elif words[0] == "release-idle":
            while own:
                os.close(own.pop())
        elif words[0] == "inhibitors":
            for what, who, why, mode, _uid, pid in manager.inhibitors.values():
                say(f"inhibitor {what}|{who}|{why}|{mode}|{pid}")
            say(f"inhibitors {len(manager.inhibitors)}")
        elif words[0] == "battery":
            upower.set_property("OnBattery", dbus.Boolean(words[1] == "on"))
        elif words[0] == "profile":
            for p in profiles:
                p.set_property("ActiveProfile", dbus.String(words[1]))
        elif words[0] == "changes":
            state["names_only"] = words[1] == "names"
        elif words[0] == "nonsense":
            for thing in [manager, session, upower] + profiles:
                thing.nonsense()
            send_signal(bus, "/org/freedesktop/login1", MANAGER, "PrepareForSleep", "s", ["nonsense"])
            send_signal(bus, SESSION_PATH, dbus.PROPERTIES_IFACE, "PropertiesChanged", "s", ["nonsense"])
        else:
            return False
        return True

    serve(fifo, command)
    del names


class ScreenSaver(dbus.service.Object):
    """The service at one of its two paths; both share one state."""

    def __init__(self, bus, path, shared):
        super().__init__(bus, path)
        self.bus, self.shared = bus, shared

    def set_active(self, active):
        if active == self.shared["active"]:
            return
        self.shared.update(active=active, since=time.monotonic())
        for path in ("/ScreenSaver", "/org/freedesktop/ScreenSaver"):
            send_signal(self.bus, path, SCREENSAVER, "ActiveChanged", "b", [active])

    @dbus.service.method(SCREENSAVER, in_signature="", out_signature=None)
    def GetActive(self):
        return dbus.String("nonsense") if state["nonsense"] else dbus.Boolean(self.shared["active"])

    @dbus.service.method(SCREENSAVER, in_signature="b", out_signature="b")
    def SetActive(self, active):
        self.set_active(bool(active))
        return True

    @dbus.service.method(SCREENSAVER)
    def Lock(self):
        self.set_active(True)

    @dbus.service.method(SCREENSAVER, out_signature="u")
    def GetActiveTime(self):
        return int(time.monotonic() - self.shared["since"]) if self.shared["active"] else 0

    @dbus.service.method(SCREENSAVER, in_signature="ss", out_signature="u")
    def Inhibit(self, application, reason):
        cookies = self.shared["cookies"]
        cookies.append((application, reason))
        return len(cookies)

    @dbus.service.method(SCREENSAVER, in_signature="u")
    def UnInhibit(self, cookie):
        pass


def run_screensaver(bus, fifo):
    shared = {"active": False, "since": 0, "cookies": []}
    saver, _other = ScreenSaver(bus, "/org/freedesktop/ScreenSaver", shared), ScreenSaver(bus, "/ScreenSaver", shared)
    name = dbus.service.BusName(SCREENSAVER, bus)

    def command(words):
        if words[0] == "active":
            saver.set_active(words[1] == "true")
        elif words[0] == "nonsense":
            send_signal(bus, "/ScreenSaver", SCREENSAVER, "ActiveChanged", "s", ["nonsense"])
        else:
            return False
        return True

    serve(fifo, command)
    del name


def serve(fifo, command):
    """Runs the commands of the FIFO's lines in the main loop until it is killed: "nonsense" and
    "sense" here, the others by `command`, which says whether it knew them."""
    # Opened for writing as well, so that the commands of one writer after another never end it.
    fd = os.open(fifo, os.O_RDWR)
    pending = [b""]

    def readable(_source, _condition):
        pending[0] += os.read(fd, 4096)
        *lines, pending[0] = pending[0].split(b"\n")
        for line in (l.decode().strip() for l in lines):
            if line:
                words = line.split()
                if words[0] in ("nonsense", "sense"):
                    state["nonsense"] = words[0] == "nonsense"
                if not command(words) and words[0] not in ("nonsense", "sense"):
                    say(f"unknown command {words[0]}")
                say(f"done {line}")
        return True

    GLib.io_add_watch(fd, GLib.PRIORITY_DEFAULT, GLib.IO_IN, readable)
    say("ready")
    GLib.MainLoop().run()


def main():
    DBusGMainLoop(set_as_default=True)
    which, fifo = sys.argv[1], sys.argv[2]
    if which == "system":
        run_system(dbus.SystemBus(), fifo)
    elif which == "screensaver":
        run_screensaver(dbus.SessionBus(), fifo)
    else:
        sys.exit(f"unknown stand-in {which}")


if __name__ == "__main__":
    main()
