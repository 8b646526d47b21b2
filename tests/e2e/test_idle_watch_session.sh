# The idle watcher as a citizen of its session, on an X server (Xvfb) with a session bus and a
# system bus of its own, whose logind, UPower and power-profiles-daemon are stand-ins
# (system_bus.py system), and a stand-in of KDE's screen locker serving org.freedesktop.ScreenSaver
# (system_bus.py screensaver). With `--after 2s`:
# - logind's Lock ends a running saver within a second, no saver starts while the session is
#   locked, and after Unlock one comes a full idle period later; a Lock that no locker confirms
#   keeps savers away for a while only;
# - a sleep ends the saver before the watcher lets logind's delay inhibitor go, and none holds it
#   when no saver runs; after resume a new idle period is needed;
# - `systemd-inhibit --what=idle` keeps savers away, named in the log, until it ends;
# - the X server's own screen saver and the other program's screen locker end a running saver;
# - on battery a running saver draws every second frame, and with OnBattery=off none starts and the
#   X server blanks on its own;
# - services that answer nonsense or leave the bus leave the watcher running.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
for tool in Xvfb xdotool xset dbus-daemon systemd-inhibit; do
    command -v "$tool" >/dev/null || skip "needs $tool (xvfb, xdotool, x11-xserver-utils, dbus-daemon, systemd)"
done
/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null || skip "needs python3-dbus and python3-gi"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS XDG_RUNTIME_DIR XDG_SESSION_ID

start_xvfb main 1280x720 -noreset
# new_bus NAME: a bus of its own (of the session kind), its address printed.
new_bus() {
    dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$WORK/$1.bus"
    at_exit "kill $(sed -n 2p "$WORK/$1.bus") 2>/dev/null"
    head -1 "$WORK/$1.bus"
}
export DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS
DBUS_SESSION_BUS_ADDRESS=$(new_bus session)
DBUS_SYSTEM_BUS_ADDRESS=$(new_bus system)
# stand_in KIND: system_bus.py KIND, taking commands from $WORK/KIND.fifo, answering in $WORK/KIND.out.
stand_in() {
    rm -f "$WORK/$1.fifo"
    mkfifo "$WORK/$1.fifo"
    /usr/bin/python3 "$HERE/system_bus.py" "$1" "$WORK/$1.fifo" >"$WORK/$1.out" 2>&1 &
    echo $! >"$WORK/$1.pid"
    at_exit "kill $! 2>/dev/null"
    wait_for_line "$WORK/$1.out" '^ready' 1 10
}
# tell KIND COMMAND: runs the command in the stand-in and waits until it is done.
tell() {
    local n
    n=$(grep -c '^done' "$WORK/$1.out")
    # The stand-in reads the FIFO for as long as it runs; one that has gone reads nothing.
    timeout 10 sh -c 'echo "$1" >"$2"' - "$2" "$WORK/$1.fifo"
    wait_for_line "$WORK/$1.out" '^done' $((n + 1)) 10
}
for kind in system screensaver; do
    stand_in $kind || { fail "the stand-in '$kind' starts: $(cat "$WORK/$kind.out")"; finish; }
done

LOG="$WORK/watch.log"
# The settings file's folder is there from the start, so that the watcher follows the file.
mkdir -p "$XDG_CONFIG_HOME"
mkdir -m 700 "$WORK/run"
XDG_RUNTIME_DIR="$WORK/run" "$TAVRIN" --idle-watch --after 2s --log-stderr >"$LOG" 2>&1 &
WATCHER=$!
at_exit 'kill $WATCHER 2>/dev/null; wait $WATCHER 2>/dev/null'

