"""Counts, in scene traces (JSON lines), the frames in which a display holds more sparks than its
own bounces and collisions could have made: sparks that came from another display. Every turn
of a sprite's velocity counts as a wall bounce (10 sparks) and every fresh collision cooldown as
a collision (20 sparks), over the frames a spark can live; a collision that also turns the
velocity is counted twice over, so the estimate of a display's own sparks is never too low.
Prints "FILE DISPLAY FRAMES CROSSED" per display of each file."""
import json
import sys

LIFE = 27             # frames a spark can live, with room for rounding
WALL_SPARKS = 10
COLLISION_SPARKS = 20
UNKNOWN = 10 ** 6


def count(path):
    history, previous, crossed, frames = {}, {}, {}, {}
    for line in open(path):
        if not line.endswith("\n"):
            break  # a line cut short by the end of the process
        o = json.loads(line)
        d = o["display"]
        own = 0
        for k, obj in enumerate(o["objects"]):
            if (d, k) in previous:
                pv, pc = previous[(d, k)]
                v = obj["velocity"]
                own += WALL_SPARKS * ((pv[0] * v[0] < 0) + (pv[1] * v[1] < 0))
                own += COLLISION_SPARKS * (obj["collisionCooldown"] == 15 and pc != 15)
            else:
                own += UNKNOWN  # nothing to compare with: its sparks are anyone's guess
            previous[(d, k)] = (obj["velocity"], obj["collisionCooldown"])
        h = history.setdefault(d, [])
        h.append(own)
        frames[d] = frames.get(d, 0) + 1
        if o["activeParticleCount"] > sum(h[-LIFE:]):
            crossed[d] = crossed.get(d, 0) + 1
        else:
            crossed.setdefault(d, 0)
    return {d: (frames[d], crossed[d]) for d in frames}


if __name__ == "__main__":
    for path in sys.argv[1:]:
        for d, (n, c) in sorted(count(path).items()):
            print(path, d, n, c)
