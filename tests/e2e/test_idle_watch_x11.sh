# The idle watcher on an X server (Xvfb) without XScreenSaver, with a session bus of its own and a
# timeout of 2 s: the X server's idle time starts the saver on both monitors, input ends it and the
# watcher sees the return, and the next idle period starts it again; inhibitions through
# org.freedesktop.ScreenSaver keep it away until released or until their client leaves the bus,
# and belong to that client; activity reported on the bus ends a saver that did not see it; a
# saver that fails is logged and tried again; the X server's end ends the watcher. Beside it, on a
# server of their own: without a bus the watcher still works, turns the server's own screen saver
# off while it runs and puts it back after SIGTERM, and it steps aside for XScreenSaver.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
for tool in Xvfb xrandr xdotool dbus-daemon xscreensaver xscreensaver-command setpriv; do
    command -v "$tool" >/dev/null || skip "needs $tool (xvfb, x11-xserver-utils, xdotool, dbus-daemon, xscreensaver)"
done
# Debian's python3-dbus belongs to the system's Python, which may not be first on PATH.
for python in python3 /usr/bin/python3 ""; do "$python" -c 'import dbus' 2>/dev/null && break; done
[ -n "$python" ] || skip "needs python3-dbus"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR

# start_bus NAME: a session bus of its own; its address goes to $WORK/NAME.bus.
start_bus() {
    dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$WORK/$1.bus"
    at_exit "kill $(sed -n 2p "$WORK/$1.bus") 2>/dev/null"
}
bus() { head -1 "$WORK/$1.bus"; }
# count PATTERN: lines of the watcher's log that match.
count() { grep -c -- "$1" "$WORK/watch.log"; }
STARTED="idle: idle for 2 seconds: started the screen saver"
# savers: the saver processes running (the copy of the program, swapped or not, but the watcher).
savers() {
    local p
    for p in /proc/[0-9]*; do
        [ "${p#/proc/}" != "$WATCHER" ] && [[ "$(readlink "$p/exe" 2>/dev/null)" == "$WORK/bin/tavrin"* ]] &&
            echo "${p#/proc/}"
    done
}
# end_saver: the user is back (a key); once the savers that ran have gone, a key starts a fresh
# idle period. Only those savers count: on a loaded machine a saver may retire for longer than an
# idle period, and the watcher then starts the next as it ends.
end_saver() {
    local running pid deadline=$((SECONDS + 15))
    running=$(savers)
    xdotool key space
    for pid in $running; do
        while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
    done
    xdotool key space
    for pid in $running; do ! kill -0 "$pid" 2>/dev/null || return 1; done
}
# client NAME: a client of the bus that takes commands from ask NAME COMMAND.
client() {
    mkfifo "$WORK/$1.in"
    : >"$WORK/$1.out"
    DBUS_SESSION_BUS_ADDRESS="$(bus main)" "$python" "$HERE/screensaver_client.py" <"$WORK/$1.in" >"$WORK/$1.out" 2>&1 &
    eval "CLIENT_$1=$!"
    eval "exec {FD_$1}>\"$WORK/$1.in\""
}
# ask NAME COMMAND: the client's answer.
ask() {
    local fd="FD_$1" n
    n=$(wc -l <"$WORK/$1.out")
    echo "$2" >&"${!fd}"
    wait_for_line "$WORK/$1.out" . $((n + 1)) 10 && sed -n "$((n + 1))p" "$WORK/$1.out"
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# --- Beside the main run: the watcher without a bus, and beside XScreenSaver. ---
(
    start_xvfb aux 640x480 -noreset >/dev/null
    mkdir -m 700 "$WORK/run-aux"
    xset s 321
    XDG_RUNTIME_DIR="$WORK/run-aux" "$TAVRIN" --idle-watch --log-stderr --after 1s >"$WORK/nobus.log" 2>&1 &
    watcher=$!
    wait_for_line "$WORK/nobus.log" "started the screen saver" 1 20
    xset q >"$WORK/xset-running"
    kill $watcher
    wait $watcher
    xset q >"$WORK/xset-after"
    mkdir -p "$WORK/xss-home"
    run_unprivileged "$WORK/xss-home"
    env -i HOME="$WORK/xss-home" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin "${AS_USER[@]}" xscreensaver -no-splash \
        >"$WORK/xss.log" 2>&1 &
    xss=$!
    for _ in $(seq 100); do xscreensaver-command -time >/dev/null 2>&1 && break; sleep 0.1; done
    XDG_RUNTIME_DIR="$WORK/run-aux" timeout 20 "$TAVRIN" --idle-watch --after 1s >"$WORK/aside.log" 2>&1
    echo $? >"$WORK/aside.status"
    kill "$xss"
) &
AUX=$!

# --- The main run: two monitors, the program run from a copy that the test can swap. ---
start_xvfb main 3840x1080 -noreset
two_monitors
start_bus main
mkdir -m 700 "$WORK/run" "$WORK/bin"
cp "$TAVRIN" "$WORK/bin/tavrin"
DBUS_SESSION_BUS_ADDRESS="$(bus main)" dbus-monitor --session \
    "type='signal',interface='org.freedesktop.ScreenSaver',member='ActiveChanged'" >"$WORK/active.log" 2>&1 &
at_exit "kill $! 2>/dev/null"
DBUS_SESSION_BUS_ADDRESS="$(bus main)" XDG_RUNTIME_DIR="$WORK/run" "$WORK/bin/tavrin" --idle-watch --after 2s \
    --log-stderr --trace "$WORK/trace-%p.jsonl" >"$WORK/watch.log" 2>&1 &
WATCHER=$!
at_exit 'kill $WATCHER $(savers) 2>/dev/null'

# 1. Idle starts the saver on both monitors; input ends it; the next idle period starts it again.
check "the watcher serves org.freedesktop.ScreenSaver" wait_for_line "$WORK/watch.log" "serving org.freedesktop" 1 20
check "2 s of inactivity start the saver" wait_for_line "$WORK/watch.log" "$STARTED" 1 20
pid=$(grep -o "$STARTED (process [0-9]*" "$WORK/watch.log" | grep -o '[0-9]*$')
check "its views draw on both monitors" wait_for_line "$WORK/trace-$pid.jsonl" '"display":1,' 1 20
check "with both monitors covered" grep -q '"display":0,' "$WORK/trace-$pid.jsonl"
client a
check "GetActive says that it runs" test "$(ask a active)" = True
check "ActiveChanged said that it started" wait_for_line "$WORK/active.log" "boolean true" 1 10
# The saver measures travel from the first movement it sees.
xdotool mousemove_relative 20 20 sleep 0.3 mousemove_relative 20 20
check "the saver stops on pointer movement" \
    wait_for_line "$WORK/watch.log" "\[$pid\] host: stopping the screen saver: mouse" 1 10
check "the watcher sees the user's return" wait_for_line "$WORK/watch.log" "the user is back: pointer movement" 1 10
check "the saver ends" end_saver
check "ActiveChanged said that it ended" wait_for_line "$WORK/active.log" "boolean false" 1 10
check "the next idle period starts it again" wait_for_line "$WORK/watch.log" "$STARTED" 2 20

# 2. An inhibition keeps it away, and is released only by its own client; the idle period counts
# from its release.
cookie=$(ask a "inhibit player")
client b
check "another client cannot release it" \
    test "$(ask b "uninhibit $cookie")" = "error org.freedesktop.DBus.Error.InvalidArgs"
check "the saver ends" end_saver
n=$(count "$STARTED")
sleep 3
check "no saver starts while an inhibition is held" test "$(count "$STARTED")" -eq "$n"
check "GetActive says that none runs" test "$(ask a active)" = False
DBUS_SESSION_BUS_ADDRESS="$(bus main)" XDG_RUNTIME_DIR="$WORK/run" "$TAVRIN" --idle-status >"$WORK/status.out"
check "--idle-status finds the watcher (status $?)" test $? = 0
check "and names the inhibition's application and reason" grep -q '^  player: "a test"' "$WORK/status.out"
check "and says that no saver runs" grep -q "The screen saver is not running" "$WORK/status.out"
released=$(now_ms)
check "its own client releases it" test "$(ask a "uninhibit $cookie")" = ok
check "after the release the saver starts" wait_for_line "$WORK/watch.log" "$STARTED" $((n + 1)) 20
check "a full idle period after the release ($(($(now_ms) - released)) ms)" test $(($(now_ms) - released)) -ge 1900

# 3. A client holds at most 16; its leaving the bus drops them all. Reported activity ends a saver.
for i in $(seq 16); do ask b "inhibit flood$i" >/dev/null; done
check "a 17th inhibition of one client is refused" \
    test "$(ask b "inhibit flood17")" = "error org.freedesktop.DBus.Error.LimitsExceeded"
check "the saver ends" end_saver
n=$(count "$STARTED")
sleep 3
check "no saver starts while the client holds them" test "$(count "$STARTED")" -eq "$n"
left=$(now_ms)
kill "$CLIENT_b"
check "after the client left the bus the saver starts" wait_for_line "$WORK/watch.log" "$STARTED" $((n + 1)) 20
check "a full idle period after it left ($(($(now_ms) - left)) ms)" test $(($(now_ms) - left)) -ge 1900
n=$(count "still runs: ending it")
check "SimulateUserActivity is answered" test "$(ask a simulate)" = ok
check "it counts as the user's return" wait_for_line "$WORK/watch.log" "the user is back: activity reported" 1 10
check "and the watcher ends the saver that did not see it" \
    wait_for_line "$WORK/watch.log" "the user is back, but the screen saver still runs: ending it" $((n + 1)) 10

# 4. A saver that fails is logged with its status and tried again at the next idle period.
printf '#!/bin/sh\nexit 3\n' >"$WORK/failing"
chmod +x "$WORK/failing"
mv "$WORK/failing" "$WORK/bin/tavrin"
check "the saver ends" end_saver
check "a failing saver is logged with its status" \
    wait_for_line "$WORK/watch.log" "the screen saver failed with exit status 3" 1 20
cp "$TAVRIN" "$WORK/bin/tavrin"
n=$(count "$STARTED")
xdotool key space
check "the next idle period starts the saver again" wait_for_line "$WORK/watch.log" "$STARTED" $((n + 1)) 20
pid=$(grep -o "$STARTED (process [0-9]*" "$WORK/watch.log" | tail -1 | grep -o '[0-9]*$')
check "and it draws" wait_for_line "$WORK/trace-$pid.jsonl" '"display":0,' 1 20

# 5. The X server's end is the watcher's.
stop_xvfb main
wait_exit "$WATCHER" 10000
check "the watcher ends with the X server (status $EXIT_STATUS)" test "$EXIT_STATUS" = 0
check "saying why" grep -q "idle: lost the connection to the X server" "$WORK/watch.log"

wait "$AUX"
check "without a bus the watcher says so" \
    grep -q "idle: no session bus: org.freedesktop.ScreenSaver is not served" "$WORK/nobus.log"
check "and still starts the saver" grep -q "started the screen saver" "$WORK/nobus.log"
check "while it runs the X server's own screen saver is off" grep -q "timeout:  0 " "$WORK/xset-running"
check "SIGTERM puts it back as it was" grep -q "timeout:  321 " "$WORK/xset-after"
check "the watcher does not warn of the blank it turned off" \
    bash -c "grep -q 'own screen saver off while the idle watcher runs' '$WORK/nobus.log' &&
        ! grep -q 'would not be seen' '$WORK/nobus.log'"
status=$(cat "$WORK/aside.status")
check "with an XScreenSaver daemon it steps aside (status $status)" test "$status" = 0
check "saying why" grep -q "XScreenSaver runs here" "$WORK/aside.log"
[ "$FAILURES" -gt 0 ] && grep -v " view=" "$WORK/watch.log" | tail -30 | sed 's/^/    watcher: /'
finish
