# Two hacks, one per monitor of an X server, with a real session bus in their environment that
# is frozen (SIGSTOP) before they start: both draw their first frame within a second, and sparks
# cross both ways through their sockets while the bus is frozen and after it is killed and
# started again at the same address. Then what a hostile process of the same user might send:
# the 100 MiB signal on the bus that once stopped a hack from ever receiving again, and a burst
# of oversized, malformed and descriptor-carrying datagrams straight at a hack's socket. A valid
# leak sent after them is still taken, and the hack's peak memory and descriptors stay put.
# Last, with the bus frozen again, SIGTERM ends each hack within a second.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
for tool in Xvfb xrandr dbus-daemon; do
    command -v "$tool" >/dev/null || skip "needs $tool (xvfb, x11-xserver-utils, dbus-daemon)"
done
python3 -c 'import ctypes; ctypes.CDLL("libX11.so.6")' 2>/dev/null || skip "needs libX11"
# Debian's python3-dbus belongs to the system's Python, which may not be first on PATH.
DBUS_PYTHON=""
for python in python3 /usr/bin/python3; do
    "$python" -c 'import dbus' 2>/dev/null && DBUS_PYTHON="$python" && break
done
[ -n "$DBUS_PYTHON" ] || skip "needs python3-dbus"
unset QT_QPA_PLATFORM

W=960
H=540
start_xvfb server "$((2 * W))x$H" -noreset  # monitors set by xrandr last only without resets
xrandr --setmonitor LEFT "$W/254x$H/143+0+0" screen >/dev/null 2>&1
xrandr --setmonitor RIGHT "$W/254x$H/143+$W+0" none >/dev/null 2>&1
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

BUS_PID=""
WINDOWS=()
HACKS=()
cleanup() {
    [ -n "$BUS_PID" ] && kill -CONT "$BUS_PID" 2>/dev/null && kill "$BUS_PID" 2>/dev/null
    for pid in "${HACKS[@]}" "${WINDOWS[@]}"; do kill -9 "$pid" 2>/dev/null; done
}
at_exit cleanup

# start_bus: a session bus at $WORK/bus, its pid in $BUS_PID.
start_bus() {
    dbus-daemon --session --fork --address="unix:path=$WORK/bus" --print-pid=3 3>"$WORK/bus.pid" </dev/null
    BUS_PID="$(cat "$WORK/bus.pid")"
}
start_bus
kill -STOP "$BUS_PID"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/bus"

# elapsed SINCE: seconds since the date +%s.%N value SINCE.
elapsed() { python3 -c "import sys; print(round($(date +%s.%N) - $1, 3))"; }
# within LIMIT VALUE: VALUE is at most LIMIT.
within() { python3 -c "import sys; sys.exit(0 if $2 <= $1 else 1)"; }

# One window per monitor, as a daemon makes them, and a hack in each. The windows live while
# their input stays open: a pipe this script holds and never writes to.
mkfifo "$WORK/windows.in"
exec 8<>"$WORK/windows.in"
for side in 0 1; do
    python3 "$HERE/x11_window.py" "$W" "$H" "$((side * W))" 0 <&8 >"$WORK/window$side" &
    WINDOWS+=($!)
    disown
done
for side in 0 1; do
    for _ in $(seq 50); do [ -s "$WORK/window$side" ] && break; sleep 0.1; done
done
for side in 0 1; do
    started=$(date +%s.%N)
    XSCREENSAVER_WINDOW="$(head -1 "$WORK/window$side")" "$TAVRIN" --root --seed 10 --log-stderr \
        --trace "$WORK/trace$side.jsonl" 2>"$WORK/hack$side.err" &
    HACKS+=($!)
    for _ in $(seq 250); do [ -s "$WORK/trace$side.jsonl" ] && break; sleep 0.02; done
    took=$(elapsed "$started")
    check "with the bus frozen, hack $side draws its first frame within 1 s (${took}s)" within 1 "$took"
done

