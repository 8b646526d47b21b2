# What a hack never does to the session: it starts no bus when there is none (dbus-launch and a
# dbus-daemon would outlive it, one per activation), in its own modes whatever is installed; and
# SIGTERM ends it within a second even when its GUI thread is stuck, here on an X server that
# stopped answering.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
command -v Xvfb >/dev/null || skip "needs Xvfb"
python3 -c 'import ctypes; ctypes.CDLL("libX11.so.6")' 2>/dev/null || skip "needs libX11"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
start_xvfb server 1280x720 -noreset  # no reset between the two parts
mkdir -m 700 "$WORK/run" "$WORK/home"

PIDS=()
cleanup() {
    [ -f "$WORK/server.xvfb-pid" ] && kill -CONT "$(cat "$WORK/server.xvfb-pid")" 2>/dev/null
    for pid in "${PIDS[@]}"; do kill -9 "$pid" 2>/dev/null; done
    # Whatever carries this run's mark: a bus started on its behalf, if it came to that.
    for p in /proc/[0-9]*; do
        grep -qzx "TAVRIN_E2E_MARK=$WORK" "$p/environ" 2>/dev/null && kill -9 "${p#/proc/}" 2>/dev/null
    done
}
at_exit cleanup

# --- 1. No bus is started: a hack and a full-screen saver (--fps: an option of no consequence)
# with no bus in their environment. ---
# Every process started on their behalf inherits the mark.
if command -v dbus-launch >/dev/null; then
    for mode in --root --fps; do
        env HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/run" TAVRIN_E2E_MARK="$WORK" "$TAVRIN" "$mode" --log-stderr \
            2>"$WORK/nobus$mode.err" &
        PIDS+=($!)
    done
    sleep 3
    strays=""
    for p in /proc/[0-9]*; do
        pid=${p#/proc/}
        [[ " ${PIDS[*]} " == *" $pid "* ]] && continue
        grep -qzx "TAVRIN_E2E_MARK=$WORK" "$p/environ" 2>/dev/null && strays+=" $pid ($(cat "$p/comm"))"
    done
    check "the hack ran on" kill -0 "${PIDS[0]}"
    check "the full-screen saver ran on" kill -0 "${PIDS[1]}"
    check "no process was started on their behalf (dbus-launch installed:$strays)" test -z "$strays"
    for pid in "${PIDS[@]}"; do kill -9 "$pid"; done
    PIDS=()
else
    echo "note: without dbus-launch (package dbus-x11) nothing could start a bus; that part is left out"
fi

# --- 2. SIGTERM ends a hack whose GUI thread waits on a stopped X server. ---
XSERVER=$(cat "$WORK/server.xvfb-pid")
XDG_RUNTIME_DIR="$WORK/run" "$TAVRIN" --root --log-stderr 2>"$WORK/stuck.err" &
HACK=$!
PIDS+=($HACK)
sleep 1.5
kill -STOP "$XSERVER"
sleep 0.7  # the hack's next request to the server never gets its answer
sent=$(date +%s.%N)
kill -TERM "$HACK"
for _ in $(seq 300); do kill -0 "$HACK" 2>/dev/null || break; sleep 0.01; done
took=$(python3 -c "print(round($(date +%s.%N) - $sent, 3))")
ended=1
kill -0 "$HACK" 2>/dev/null && ended=0
kill -CONT "$XSERVER"
wait "$HACK"
status=$?
check "SIGTERM ends the stuck hack within 1 s (${took}s, status $status)" \
    bash -c "[ $ended -eq 1 ] && [ $status -eq 0 ] && python3 -c 'import sys; sys.exit(0 if $took <= 1 else 1)'"
check "... the GUI thread never got to handle it" bash -c "! grep -q 'stopping the screen saver' '$WORK/stuck.err'"
check "... and the watchdog says why it ended" grep -q "still running 800 ms after SIGTERM or SIGINT - exiting" \
    "$WORK/stuck.err"
[ "$FAILURES" -gt 0 ] && grep -hv ' view=' "$WORK"/*.err | sed 's/^/    /' | tail -10
finish
