# Two displays side by side, run headless for a few thousand frames: sparks thrown at the shared
# edge appear in the other display's view, and no sprite ever leaves its display's bounds.
source "$(dirname "$0")/lib.sh"

cat >"$WORK/screens.json" <<'JSON'
{"screens":[
  {"name":"LEFT","x":0,"y":0,"width":640,"height":360,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1},
  {"name":"RIGHT","x":640,"y":0,"width":640,"height":360,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}
]}
JSON

run_status 0 "3000 frames on two displays" "$TAVRIN" --render "$WORK/frames" --frames 3000 --every 3000 \
    --screens "$WORK/screens.json" --seed 7 --trace "$WORK/trace.jsonl"

python3 - "$WORK/trace.jsonl" <<'PY'
import json, sys

W, H = 640.0, 360.0
LIFE = 27          # frames a spark can live, with room for rounding
MOST_PER_EVENT = 20
history = {0: [], 1: []}   # per display: (events this frame, live sparks)
previous = {}
crossed = {0: 0, 1: 0}
problems = []
for n, line in enumerate(open(sys.argv[1])):
    o = json.loads(line)
    d = o["display"]
    events = 0
    for k, obj in enumerate(o["objects"]):
        (x, y), (w, h) = obj["position"], obj["size"]
        if not (-1e-9 <= x <= max(W - w, 0) + 1e-9 and -1e-9 <= y <= max(H - h, 0) + 1e-9):
            problems.append(f"line {n + 1}: display {d} sprite {k} out of bounds at ({x}, {y})")
        if (d, k) in previous:
            pv, pc = previous[(d, k)]
            v = obj["velocity"]
            # Anything that could have thrown sparks here: a turned velocity (wall or collision)
            # or a fresh collision cooldown.
            events += (pv[0] * v[0] < 0) + (pv[1] * v[1] < 0) + (obj["collisionCooldown"] == 15 and pc != 15)
        previous[(d, k)] = (obj["velocity"], obj["collisionCooldown"])
    history[d].append((events, o["activeParticleCount"]))
    recent = history[d][-LIFE:]
    if o["activeParticleCount"] > MOST_PER_EVENT * sum(e for e, _ in recent):
        crossed[d] += 1
for p in problems[:5]:
    print("    " + p)
print(f"    frames with sparks from the other display: left {crossed[0]}, right {crossed[1]}")
ok = not problems and crossed[0] > 0 and crossed[1] > 0 and len(history[0]) == len(history[1]) == 3000
sys.exit(0 if ok else 1)
PY
check "sparks crossed both ways and every sprite stayed in bounds" test $? -eq 0

finish
