# Two hacks, one per monitor, with a real session bus in their environment that is frozen
# (SIGSTOP) before they start: both draw a first frame within a second, and sparks cross both
# ways through their sockets while the bus is frozen, and on after it is killed and started
# again. What a hostile process of the user might send follows: the 100 MiB bus signal that once
# stopped a hack from ever receiving again, and a burst of oversized, malformed and
# descriptor-carrying datagrams at a hack's socket; a valid leak after them is still taken, and
# the hack's peak memory and descriptors stay put. Last, SIGTERM ends one hack within a second
# with the bus frozen, and the other within a second while the X server it waits on is stopped.
. "$(dirname "$0")/lib.sh"

# Peak memory must judge the attack, not the sanitizer: AddressSanitizer keeps freed memory in a
# quarantine of up to 256 MB, so a sanitized hack's peak grows with every frame it draws. A small
# quarantine (4 MB, full within seconds of the start) keeps use-after-free checks and a steady peak;
# a build without the sanitizer ignores the variable.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=4"

HERE="$(cd "$(dirname "$0")" && pwd)"
for tool in Xvfb xrandr dbus-daemon; do command -v "$tool" >/dev/null || skip "needs $tool"; done
python3 -c 'import ctypes; ctypes.CDLL("libX11.so.6")' 2>/dev/null || skip "needs libX11"
# Debian's python3-dbus belongs to the system's Python, which may not be first on PATH.
for python in python3 /usr/bin/python3 ""; do "$python" -c 'import dbus' 2>/dev/null && break; done
[ -n "$python" ] || skip "needs python3-dbus"
unset QT_QPA_PLATFORM

W=960 H=540
start_xvfb server "$((2 * W))x$H" -noreset  # the monitors xrandr sets last only without resets
xrandr --setmonitor LEFT "$W/254x$H/143+0+0" screen >/dev/null
xrandr --setmonitor RIGHT "$W/254x$H/143+$W+0" none >/dev/null
export XDG_RUNTIME_DIR="$WORK/run" DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/bus"
mkdir -m 700 "$XDG_RUNTIME_DIR"
PIDS=()
at_exit 'kill -CONT $BUS_PID "$(cat "$WORK/server.xvfb-pid")"; kill -9 $BUS_PID "${PIDS[@]}" 2>/dev/null'
start_bus() {
    dbus-daemon --session --fork --address="$DBUS_SESSION_BUS_ADDRESS" --print-pid=3 3>"$WORK/bus.pid" </dev/null
    BUS_PID="$(cat "$WORK/bus.pid")"
}
start_bus
kill -STOP "$BUS_PID"
# seconds SINCE: the seconds since the `date +%s.%N` value SINCE. within_1s SECONDS [STATUS]: true
# when SECONDS is at most 1 (and STATUS, if given, is 0).
seconds() { awk "BEGIN { printf \"%.3f\", $(date +%s.%N) - $1 }"; }
within_1s() { awk "BEGIN { exit !($1 <= 1 && ${2:-0} == 0) }"; }

# A window per monitor, as a daemon makes them, living while their input (a pipe held by this
# script) stays open, and a hack in each.
mkfifo "$WORK/windows.in"
exec 8<>"$WORK/windows.in"
for side in 0 1; do
    python3 "$HERE/x11_window.py" "$W" "$H" "$((side * W))" 0 <&8 >"$WORK/window$side" &
    PIDS+=($!)
    disown
    for _ in $(seq 50); do [ -s "$WORK/window$side" ] && break; sleep 0.1; done
done
for side in 0 1; do
    started=$(date +%s.%N)
    XSCREENSAVER_WINDOW="$(head -1 "$WORK/window$side")" "$TAVRIN" --root --seed 10 --log-stderr \
        --trace "$WORK/trace$side.jsonl" 2>"$WORK/hack$side.err" &
    PIDS+=($!)
    HACK[$side]=$!
    for _ in $(seq 250); do [ -s "$WORK/trace$side.jsonl" ] && break; sleep 0.02; done
    took=$(seconds "$started")
    check "with the bus frozen, hack $side draws a first frame within 1 s (${took}s)" within_1s "$took"
done

