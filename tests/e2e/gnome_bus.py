#!/usr/bin/python3
"""What the GNOME Shell tests ask of the shell's session bus (DBUS_SESSION_BUS_ADDRESS).

usage: gnome_bus.py overview-off
           leaves the overview GNOME Shell starts in
       gnome_bus.py input FIFO
           input through org.gnome.Mutter.RemoteDesktop: a line "key" in the FIFO presses and
           releases Shift, "move" moves the pointer; each is answered "done" on stdout. The virtual devices
           appear with their first event, which no client gets, so one of each is sent before
           "ready" is printed. The session lasts as long as this process.
       gnome_bus.py session-manager
           a stand-in of org.gnome.SessionManager's inhibitors, which Mutter follows through the
           InhibitedActions property: Inhibit(app_id, toplevel_xid, reason, flags) -> cookie and
           Uninhibit(cookie), as a video player calls them; GetInhibitors lists the inhibitors'
           objects, which answer GetAppId, GetReason, GetFlags, GetToplevelXid and GetClientId
       gnome_bus.py display-manager
           on the bus at DBUS_SYSTEM_BUS_ADDRESS: a stand-in of GDM's org.gnome.DisplayManager,
           which GNOME Shell asks for its Version before it makes its screen shield, and where it
           registers its session (RegisterSession)
       gnome_bus.py shot X Y WIDTH HEIGHT FILE.png
           a screenshot of that area by org.gnome.Shell.Screenshot, which answers only a caller
           that owns org.gnome.Screenshot
       gnome_bus.py shield on|off|lock
           raises the screen shield (org.gnome.ScreenSaver's SetActive), lowers it (which also
           unlocks), or locks; waits for the ActiveChanged that says so (10 s at most) and prints
           the wall-clock time it came, in ns
       gnome_bus.py first-frame TRACE-GLOB SECONDS
           waits for the first line of a scene trace, then prints Mutter's idle time in ms
       gnome_bus.py screen FILE.png
           a screenshot of every monitor, with the pointer drawn where it is shown
       gnome_bus.py virtual-monitor
           a monitor of 1280x720 at the right of the others, for as long as this process lives:
           headless Mutter makes one for a screen cast's RecordVirtual (org.gnome.Mutter.ScreenCast)
           once someone reads the cast, which GStreamer does here from PipeWire (the fixture's
           gnome_pipewire starts it); "added" is printed once Mutter streams. SIGTERM stops the
           cast, which takes the monitor away.
       gnome_bus.py key-window
           a GTK window that prints "focused" and "unfocused" as it gains and loses the keyboard,
           and "key" for each key pressed in it
"""
import glob
import os
import sys
import time

import dbus
import dbus.service

SHIFT = 42  # evdev KEY_LEFTSHIFT: ends the saver and types nothing


def overview_off(bus):
    shell = bus.get_object("org.gnome.Shell", "/org/gnome/Shell")
    shell.Set("org.gnome.Shell", "OverviewActive", False, dbus_interface=dbus.PROPERTIES_IFACE)


def run_input(bus, fifo):
    desktop = bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop")
    path = desktop.CreateSession(dbus_interface="org.gnome.Mutter.RemoteDesktop")
    session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", path),
                             "org.gnome.Mutter.RemoteDesktop.Session")
    session.Start()

    def key():
        session.NotifyKeyboardKeycode(dbus.UInt32(SHIFT), True)
        session.NotifyKeyboardKeycode(dbus.UInt32(SHIFT), False)

    key()
    session.NotifyPointerMotionRelative(0.0, 0.0)
    print("ready", flush=True)
    # Opened for writing as well, so that the commands of one writer after another never end it.
    for line in os.fdopen(os.open(fifo, os.O_RDWR)):
        if line.strip() == "key":
            key()
        elif line.strip() == "move":
            session.NotifyPointerMotionRelative(20.0, 10.0)
        print("done", flush=True)