# crossed: the frames of each hack, left then right, that show sparks from the other monitor.
crossed() {
    for side in 0 1; do
        python3 "$HERE/count_crossed.py" "$WORK/trace$side.jsonl" | awk '{ print $4 }' | head -1
    done | tr '\n' ' '
}
# crossing_grows SECONDS BEFORE SIDE...: waits until the count of each SIDE (0 left, 1 right)
# is above its value in BEFORE (an output of crossed).
crossing_grows() {
    local deadline=$((SECONDS + $1)) before=($2) side now grown
    shift 2
    while [ "$SECONDS" -lt "$deadline" ]; do
        now=($(crossed))
        grown=1
        for side in "$@"; do [ "${now[$side]:-0}" -gt "${before[$side]}" ] || grown=0; done
        [ "$grown" -eq 1 ] && return 0
        sleep 1
    done
    return 1
}

crossing_grows 30 "0 0" 0 1
grew=$?
check "sparks cross both ways while the bus is frozen (frames with them: $(crossed))" test $grew -eq 0
kill -9 "$BUS_PID"
rm -f "$WORK/bus"
start_bus
sleep 1  # sparks that crossed before the restart are gone from both displays
after_restart=$(crossed)

# What a hostile process of the user might send, at the right hack.
RIGHT=${HACKS[1]}
SOCKET=$(ls -d "$XDG_RUNTIME_DIR"/tavrin-sparks/x11-*/"$RIGHT" 2>/dev/null)
check "the right hack's socket is in its private folder ($SOCKET)" test -S "$SOCKET"
peak() { awk '/VmHWM/ { print $2 }' "/proc/$RIGHT/status"; }
descriptors() { ls "/proc/$RIGHT/fd" | wc -l; }
peak_before=$(peak)
descriptors_before=$(descriptors)
"$DBUS_PYTHON" -c "import dbus; b=dbus.SessionBus(); m=dbus.lowlevel.SignalMessage('/org/tavrin/ScreenSaver','org.tavrin.ScreenSaver.CrossMonitor','SparkLeak'); m.append('y'*(100<<20)); b.send_message(m); b.flush()"
check "a 100 MiB signal goes out on the bus" test $? -eq 0
echo "    $(python3 "$HERE/leak_datagrams.py" "$SOCKET" "x11:$DISPLAY.0" burst)"
sleep 0.5
peak_after=$(peak)
check "the right hack's peak memory grew by less than 16 MB (${peak_before} kB, then ${peak_after} kB)" \
    test $((peak_after - peak_before)) -lt 16384
check "no descriptor passed along stays with the hack ($descriptors_before, then $(descriptors))" \
    test "$(descriptors)" -eq "$descriptors_before"
# A leak of a whole spark pool: more sparks at once than the hack's own bounces ever make.
lines=$(wc -l <"$WORK/trace1.jsonl")
echo "    $(python3 "$HERE/leak_datagrams.py" "$SOCKET" "x11:$DISPLAY.0" leak "$W" 0 "$W" "$H" 500)"
sleep 1
most=$(tail -n +"$((lines + 1))" "$WORK/trace1.jsonl" | python3 -c '
import json, sys
print(max([json.loads(l)["activeParticleCount"] for l in sys.stdin if l.endswith("\n")] or [0]))')
check "a valid leak after all that is still taken ($most sparks at once)" test "$most" -ge 450
# The left hack's count since the restart: the leak above went to the right one.
crossing_grows 30 "$after_restart" 0
grew=$?
check "sparks go on crossing after the bus is killed and started again ($after_restart, then $(crossed))" \
    test $grew -eq 0

# SIGTERM with the bus frozen again.
kill -STOP "$BUS_PID"
for side in 0 1; do
    sent=$(date +%s.%N)
    kill -TERM "${HACKS[$side]}"
    wait "${HACKS[$side]}"
    status=$?
    took=$(elapsed "$sent")
    check "with the bus frozen, SIGTERM ends hack $side within 1 s (${took}s, status $status)" \
        bash -c "[ $status -eq 0 ] && python3 -c 'import sys; sys.exit(0 if $took <= 1 else 1)'"
    check "hack $side handled the stop itself" grep -q "stopping the screen saver: SIGTERM" "$WORK/hack$side.err"
done
HACKS=()
if [ "$FAILURES" -gt 0 ]; then
    for side in 0 1; do grep -v ' view=' "$WORK/hack$side.err" | sed "s/^/    hack $side: /" | tail -8; done
fi
finish
