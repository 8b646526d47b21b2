"""Walks the settings window of a running `tavrin --settings` through AT-SPI, as a screen reader
does: finds each control by its role and name, opens the options sheet by pressing its button
through the action interface, finds the sheet's controls, and closes the sheet with Cancel.

Usage: atspi_walk.py SECONDS. Prints one line per control found or missing; exit status 0 when
every control was found. Runs on the session bus of the environment (DBUS_SESSION_BUS_ADDRESS),
where at-spi-bus-launcher serves the accessibility bus."""
import sys
import time

import pyatspi

WINDOW = [
    (pyatspi.ROLE_PUSH_BUTTON, "Options…"),
    (pyatspi.ROLE_CHECK_BOX, "Start Tavrin after"),
    (pyatspi.ROLE_SPIN_BUTTON, "Minutes of inactivity"),
]
SHEET = [(pyatspi.ROLE_CHECK_BOX, title) for title in (
    "Fade Trails", "Neon Glow", "Collision Flash", "Color Drift", "Starfield Background", "Collision Sparks",
    "Cross-Monitor Sparks", "Ball Curve (Magnus Effect)")] + [
    (pyatspi.ROLE_SLIDER, "Trail Length"),
    (pyatspi.ROLE_SLIDER, "Glow Size"),
    (pyatspi.ROLE_SLIDER, "Star Count"),
    (pyatspi.ROLE_PUSH_BUTTON, "Cancel"),
    (pyatspi.ROLE_PUSH_BUTTON, "OK"),
]


def descendants(node):
    """Every object under `node`, depth first; objects that vanish while walking are left out."""
    try:
        children = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:
        return
    for child in children:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def wait_for(what, find, seconds):
    """The first thing `find` returns within the time, asking again as the bus answers; or None."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = find()
        except Exception:
            found = None
        if found is not None:
            return found
        time.sleep(0.1)
    print(f"missing: {what}")
    return None


def top_level(app, role, name):
    for i in range(app.childCount):
        child = app.getChildAtIndex(i)
        if child is not None and child.getRole() == role and child.name == name and \
                child.getState().contains(pyatspi.STATE_SHOWING):
            return child
    return None


def check_controls(top, expected):
    found = {}
    for node in descendants(top):
        found.setdefault((node.getRole(), node.name), node)
    ok = True
    for role, name in expected:
        node = found.get((role, name))
        role_name = str(role).removeprefix("ROLE_").lower().replace("_", " ")
        if node is None:
            print(f"missing: {role_name} '{name}'")
            ok = False
        else:
            focusable = node.getState().contains(pyatspi.STATE_FOCUSABLE)
            print(f"found: {role_name} '{name}'{'' if focusable else ' (not focusable)'}")
            ok = ok and focusable
    return ok, found


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click"):
            return action.doAction(i)
    return False


def main():
    seconds = float(sys.argv[1])
    desktop = pyatspi.Registry.getDesktop(0)
    app = wait_for("the application 'tavrin' on the accessibility bus",
                   lambda: next((a for a in desktop if a is not None and a.name == "tavrin"), None), seconds)
    if app is None:
        return 1
    window = wait_for("the frame 'Tavrin Screen Saver'",
                      lambda: top_level(app, pyatspi.ROLE_FRAME, "Tavrin Screen Saver"), seconds)
    if window is None:
        return 1
    ok, found = check_controls(window, WINDOW)
    options = found.get((pyatspi.ROLE_PUSH_BUTTON, "Options…"))
    if options is None or not press(options):
        print("missing: an action that presses 'Options…'")
        return 1
    sheet = wait_for("the dialog 'Tavrin Screensaver Options'",
                     lambda: top_level(app, pyatspi.ROLE_DIALOG, "Tavrin Screensaver Options"), seconds)
    if sheet is None:
        return 1
    sheet_ok, found = check_controls(sheet, SHEET)
    cancel = found.get((pyatspi.ROLE_PUSH_BUTTON, "Cancel"))
    if cancel is None or not press(cancel):
        print("missing: an action that presses 'Cancel'")
        return 1
    gone = wait_for("the dialog's end after Cancel",
                    lambda: True if top_level(app, pyatspi.ROLE_DIALOG, "Tavrin Screensaver Options") is None
                    else None, seconds)
    if gone:
        print("found: the sheet ended after Cancel")
    return 0 if ok and sheet_ok and gone else 1


if __name__ == "__main__":
    sys.exit(main())