class Inhibitor(dbus.service.Object):
    """One inhibitor's object, as gnome-session makes one for each."""
    INTERFACE = "org.gnome.SessionManager.Inhibitor"

    def __init__(self, bus, cookie, app_id, toplevel_xid, reason, flags):
        self.path = f"/org/gnome/SessionManager/Inhibitor{cookie}"
        super().__init__(bus, self.path)
        self.app_id, self.toplevel_xid, self.reason, self.flags = app_id, toplevel_xid, reason, int(flags)

    @dbus.service.method(INTERFACE, out_signature="s")
    def GetAppId(self):
        return self.app_id

    @dbus.service.method(INTERFACE, out_signature="s")
    def GetReason(self):
        return self.reason

    @dbus.service.method(INTERFACE, out_signature="u")
    def GetFlags(self):
        return dbus.UInt32(self.flags)

    @dbus.service.method(INTERFACE, out_signature="u")
    def GetToplevelXid(self):
        return dbus.UInt32(self.toplevel_xid)

    @dbus.service.method(INTERFACE, out_signature="o")
    def GetClientId(self):
        return dbus.ObjectPath("/org/gnome/SessionManager/Client1")


class SessionManager(dbus.service.Object):
    IDLE = 8  # the inhibitor flag Mutter's idle watches honour

    def __init__(self, bus):
        super().__init__(bus, "/org/gnome/SessionManager")
        self.bus, self.inhibitors, self.next_cookie = bus, {}, 1

    def _changed(self):
        self.PropertiesChanged("org.gnome.SessionManager",
                               {"InhibitedActions": dbus.UInt32(self._actions())}, [])

    def _actions(self):
        actions = 0
        for inhibitor in self.inhibitors.values():
            actions |= inhibitor.flags
        return actions

    @dbus.service.method("org.gnome.SessionManager", in_signature="susu", out_signature="u")
    def Inhibit(self, app_id, toplevel_xid, reason, flags):
        cookie, self.next_cookie = self.next_cookie, self.next_cookie + 1
        self.inhibitors[cookie] = Inhibitor(self.bus, cookie, app_id, toplevel_xid, reason, flags)
        self._changed()
        return cookie

    @dbus.service.method("org.gnome.SessionManager", in_signature="u")
    def Uninhibit(self, cookie):
        inhibitor = self.inhibitors.pop(int(cookie), None)
        if inhibitor:
            inhibitor.remove_from_connection()
        self._changed()

    @dbus.service.method("org.gnome.SessionManager", out_signature="ao")
    def GetInhibitors(self):
        return dbus.Array([dbus.ObjectPath(i.path) for i in self.inhibitors.values()], signature="o")

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"InhibitedActions": dbus.UInt32(self._actions())}

    @dbus.service.signal(dbus.PROPERTIES_IFACE, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


def serve(make, name, bus_kind):
    """Serves the object that make(bus) makes under the name until killed; "ready" once it is."""
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib
    DBusGMainLoop(set_as_default=True)
    bus = bus_kind()
    served = make(bus)
    taken = dbus.service.BusName(name, bus)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del served, taken


def run_session_manager():
    serve(SessionManager, "org.gnome.SessionManager", dbus.SessionBus)


class DisplayManager(dbus.service.Object):
    """What GNOME Shell 43 asks of GDM: the Version property (a screen shield only for a GDM of
    3.5.91 or later, on a machine with systemd's seats) and RegisterSession."""
    INTERFACE = "org.gnome.DisplayManager.Manager"

    def __init__(self, bus):
        super().__init__(bus, "/org/gnome/DisplayManager/Manager")
        self.registered = False

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"Version": dbus.String("43.0")}

    @dbus.service.method(INTERFACE, in_signature="a{sv}")
    def RegisterSession(self, details):
        if not self.registered:
            print("session registered", flush=True)
        self.registered = True


def run_display_manager():
    serve(DisplayManager, "org.gnome.DisplayManager", dbus.SystemBus)


def shot(bus, x, y, width, height, path):
    bus.request_name("org.gnome.Screenshot")
    screenshot = bus.get_object("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot")
    ok, _ = screenshot.ScreenshotArea(x, y, width, height, False, path,
                                      dbus_interface="org.gnome.Shell.Screenshot")
    sys.exit(0 if ok else 1)