STARTED="idle: idle for 2 seconds: started the screen saver"
started() { grep -c -- "$STARTED" "$LOG"; }
# saver N: waits for the Nth saver (20 s at most) and prints its process id.
saver() {
    wait_for_line "$LOG" "$STARTED" "$1" 20 &&
        grep -o "$STARTED (process [0-9]*" "$LOG" | sed -n "$1p" | grep -o '[0-9]*$'
}
comes() { saver "$1" >/dev/null; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# gone_within PID SECONDS: the process has gone within that long; GONE_MS is when it was seen gone.
gone_within() {
    local deadline=$((SECONDS + $2))
    while kill -0 "$1" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.01
    done
    GONE_MS=$(now_ms)
}
# none_within COUNT SECONDS: no more than COUNT savers have started after that long.
none_within() { ! wait_until "$2" test "$(started)" -gt "$1"; }
# comes_after COUNT SINCE_MS: saver COUNT starts a full idle period (2 s) after SINCE_MS.
comes_after() { saver "$1" >/dev/null && [ $(($(now_ms) - $2)) -ge 1900 ]; }

following="following the session's screen saver (org.freedesktop.ScreenSaver); logind's lock of this session;"
following+=" the machine's sleep (logind's PrepareForSleep); logind's idle inhibitors; the X server's screen saver"
check "the watcher follows the other program's screen saver, logind and the X server" \
    wait_for_line "$LOG" "$following" 1 20

# 1. logind's lock.
pid=$(saver 1)
sent=$(now_ms)
tell system lock
check "logind's Lock ends the running saver within 1 s" gone_within "${pid:-0}" 1
pass "(the saver was gone $((GONE_MS - sent)) ms after the Lock was asked for)"
check "saying why" grep -q "logind has asked the session to lock: ending the screen saver (process $pid)" "$LOG"
xdotool key space
check "an idle period while the session is locked is passed over" wait_for_line "$LOG" \
    "idle for 2 seconds: no screen saver starts while the session is locked (logind's LockedHint)" 1 10
check "and no saver starts while it is (3 s)" none_within 1 3
unlocked=$(now_ms)
tell system unlock
check "after Unlock the saver comes a full idle period later" comes_after 2 "$unlocked"

# A Lock that no locker confirms: the saver ends, and savers stay away for 10 s only.
pid=$(saver 2)
tell system lock-signal
check "a Lock without a locker ends the saver too" gone_within "${pid:-0}" 1
check "and keeps savers away for 10 s only" wait_for_line "$LOG" "no locker has said within 10 s" 1 15
check "after which the saver comes again" comes 3

# 2. Sleep: the delay inhibitor is held while a saver runs, and let go once it has ended.
pid=$(saver 3)
tell system inhibitors
check "a saver that runs holds logind's delay inhibitor for sleep" \
    grep -q "^inhibitor sleep|Tavrin|Ending the screen saver before the machine sleeps|delay|$WATCHER$" \
    "$WORK/system.out"
tell system "sleep $pid"
wait_for_line "$WORK/system.out" '^slept:' 1 10
slept=$(grep '^slept:' "$WORK/system.out")
check "a sleep ends the saver before the inhibitor is let go ($slept)" \
    grep -q "^slept: released after [0-9]* ms, process $pid gone$" "$WORK/system.out"
check "saying so" grep -q "the screen saver has ended: the machine may sleep now" "$LOG"
tell system inhibitors
check "no inhibitor is held while no saver runs" \
    bash -c "! grep -q '^inhibitor sleep|Tavrin' <(tail -2 '$WORK/system.out')"
check "no saver starts before resume (3 s)" none_within 3 3
woke=$(now_ms)
tell system wake
check "after resume the saver comes a full idle period later" comes_after 4 "$woke"

# 3. An idle inhibitor of logind: a running saver goes on, the next waits until it ends. Its
# holder's words reach the log on one line.
pid=$(saver 4)
systemd-inhibit --what=idle --who=mpv --why=$'Playing\nvideo' sleep 600 &
INHIBIT=$!
at_exit 'kill $INHIBIT 2>/dev/null'
check "systemd-inhibit --what=idle is named in the log" \
    wait_for_line "$LOG" "no screen saver starts while kept awake by mpv: Playing video$" 1 10
XDG_RUNTIME_DIR="$WORK/run" "$TAVRIN" --idle-status >"$WORK/status.out" 2>&1
check "--idle-status names its application and reason" grep -q '^  mpv: "Playing video" (logind)$' "$WORK/status.out"
check "and the running saver" grep -q "^The screen saver runs (process $pid)" "$WORK/status.out"
check "the running saver goes on" kill -0 "${pid:-0}"
xdotool key space
gone_within "${pid:-0}" 10
check "an idle period while it is held is passed over" wait_for_line "$LOG" \
    "idle for 2 seconds: no screen saver starts while kept awake by mpv: Playing video" 1 10
check "and no saver starts (3 s)" none_within 4 3
released=$(now_ms)
kill "$INHIBIT"
check "once it ends, the saver comes a full idle period later" comes_after 5 "$released"

# 4. The X server's own screen saver, and the other program's screen locker, end a running saver.
pid=$(saver 5)
xset s activate
check "the X server's screen saver ends the running saver" gone_within "${pid:-0}" 2
check "saying why" grep -q "the X server's screen saver is on: ending the screen saver (process $pid)" "$LOG"
xdotool key space
pid=$(saver 6)
tell screensaver "active true"
check "the screen locker's ActiveChanged ends the running saver" gone_within "${pid:-0}" 2
check "saying whose it is" \
    grep -q "python3 (process [0-9]*), serving org.freedesktop.ScreenSaver, says that its screen saver is active" "$LOG"
tell screensaver "active false"
pid=$(saver 7)

# 5. Battery: a running saver follows within 2 s, --idle-status says so; with OnBattery=off no
# saver starts and the X server blanks on its own again.
status() { XDG_RUNTIME_DIR="$WORK/run" "$TAVRIN" --idle-status >"$WORK/status.out" 2>&1; }
tell system "battery on"
check "on battery the running saver draws every second frame" \
    wait_for_line "$LOG" "\[$pid\] host: half rate: every second frame is drawn" 1 2
status
check "--idle-status says so" grep -q "^Power: on battery: every second frame is drawn (OnBattery=half)" \
    "$WORK/status.out"
tell system "battery off"
check "back on mains power it draws every frame" wait_for_line "$LOG" "\[$pid\] host: full rate" 1 2
echo "OnBattery=off" >>"$XDG_CONFIG_HOME/org.tavrin.screensaver.conf"
tell system "battery on"
check "with OnBattery=off on battery the X server blanks on its own again" \
    wait_until 5 bash -c "xset q | grep -Eq 'timeout: +[1-9]'"
xdotool key space
gone_within "${pid:-0}" 10
check "and no saver starts" wait_for_line "$LOG" \
    "idle for 2 seconds: no screen saver starts while on battery, and OnBattery is off" 1 10
tell system "battery off"
check "back on mains power the X server's blanking is off again" \
    wait_until 5 bash -c "xset q | grep -Eq 'timeout: +0 '"
pid=$(saver 8)

# 6. Nonsense, and services that leave: the watcher says so once and runs on.
tell system nonsense
tell screensaver nonsense
tell system sense
tell screensaver sense
tell system "inhibit-idle firefox Playing video"
check "after nonsense the idle inhibitors are still followed" \
    wait_for_line "$LOG" "no screen saver starts while kept awake by firefox: Playing video" 1 10
tell system release-idle
tell system lock
check "and the lock" gone_within "${pid:-0}" 2
over="no longer kept away by logind's lock of this session: the idle period counts afresh"
n=$(grep -c "$over" "$LOG")
kill "$(cat "$WORK/system.pid")"
check "when logind leaves the bus, its lock is over" wait_for_line "$LOG" "$over" $((n + 1)) 10
kill "$(cat "$WORK/screensaver.pid")"
check "and the watcher starts savers still" comes 9
check "it runs on" kill -0 "$WATCHER"
for nonsense in "the session's screen saver (org.freedesktop.ScreenSaver) sent an ActiveChanged of the wrong shape" \
    "logind answers the session's LockedHint with a value of the wrong type" \
    "logind answers BlockInhibited with a value of the wrong type"; do
    check "the nonsense is logged once: $nonsense" test "$(grep -c "$nonsense" "$LOG")" -eq 1
done

[ "$FAILURES" -gt 0 ] && grep -v " view=" "$LOG" | tail -40 | sed 's/^/    watcher: /'
finish
