# The saver on a real X server (Xvfb): full screen it covers the display, real input stops it,
# pointer jitter does not, and it then ends by itself with status 0; in a window, closing the
# window ends it at once with status 0. Skipped without Xvfb.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
if ! command -v Xvfb >/dev/null || ! command -v xwininfo >/dev/null ||
    ! python3 -c 'import ctypes; ctypes.CDLL("libXtst.so.6"); ctypes.CDLL("libX11.so.6")' 2>/dev/null; then
    skip "needs Xvfb, xwininfo and libXtst"
fi
unset QT_QPA_PLATFORM

# A stopped saver retires five seconds after the stop.
MAX_SECONDS=12

# run_scenario NAME [--window] INPUT...: a saver on its own server; each INPUT is "wait SECONDS", "mark"
# (keeps the log so far in $WORK/NAME.mark) or an x11_input.py command (comma-separated arguments). Leaves the log in $WORK/NAME.err and the exit
# status in $WORK/NAME.status.
run_scenario() {
    local name="$1"
    shift
    local mode=()
    if [ "$1" = "--window" ]; then
        mode=(--window 320x200 --trace "$WORK/$name-%p.jsonl")
        shift
    fi
    # Scenarios run in background subshells, each on a server of its own.
    if ! start_xvfb "$name" 1024x768; then
        echo "could not start Xvfb" >"$WORK/$name.err"
        echo 99 >"$WORK/$name.status"
        return
    fi
    "$TAVRIN" --log-stderr "${mode[@]}" >"$WORK/$name.out" 2>"$WORK/$name.err" &
    local pid=$!
    sleep 2
    xwininfo -root -children >"$WORK/$name.windows" 2>&1
    for step in "$@"; do
        case "$step" in
            wait\ *) sleep "${step#wait }" ;;
            mark) cp "$WORK/$name.err" "$WORK/$name.mark" ;;
            close) python3 "$HERE/x11_input.py" close "$(xwininfo -name Tavrin | awk '/Window id:/ { print $4 }')"
                   date +%s.%N >"$WORK/$name.closed" ;;
            *) python3 "$HERE/x11_input.py" ${step//,/ } ;;
        esac
    done
    local waited=0
    while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt "$MAX_SECONDS" ]; do
        sleep 1
        waited=$((waited + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        echo "still running" >"$WORK/$name.status"
    else
        wait "$pid"
        echo $? >"$WORK/$name.status"
    fi
    date +%s.%N >"$WORK/$name.end"
    kill "$(cat "$WORK/$name.server-pid")" 2>/dev/null
}

run_scenario key "wait 0.5" "key" "wait 0.5" &
run_scenario pointer "move,100,100" "wait 0.3" "move,104,103" "wait 0.3" "move,98,96" "wait 0.5" \
    "mark" "move,400,300" "wait 0.5" &
run_scenario window --window "close" &
wait

check "the saver covers the display" grep -q '"tavrin").*1024x768+0+0' "$WORK/key.windows"
check "a key press stops the saver" grep -q "stopping the screen saver: key press" "$WORK/key.err"
check "after a key press the process ends with status 0 (got $(cat "$WORK/key.status"))" \
    test "$(cat "$WORK/key.status")" = 0

check "pointer jitter of a few pixels does not stop the saver" test -f "$WORK/pointer.mark"
check "no stop before the real movement" sh -c "! grep -q 'stopping the screen saver' '$WORK/pointer.mark'"
check "pointer movement stops the saver" grep -q "stopping the screen saver: mouse movement" "$WORK/pointer.err"
check "nothing but the movement stopped it" test "$(grep -c "stopping the screen saver" "$WORK/pointer.err")" -eq 1
check "after pointer movement the process ends with status 0 (got $(cat "$WORK/pointer.status"))" \
    test "$(cat "$WORK/pointer.status")" = 0
check "the window run shows a 320x200 window" grep -q '"Tavrin": .*320x200' "$WORK/window.windows"
check "closing the window ends the program with status 0 (got $(cat "$WORK/window.status"))" \
    test "$(cat "$WORK/window.status")" = 0
check "closing the window ends the program at once" python3 -c "import sys; sys.exit(0 if \
    $(cat "$WORK/window.end") - $(cat "$WORK/window.closed" 2>/dev/null || echo 0) < 3 else 1)"
check "the window run traces its view to a file named with its process id" python3 -c '
import glob, json, sys
files = glob.glob(sys.argv[1] + "/window-[0-9]*.jsonl")
lines = [json.loads(l) for l in open(files[0])] if len(files) == 1 else []
sys.exit(0 if len(lines) > 10 and lines[-1]["frameCounter"] > lines[0]["frameCounter"] else 1)' "$WORK"
if [ "$FAILURES" -gt 0 ]; then
    for name in key pointer window; do sed "s/^/    $name: /" "$WORK/$name.err" | tail -6; done
fi

finish