def shield(how):
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib
    DBusGMainLoop(set_as_default=True)
    bus, loop, wanted = dbus.SessionBus(), GLib.MainLoop(), how != "off"

    came = []

    def changed(active):
        if bool(active) == wanted and not came:
            came.append(time.time_ns())
            loop.quit()

    bus.add_signal_receiver(changed, "ActiveChanged", "org.gnome.ScreenSaver", "org.gnome.ScreenSaver",
                            "/org/gnome/ScreenSaver")
    saver = dbus.Interface(bus.get_object("org.gnome.ScreenSaver", "/org/gnome/ScreenSaver"), "org.gnome.ScreenSaver")
    ignore = dict(reply_handler=lambda *_: None, error_handler=lambda e: print(e, file=sys.stderr))
    if how == "lock":
        saver.Lock(**ignore)
    else:
        saver.SetActive(wanted, **ignore)
    GLib.timeout_add(10000, loop.quit)
    loop.run()
    if not came:
        sys.exit(1)
    print(came[0])


def screen(bus, path):
    bus.request_name("org.gnome.Screenshot")
    screenshot = bus.get_object("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot")
    ok, _ = screenshot.Screenshot(True, False, path, dbus_interface="org.gnome.Shell.Screenshot")
    sys.exit(0 if ok else 1)


def run_virtual_monitor():
    import signal
    from dbus.mainloop.glib import DBusGMainLoop
    import gi
    gi.require_version("Gst", "1.0")
    from gi.repository import GLib, Gst
    DBusGMainLoop(set_as_default=True)
    Gst.init(None)
    bus = dbus.SessionBus()
    cast = bus.get_object("org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast")
    path = cast.CreateSession({}, dbus_interface="org.gnome.Mutter.ScreenCast")
    session = dbus.Interface(bus.get_object("org.gnome.Mutter.ScreenCast", path),
                             "org.gnome.Mutter.ScreenCast.Session")
    stream = bus.get_object("org.gnome.Mutter.ScreenCast",
                            session.RecordVirtual({"cursor-mode": dbus.UInt32(0)}))
    pipelines = []

    def streaming(node):
        # Mutter sizes and adds the monitor once the cast is read; 10 frames a second will do.
        pipeline = Gst.parse_launch(f"pipewiresrc path={node} ! video/x-raw,max-framerate=10/1 ! fakesink")
        pipeline.set_state(Gst.State.PLAYING)
        pipelines.append(pipeline)
        print("added", flush=True)

    stream.connect_to_signal("PipeWireStreamAdded", streaming, dbus_interface="org.gnome.Mutter.ScreenCast.Stream")
    session.Start()
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()
    for pipeline in pipelines:
        pipeline.set_state(Gst.State.NULL)
    session.Stop()


def run_key_window():
    import gi
    gi.require_version("Gtk", "4.0")
    from gi.repository import Gtk

    def activate(app):
        window = Gtk.ApplicationWindow(application=app, title="keys")
        keys = Gtk.EventControllerKey()
        keys.connect("key-pressed", lambda *_: print("key", flush=True))
        window.add_controller(keys)
        window.connect("notify::is-active",
                       lambda w, _: print("focused" if w.is_active() else "unfocused", flush=True))
        window.present()

    app = Gtk.Application(application_id="org.tavrin.KeyWindow")
    app.connect("activate", activate)
    app.run([])


def first_frame(bus, pattern, seconds):
    deadline = time.monotonic() + seconds
    while not any(os.path.getsize(f) > 0 for f in glob.glob(pattern)):
        if time.monotonic() > deadline:
            sys.exit(1)
        time.sleep(0.01)
    monitor = bus.get_object("org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core")
    print(monitor.GetIdletime(dbus_interface="org.gnome.Mutter.IdleMonitor"))


def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "session-manager":
        run_session_manager()
        return
    if command == "display-manager":
        run_display_manager()
        return
    if command == "shield":
        shield(args[0])
        return
    if command == "virtual-monitor":
        run_virtual_monitor()
        return
    if command == "key-window":
        run_key_window()
        return
    bus = dbus.SessionBus()
    if command == "overview-off":
        overview_off(bus)
    elif command == "input":
        run_input(bus, args[0])
    elif command == "shot":
        shot(bus, *[int(a) for a in args[:4]], os.path.abspath(args[4]))
    elif command == "screen":
        screen(bus, os.path.abspath(args[0]))
    elif command == "first-frame":
        first_frame(bus, args[0], float(args[1]))
    else:
        sys.exit(f"unknown command {command}")


if __name__ == "__main__":
    main()