# crossed: the frames of each hack, left then right, that show sparks from the other monitor.
crossed() {
    for side in 0 1; do python3 "$HERE/count_crossed.py" "$WORK/trace$side.jsonl" | awk '{ print $4 }'; done | xargs
}
# crossing_grows BEFORE SIDE...: true once the count of each SIDE (0 left, 1 right) is above its
# value in BEFORE (an output of crossed), waiting at most 40 s (fewer frames on a loaded machine).
crossing_grows() {
    local before=($1) side now grown deadline=$((SECONDS + 40))
    shift
    while [ "$SECONDS" -lt "$deadline" ]; do
        now=($(crossed)) grown=1
        for side in "$@"; do [ "${now[$side]:-0}" -gt "${before[$side]}" ] || grown=0; done
        [ "$grown" -eq 1 ] && return 0
        sleep 1
    done
    return 1
}
crossing_grows "0 0" 0 1
grew=$?
check "sparks cross both ways while the bus is frozen (frames with them: $(crossed))" test $grew -eq 0
kill -9 "$BUS_PID"
start_bus
sleep 1  # sparks that crossed before the restart have faded
after_restart=$(crossed)

# What a hostile process of the user might send, at the right hack.
RIGHT=${HACK[1]}
SOCKET=$(ls -d "$XDG_RUNTIME_DIR"/tavrin-sparks/x11-*/"$RIGHT"-*)
peak() { awk '/VmHWM/ { print $2 }' "/proc/$RIGHT/status"; }
descriptors() { ls "/proc/$RIGHT/fd" | wc -l; }
peak_before=$(peak) descriptors_before=$(descriptors)
"$python" -c "import dbus; b=dbus.SessionBus(); m=dbus.lowlevel.SignalMessage('/org/tavrin/ScreenSaver','org.tavrin.ScreenSaver.CrossMonitor','SparkLeak'); m.append('y'*(100<<20)); b.send_message(m); b.flush()"
check "a 100 MiB signal goes out on the bus" test $? -eq 0
lines=$(wc -l <"$WORK/trace1.jsonl")
echo "    $(python3 "$HERE/leak_datagrams.py" "$SOCKET" "x11:$DISPLAY.0" burst)"
# A leak of a whole spark pool, more sparks at once than the hack's own bounces ever make, behind
# the burst in the socket's queue: once it shows, the burst has been read.
python3 "$HERE/leak_datagrams.py" "$SOCKET" "x11:$DISPLAY.0" leak "$W" 0 "$W" "$H" 500
most_sparks() {
    tail -n +"$((lines + 1))" "$WORK/trace1.jsonl" | grep -o '"activeParticleCount":[0-9]*' | cut -d: -f2 | sort -n |
        tail -1
}
deadline=$((SECONDS + 20))
until [ "$(most_sparks)" -ge 450 ] 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.2; done
most=$(most_sparks)
check "a valid leak after all that is still taken (${most:-no} sparks at once)" test "${most:-0}" -ge 450
check "the right hack's peak memory grew by less than 16 MB ($peak_before kB, then $(peak) kB)" \
    test $(($(peak) - peak_before)) -lt 16384
check "no descriptor passed along stays with the hack ($descriptors_before, then $(descriptors))" \
    test "$(descriptors)" -eq "$descriptors_before"
# The left hack's count since the restart: the leak above went to the right one.
crossing_grows "$after_restart" 0
grew=$?
check "sparks cross on after the bus is killed and started again ($after_restart, then $(crossed))" test $grew -eq 0

# SIGTERM: the left hack with the bus frozen, the right one stuck on a stopped X server.
kill -STOP "$BUS_PID"
sent=$(date +%s.%N)
kill -TERM "${HACK[0]}"
wait "${HACK[0]}"
status=$? took=$(seconds "$sent")
check "with the bus frozen, SIGTERM ends a hack within 1 s (${took}s, status $status)" within_1s "$took" "$status"
check "... through its own stop" grep -q "stopping the screen saver: SIGTERM" "$WORK/hack0.err"
kill -STOP "$(cat "$WORK/server.xvfb-pid")"
sleep 0.7  # the hack's next request to the X server never gets its answer
sent=$(date +%s.%N)
kill -TERM "$RIGHT"
wait "$RIGHT"
status=$? took=$(seconds "$sent")
check "SIGTERM ends a hack stuck on a stopped X server within 1 s (${took}s, status $status)" within_1s "$took" "$status"
check "... through the watchdog, the GUI thread never handling it" bash -c \
    "grep -q '800 ms after SIGTERM or SIGINT - exiting' '$WORK/hack1.err' && ! grep -q 'stopping the' '$WORK/hack1.err'"
kill -CONT "$(cat "$WORK/server.xvfb-pid")"
[ "$FAILURES" -gt 0 ] && grep -hv ' view=' "$WORK"/hack*.err | sed 's/^/    /' | tail -12
finish
