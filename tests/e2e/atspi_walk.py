"""Walks a running `tavrin --settings` through AT-SPI, as a screen reader does: finds each control
of the window by role and name, opens the options sheet by its button's action, finds the sheet's
controls, and closes the sheet with Cancel. Usage: atspi_walk.py SECONDS. Prints a line per
control; exit status 0 when every one was found, focusable."""
import sys
import time

import pyatspi

WINDOW = [(pyatspi.ROLE_PUSH_BUTTON, "Options…"), (pyatspi.ROLE_CHECK_BOX, "Start Tavrin after"),
          (pyatspi.ROLE_SPIN_BUTTON, "Minutes of inactivity")]
SHEET = [(pyatspi.ROLE_CHECK_BOX, title) for title in (
    "Fade Trails", "Neon Glow", "Collision Flash", "Color Drift", "Starfield Background", "Collision Sparks",
    "Cross-Monitor Sparks", "Ball Curve (Magnus Effect)")] + [
    (pyatspi.ROLE_SLIDER, "Trail Length"), (pyatspi.ROLE_SLIDER, "Glow Size"), (pyatspi.ROLE_SLIDER, "Star Count"),
    (pyatspi.ROLE_PUSH_BUTTON, "Cancel"), (pyatspi.ROLE_PUSH_BUTTON, "OK")]
SECONDS = float(sys.argv[1])


def descendants(node):
    for child in [node.getChildAtIndex(i) for i in range(node.childCount)]:
        if child is not None:
            yield child
            yield from descendants(child)


def wait_for(what, find):
    """What `find` returns once it is something, asking again as the bus answers; None in time."""
    deadline = time.monotonic() + SECONDS
    while time.monotonic() < deadline:
        try:
            found = find()
        except Exception:  # an object that went away while asked
            found = None
        if found is not None:
            return found
        time.sleep(0.1)
    print(f"missing: {what}")
    return None


def shown_window(app, role, name):
    return next((w for w in descendants(app) if w.getRole() == role and w.name == name and
                 w.getState().contains(pyatspi.STATE_SHOWING)), None)


def controls(top, expected):
    """The expected controls of `top` by (role, name), each reported; None when one is missing."""
    found = {(node.getRole(), node.name): node for node in descendants(top)}
    ok = True
    for role, name in expected:
        node = found.get((role, name))
        usable = node is not None and node.getState().contains(pyatspi.STATE_FOCUSABLE)
        print(f"{'found' if usable else 'missing'}: {str(role).removeprefix('ROLE_').lower()} '{name}'")
        ok = ok and usable
    return found if ok else None


def press(node):
    action = node.queryAction()
    return any(action.getName(i) == "Press" and action.doAction(i) for i in range(action.nActions))


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    app = wait_for("the application 'tavrin'", lambda: next((a for a in desktop if a and a.name == "tavrin"), None))
    window = app and wait_for("the frame", lambda: shown_window(app, pyatspi.ROLE_FRAME, "Tavrin Screen Saver"))
    found = window and controls(window, WINDOW)
    if not found or not press(found[(pyatspi.ROLE_PUSH_BUTTON, "Options…")]):
        return 1
    sheet = wait_for("the sheet", lambda: shown_window(app, pyatspi.ROLE_DIALOG, "Tavrin Screensaver Options"))
    found = sheet and controls(sheet, SHEET)
    if not found or not press(found[(pyatspi.ROLE_PUSH_BUTTON, "Cancel")]):
        return 1
    ended = wait_for("the sheet's end after Cancel", lambda: shown_window(
        app, pyatspi.ROLE_DIALOG, "Tavrin Screensaver Options") is None or None)
    print("found: the sheet ended after Cancel" if ended else "")
    return 0 if ended else 1


if __name__ == "__main__":
    sys.exit(main())
