# The animated background of a lock screen (--background), as a locker such as swaylock-plugin
# runs it: the connection handed over in WAYLAND_SOCKET with WAYLAND_DISPLAY and DISPLAY unset.
# A fixture connects to headless sway and hands its end of the connection to the program; there
# is no locker here, only the connection a locker would give. Both outputs claim the position
# 0,0, as they do under that locker. Input never ends the background; the end of the connection
# ends it at once with status 0. With SWAYLOCK_PLUGIN_OUTPUT_NAME it draws on that output only.
. "$(dirname "$0")/lib.sh"

for tool in sway setpriv grim wtype python3; do
    command -v "$tool" >/dev/null || skip "needs $tool (packages sway, grim, wtype, util-linux, python3)"
done

start_sway "output HEADLESS-1 mode 1280x720 position 0 0
output HEADLESS-2 mode 1024x768 position 0 0"
check "sway runs headless with its socket ($WAYLAND_SOCKET_NAME)" test -n "$WAYLAND_SOCKET_NAME"
[ -n "$WAYLAND_SOCKET_NAME" ] || finish
hold_pointer

# handed NAME [VAR=VALUE...]: the fixture connects to sway and runs the program with the
# connection's descriptor in WAYLAND_SOCKET and neither WAYLAND_DISPLAY nor DISPLAY set.
TAVRIN_PID=""
at_exit '[ -n "$TAVRIN_PID" ] && kill -9 $TAVRIN_PID 2>/dev/null'
handed() {
    local name="$1"
    shift
    "${SWAY_ENV[@]}" "$@" python3 -c '
import os, socket, sys
s = socket.socket(socket.AF_UNIX)
s.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ.pop("WAYLAND_DISPLAY")))
os.set_inheritable(s.fileno(), True)
os.environ.pop("DISPLAY", None)
os.environ["WAYLAND_SOCKET"] = str(s.fileno())
os.execv(sys.argv[1], sys.argv[1:])' "$SANDBOX/bin/tavrin" --background --log-stderr --seed 3 \
        --trace "$SANDBOX/out/$name.jsonl" >"$WORK/$name.out" 2>"$WORK/$name.err" &
    TAVRIN_PID=$!
}

handed both
wait_for_line "$WORK/both.err" 'first frame of' 2 10
firsts=$(grep -o 'first frame of .* ms after its configure' "$WORK/both.err" | awk '{ print $(NF-4) }' | xargs)
check "a first buffer on both outputs, each within 1 s of its configure (ms: $firsts)" \
    test "$(echo "$firsts" | wc -w)" -eq 2 -a "$(echo "$firsts" | tr ' ' '\n' | sort -n | tail -1)" -le 1000
for output in HEADLESS-1:1280x720 HEADLESS-2:1024x768; do
    sway_run grim -o "${output%%:*}" "$SANDBOX/out/${output%%:*}.png"
    lit=$(png_pixels "$SANDBOX/out/${output%%:*}.png" | awk '{ print $3 }')
    check "${output%%:*} shows the background ($(png_size "$SANDBOX/out/${output%%:*}.png"), $lit lit pixels)" \
        test "$(png_size "$SANDBOX/out/${output%%:*}.png")" = "${output#*:}" -a "${lit:-0}" -gt 500
done
sway_run wtype -s 800 a
"${SWAY_ENV[@]}" "$SANDBOX/bin/pointer" 200 100 3 >/dev/null
"${SWAY_ENV[@]}" "$SANDBOX/bin/pointer" --click >/dev/null
sleep 0.7
check "a key press, a pointer movement and a click do not end it" kill -0 "$TAVRIN_PID"
neighbours=$(python3 -c '
import json, sys
n = 0
for line in open(sys.argv[1]):
    if line.endswith("\n"):
        n += sum(e["hasNeighbor"] for e in json.loads(line)["edgeNeighbors"])
print(n)' "$SANDBOX/out/both.jsonl")
check "outputs that overlap at 0,0 are nobody's neighbours ($neighbours edges with one)" test "$neighbours" = 0
check "it never stopped" bash -c "! grep -q 'stopping the screen saver' '$WORK/both.err'"
kill -TERM "$TAVRIN_PID"
wait_exit "$TAVRIN_PID" 2000
check "SIGTERM ends it with status 0 (status $EXIT_STATUS)" test "$EXIT_STATUS" = 0

# One process per output, named by the locker.
handed one SWAYLOCK_PLUGIN_OUTPUT_NAME=HEADLESS-2
wait_for_line "$WORK/one.err" 'first frame of' 1 10
sleep 0.5
check "SWAYLOCK_PLUGIN_OUTPUT_NAME gives one surface, on that output" \
    test "$(grep -c 'a layer surface' "$WORK/one.err")" = 1 -a "$(grep -c "HEADLESS-2.*a layer surface" "$WORK/one.err")" = 1

# The locker ends: its connection goes, and so does the background.
{ kill -9 "$SWAY_PID"; wait "$SWAY_PID"; } 2>/dev/null
SWAY_PID=""
wait_exit "$TAVRIN_PID" 3000
check "the end of the connection ends it within 1 s with status 0 (status $EXIT_STATUS after $WAITED_MS ms)" \
    test "$EXIT_STATUS" = 0 -a "$WAITED_MS" -le 1000
TAVRIN_PID=""

if [ "$FAILURES" -gt 0 ]; then
    for f in "$WORK"/*.err; do grep -v ' view=' "$f" | sed "s|^|    $(basename "$f"): |" | tail -8; done
    sed 's/^/    sway: /' "$WORK/sway.log" | tail -5
fi
finish
