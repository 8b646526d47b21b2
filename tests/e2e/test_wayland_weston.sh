# The full-screen saver on weston 10, which has no layer-shell: a fullscreen toplevel of its own.
# On the headless backend it draws on the output at its size, frame after frame. That backend
# has no seat, so a key is sent to weston running on an X server (Xvfb, its X11 backend) instead,
# where the saver shows its frames in weston's window and a key press ends it with status 0.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
for tool in weston setpriv Xvfb xdotool xwd; do
    command -v "$tool" >/dev/null || skip "needs $tool (packages weston, util-linux, xvfb, xdotool, x11-apps)"
done

new_sandbox weston
mkdir -m 700 "$SANDBOX/runtime"
run_unprivileged "$SANDBOX/runtime"
WESTON_PID="" TAVRIN_PID=""
at_exit 'kill -9 $TAVRIN_PID $WESTON_PID 2>/dev/null; wait $WESTON_PID 2>/dev/null; rm -rf "$SANDBOX"'

# start_weston NAME BACKEND-OPTION...: weston on a socket of that name, as nobody when root.
start_weston() {
    local name="$1"
    shift
    "${AS_USER[@]}" env -i PATH=/usr/bin:/bin HOME="$SANDBOX" XDG_RUNTIME_DIR="$SANDBOX/runtime" DISPLAY="${DISPLAY:-}" \
        weston --socket="$name" --width=1024 --height=640 "$@" >"$WORK/$name.log" 2>&1 &
    WESTON_PID=$!
    wait_until 10 test -S "$SANDBOX/runtime/$name"
}
# start_saver SOCKET: the saver on that weston; waits for its first frame.
start_saver() {
    "${AS_USER[@]}" env -i PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$SANDBOX/runtime" WAYLAND_DISPLAY="$1" \
        TAVRIN_RESOURCE_DIR="$SANDBOX/resources" "$SANDBOX/bin/tavrin" --log-stderr --seed 15 \
        >"$WORK/$1.out" 2>"$WORK/$1.err" &
    TAVRIN_PID=$!
    wait_for_line "$WORK/$1.err" 'first frame of' 1 10
}
stop_weston() {
    kill "$WESTON_PID"
    wait "$WESTON_PID" 2>/dev/null
    WESTON_PID=""
}

# --- Headless.
start_weston headless --backend=headless-backend.so || {
    fail "weston runs headless"
    finish
}
start_saver headless
check "it says it uses fullscreen toplevels of its own" \
    grep -q 'Wayland: fullscreen toplevels of our own on every output' "$WORK/headless.err"
check "it draws on the output at its size" grep -q "first frame of 1024x640 pixels for 1024x640 logical" \
    "$WORK/headless.err"
sleep 2
kill -TERM "$TAVRIN_PID"
wait_exit "$TAVRIN_PID" 2000
rate=$(grep -o 'frames committed in .* (\([0-9.]*\) per second)' "$WORK/headless.err" | grep -o '[0-9.]* per' | cut -d' ' -f1)
check "it keeps drawing (${rate:-no} frames a second), and SIGTERM ends it with status 0 (status $EXIT_STATUS)" \
    awk -v r="${rate:-0}" -v s="$EXIT_STATUS" 'BEGIN { exit !(r >= 10 && s == "0") }'
stop_weston

# --- On an X server, with a seat.
start_xvfb weston 1024x640 -ac || skip "Xvfb did not start"
start_weston x11 --backend=x11-backend.so --use-pixman || {
    fail "weston runs on Xvfb"
    finish
}
start_saver x11
# The scene is black but for its stars and sprites; weston's own background is blue. weston shows
# a frame in its window a little after the saver committed it.
scene_shown() {
    lit=$(xwd -root -silent | python3 "$HERE/xwd_lit.py" 0,0,1024,640)
    test "${lit:-0}" -gt 1000 -a "${lit:-655360}" -lt 65536
}
wait_until 5 scene_shown
check "it shows its frames in weston's window ($lit of 655360 pixels lit)" test $? -eq 0
xdotool key a
wait_exit "$TAVRIN_PID" 2000
check "a key press ends it with status 0 (status $EXIT_STATUS after $WAITED_MS ms)" test "$EXIT_STATUS" = 0
check "it stopped on the key" grep -q 'stopping the screen saver: key press' "$WORK/x11.err"
TAVRIN_PID=""

if [ "$FAILURES" -gt 0 ]; then
    for f in "$WORK"/*.err "$WORK"/*.log; do grep -v ' view=' "$f" | sed "s|^|    $(basename "$f"): |" | tail -6; done
fi
finish
