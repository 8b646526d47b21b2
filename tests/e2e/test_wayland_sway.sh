# The program on a real Wayland compositor through Qt's full-screen windows (--no-own-wayland, the
# fallback where our own surfaces cannot be made): sway, headless, with two outputs side by side. It
# covers both outputs with one view each at the output's size, sparks cross between the two
# views, and SIGTERM ends it with status 0 through the retirement of the idle process.
# The run has a seed whose sprites meet the shared edge, both ways, within 200 frames.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
for tool in sway setpriv; do
    if ! command -v "$tool" >/dev/null; then
        skip "needs $tool (packages sway, util-linux)"
    fi
done
if ! ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1; then
    skip "needs Qt's Wayland platform (package qt6-wayland)"
fi

start_sway "output HEADLESS-1 mode 1280x720 position 0 0
output HEADLESS-2 mode 1280x720 position 1280 0"
check "sway runs headless with its socket ($WAYLAND_SOCKET_NAME)" test -n "$WAYLAND_SOCKET_NAME"
[ -n "$WAYLAND_SOCKET_NAME" ] || finish

TRACE="$SANDBOX/out/tavrin-%p.jsonl"
"${SWAY_ENV[@]}" QT_QPA_PLATFORM=wayland "$SANDBOX/bin/tavrin" --no-own-wayland --log-stderr --seed 15 --trace "$TRACE" \
    >"$WORK/out" 2>"$WORK/err" &
TAVRIN_PID=$!
at_exit 'kill -9 $TAVRIN_PID 2>/dev/null'
trace="$SANDBOX/out/tavrin-$TAVRIN_PID.jsonl"

wait_for_crossings "$trace" 25
check "sparks cross between the two outputs, both ways (display:frames $CROSSINGS)" test $? -eq 0

check "the program writes a trace of two displays" \
    test "$(python3 "$HERE/count_crossed.py" "$trace" 2>/dev/null | wc -l)" -eq 2
check "it says it uses Qt's windows" grep -q 'full-screen windows through Qt (--no-own-wayland)' "$WORK/err"
# Each view's size in its latest state line (a compositor may show a window before it makes it
# full screen).
views=$(grep -o 'view=0x[0-9a-f]* frame=[0-9]* .* bounds=[0-9x]*' "$WORK/err" |
    sed 's/view=\(0x[0-9a-f]*\) .*bounds=\([0-9x]*\)/\1 \2/' | awk '{ size[$1] = $2 } END { for (v in size) print v, size[v] }')
check "one view on each output at the output's size ($(echo "$views" | awk '{ print $2 }' | sort | uniq -c | xargs))" \
    test "$(echo "$views" | awk '$2 == "1280x720"' | wc -l)" -eq 2 -a "$(echo "$views" | wc -l)" -eq 2
check "no output is left uncovered" bash -c "! grep -q 'not covered' '$WORK/err'"
python3 - "$trace" <<'PY'
import json, sys
frames = {}
for line in open(sys.argv[1]):
    o = json.loads(line)
    frames.setdefault(o["display"], [e["neighborScreenFrame"] for e in o["edgeNeighbors"] if e["hasNeighbor"]])
ok = frames.get(0) == [[1280, 0, 1280, 720]] and frames.get(1) == [[0, 0, 1280, 720]]
print(f"    neighbours: {frames}")
sys.exit(0 if ok else 1)
PY
check "each view finds the other output beside it" test $? -eq 0

kill -TERM "$TAVRIN_PID"
wait_exit "$TAVRIN_PID" 10000
check "SIGTERM ends it with status 0 (status $EXIT_STATUS)" test "$EXIT_STATUS" = 0
check "SIGTERM ends it within a second (${WAITED_MS} ms)" test "$WAITED_MS" -le 1000
if [ "$FAILURES" -gt 0 ]; then
    grep -v ' view=' "$WORK/err" | sed 's/^/    tavrin: /' | tail -10
    sed 's/^/    sway: /' "$WORK/sway.log" | tail -10
fi
finish
