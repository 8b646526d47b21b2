"""Reads a trace (--trace: one JSON object per view and frame) and tells which views received
sparks they could not have made themselves, that is sparks that crossed from a neighbouring
display. A view's own sparks come from a wall bounce or a collision, which show in the trace as a
velocity component that changed sign, a speed that changed (the wheel's curve only turns it; the
logo flies straight) or a fresh collision cooldown; a view holding more sparks than its own recent
events can explain got the rest from another display.

    trace_sparks.py wait TRACE OFFSET SECONDS DISPLAY|side:EDGES
        follows the trace from byte OFFSET, for at most SECONDS, until the view with that display
        number (or any view whose neighbours are on exactly EDGES, e.g. side:2) has received
        sparks. Exit status 1 on timeout.
    trace_sparks.py report TRACE OFFSET END
        prints one line per view seen between the two byte offsets: its display number, the
        frames in which it held crossed sparks, and the sides with a neighbour (0 left, 1 right,
        2 bottom, 3 top) as they were in each of its lines, e.g. "0 frames=12 sides=2".
"""
import json
import math
import sys
import time

LIFE = 27            # frames a spark can live, with room for rounding
MOST_PER_EVENT = 20  # sparks a collision throws; a wall bounce throws 10


class View:
    def __init__(self):
        self.history = []    # events per frame, the last LIFE frames
        self.previous = {}   # per sprite: velocity and cooldown in the previous line
        self.crossed = 0     # frames holding sparks from elsewhere
        self.sides = set()   # neighbour signatures seen
        self.lines = 0

    def add(self, o):
        events = 0
        for k, obj in enumerate(o["objects"]):
            if k in self.previous:
                pv, pc = self.previous[k]
                v = obj["velocity"]
                turned = (pv[0] * v[0] < 0) + (pv[1] * v[1] < 0)
                changed = abs(math.hypot(*v) - math.hypot(*pv)) > 1e-9 or (k == 0 and v != pv)
                events += turned + changed + (obj["collisionCooldown"] == 15 and pc != 15)
            self.previous[k] = (obj["velocity"], obj["collisionCooldown"])
        self.lines += 1
        self.history = (self.history + [events])[-LIFE:]
        # Sparks thrown before the first line read could be anyone's: judge only once every
        # spark alive was made within the lines read.
        if self.lines > LIFE and o["activeParticleCount"] > MOST_PER_EVENT * sum(self.history):
            self.crossed += 1
        self.sides.add(signature(o) or "-")


def signature(o):
    return "".join(str(e) for e, n in enumerate(o["edgeNeighbors"]) if n["hasNeighbor"])


def lines(path, offset, end=None, follow_until=None):
    """Whole lines from the byte offset on (a line cut by the offset is skipped)."""
    with open(path, "rb") as f:
        f.seek(offset)
        if offset > 0:
            f.seek(offset - 1)
            if f.read(1) != b"\n":
                f.readline()
        pending = b""
        while True:
            if end is not None and f.tell() >= end:
                return
            chunk = f.readline()
            if not chunk:
                if follow_until is None or time.monotonic() > follow_until:
                    return
                time.sleep(0.2)
                continue
            pending += chunk
            if not pending.endswith(b"\n"):
                continue
            line, pending = pending, b""
            try:
                yield json.loads(line)
            except ValueError:
                continue


def main():
    mode, path, offset = sys.argv[1], sys.argv[2], int(sys.argv[3])
    views = {}
    if mode == "wait":
        deadline = time.monotonic() + float(sys.argv[4])
        wanted = sys.argv[5]
        for o in lines(path, offset, follow_until=deadline):
            view = views.setdefault(o["display"], View())
            view.add(o)
            match = signature(o) == wanted[5:] if wanted.startswith("side:") else str(o["display"]) == wanted
            if match and view.crossed > 0:
                return 0
        return 1
    end = int(sys.argv[4])
    for o in lines(path, offset, end=end):
        views.setdefault(o["display"], View()).add(o)
    for display, view in sorted(views.items()):
        print(f"{display} frames={view.crossed} sides={','.join(sorted(view.sides))}")
    return 0


sys.exit(main())
