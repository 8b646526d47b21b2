# The program on a real Wayland compositor: sway, headless, with two outputs side by side. It
# covers both outputs with one view each at the output's size, sparks cross between the two
# views, and SIGTERM ends it with status 0 through the retirement of the idle process.
# The run has a seed whose sprites meet the shared edge, both ways, within 200 frames.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
SOURCE="${TAVRIN_SOURCE_DIR:-$(cd "$HERE/../.." && pwd)}"
for tool in sway setpriv; do
    if ! command -v "$tool" >/dev/null; then
        skip "needs $tool (packages sway, util-linux)"
    fi
done
if [ ! -e /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so ] &&
    ! ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1; then
    skip "needs Qt's Wayland platform (package qt6-wayland)"
fi

# Sway refuses to run as root: as root, sway and the program run as nobody, from a folder
# nobody can read.
SANDBOX="$(mktemp -d /tmp/tavrin-sway.XXXXXX)"
chmod 755 "$SANDBOX"
mkdir -p "$SANDBOX/bin" "$SANDBOX/resources" "$SANDBOX/out" "$SANDBOX/runtime"
cp "$TAVRIN" "$SANDBOX/bin/tavrin"
cp -r "$SOURCE/resources/." "$SANDBOX/resources/"
cat >"$SANDBOX/config" <<'CONF'
output HEADLESS-1 mode 1280x720 position 0 0
output HEADLESS-2 mode 1280x720 position 1280 0
xwayland disable
default_border none
CONF
chmod -R a+rX "$SANDBOX"
chmod 700 "$SANDBOX/runtime"
run_unprivileged "$SANDBOX/out" "$SANDBOX/runtime"

SWAY_PID=""
TAVRIN_PID=""
cleanup() {
    [ -n "$TAVRIN_PID" ] && kill -9 "$TAVRIN_PID" 2>/dev/null
    [ -n "$SWAY_PID" ] && kill "$SWAY_PID" 2>/dev/null
    rm -rf "$SANDBOX"
}
at_exit cleanup

env -i PATH=/usr/bin:/bin HOME="$SANDBOX/out" XDG_RUNTIME_DIR="$SANDBOX/runtime" WLR_BACKENDS=headless \
    WLR_HEADLESS_OUTPUTS=2 WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    "${AS_USER[@]}" sway -c "$SANDBOX/config" >"$WORK/sway.log" 2>&1 &
SWAY_PID=$!
socket=""
for _ in $(seq 100); do
    socket=$(cd "$SANDBOX/runtime" && ls wayland-* 2>/dev/null | grep -v lock | head -1)
    [ -n "$socket" ] && break
    sleep 0.1
done
check "sway runs headless with its socket ($socket)" test -n "$socket"
if [ -z "$socket" ]; then
    sed 's/^/    sway: /' "$WORK/sway.log" | tail -10
    finish
fi

TRACE="$SANDBOX/out/tavrin-%p.jsonl"
env -i PATH=/usr/bin:/bin HOME="$SANDBOX/out" XDG_RUNTIME_DIR="$SANDBOX/runtime" WAYLAND_DISPLAY="$socket" \
    QT_QPA_PLATFORM=wayland TAVRIN_RESOURCE_DIR="$SANDBOX/resources" \
    "${AS_USER[@]}" "$SANDBOX/bin/tavrin" --log-stderr --seed 15 --trace "$TRACE" >"$WORK/out" 2>"$WORK/err" &
TAVRIN_PID=$!
trace="$SANDBOX/out/tavrin-$TAVRIN_PID.jsonl"

# Poll the trace until sparks have crossed both ways, for at most 25 s.
deadline=$((SECONDS + 25))
counts=""
while [ "$SECONDS" -lt "$deadline" ] && kill -0 "$TAVRIN_PID" 2>/dev/null; do
    counts=$(python3 "$HERE/count_crossed.py" "$trace" 2>/dev/null | awk '{ print $2 ":" $4 }' | tr '\n' ' ')
    [ "$(echo "$counts" | tr ' ' '\n' | grep -c ':[1-9]')" -eq 2 ] && break
    sleep 1
done
echo "    frames with sparks from the other output (display:frames): $counts"
check "sparks cross between the two outputs, both ways" test "$(echo "$counts" | tr ' ' '\n' | grep -c ':[1-9]')" -eq 2

check "the program writes a trace of two displays" \
    test "$(python3 "$HERE/count_crossed.py" "$trace" 2>/dev/null | wc -l)" -eq 2
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
status=""
for _ in $(seq 100); do
    kill -0 "$TAVRIN_PID" 2>/dev/null || break
    sleep 0.1
done
wait "$TAVRIN_PID"
status=$?
TAVRIN_PID=""
check "SIGTERM ends it with status 0 (status $status)" test "$status" -eq 0
check "it ended through the retirement of the idle process" grep -q 'retiring host process' "$WORK/err"
if [ "$FAILURES" -gt 0 ]; then
    grep -v ' view=' "$WORK/err" | sed 's/^/    tavrin: /' | tail -10
    sed 's/^/    sway: /' "$WORK/sway.log" | tail -10
fi
finish
