# SIGTERM and SIGINT stop a running screen saver, which then ends by itself with status 0: the
# module retires the idle process five seconds after the stop. A signal that finds the saver
# already stopped and retiring ends it at once: whoever sent it (the idle watcher, a session that
# ends) does not wait out the retirement.
. "$(dirname "$0")/lib.sh"

export QT_QPA_PLATFORM=offscreen

# The module retires the idle process five seconds after the stop.
EXPECTED_LINE="all views idle for 5s - retiring host process"
MIN_SECONDS=4
MAX_SECONDS=9

# start_saver NAME ARGS...: runs tavrin in the background; its pid, stderr, exit status and end
# time land in $WORK/NAME.*.
start_saver() {
    local name="$1"
    shift
    (
        "$TAVRIN" --log-stderr "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
        echo $! >"$WORK/$name.pid"
        wait $!
        echo $? >"$WORK/$name.status"
        date +%s.%N >"$WORK/$name.end"
    ) &
}

# signal_saver NAME SIGNAL: sends the signal and notes when.
signal_saver() {
    local name="$1" signal="$2"
    local pid
    pid="$(cat "$WORK/$name.pid")"
    if ! kill -0 "$pid" 2>/dev/null; then
        fail "$name: not running before SIG$signal"
        sed 's/^/    stderr: /' "$WORK/$name.err" | head -5
        return
    fi
    date +%s.%N >"$WORK/$name.start"
    kill "-$signal" "$pid"
}

# check_ending NAME SIGNAL: checks how and when the saver ended.
check_ending() {
    local name="$1" signal="$2"
    if [ ! -f "$WORK/$name.status" ]; then
        fail "$name: still running"
        return
    fi
    local status seconds
    status="$(cat "$WORK/$name.status")"
    seconds=$(python3 -c "print(round($(cat "$WORK/$name.end") - $(cat "$WORK/$name.start"), 1))")
    check "$name: exit status 0 after SIG$signal (got $status)" test "$status" -eq 0
    check "$name: ended ${seconds}s after SIG$signal (expected $MIN_SECONDS to $MAX_SECONDS)" \
        python3 -c "import sys; sys.exit(0 if $MIN_SECONDS <= $seconds <= $MAX_SECONDS else 1)"
    check "$name: the stop is logged" grep -q "stopping the screen saver: SIG$signal" "$WORK/$name.err"
    check "$name: log says '$EXPECTED_LINE'" grep -q "$EXPECTED_LINE" "$WORK/$name.err"
}

# Both runs at once, to keep the test short: an ordinary window stopped by SIGTERM, and the
# full-screen saver stopped by SIGINT.
start_saver window --window 320x200 --seed 3
start_saver fullscreen --seed 4
start_saver retiring --seed 5
sleep 2
signal_saver window TERM
signal_saver fullscreen INT
signal_saver retiring INT
sleep 0.3
signal_saver retiring TERM
wait
check_ending window TERM
check_ending fullscreen INT
if [ -f "$WORK/retiring.status" ]; then
    seconds=$(python3 -c "print(round($(cat "$WORK/retiring.end") - $(cat "$WORK/retiring.start"), 2))")
    check "retiring: exit status 0 after SIGTERM" test "$(cat "$WORK/retiring.status")" -eq 0
    check "retiring: ended ${seconds}s after a SIGTERM during its retirement (at most 1)" \
        python3 -c "import sys; sys.exit(0 if $seconds <= 1.0 else 1)"
    check "retiring: the early end is logged" grep -q "SIGTERM while the stopped screen saver retires" \
        "$WORK/retiring.err"
else
    fail "retiring: still running"
fi
if [ "$FAILURES" -gt 0 ]; then
    for name in window fullscreen retiring; do sed "s/^/    $name stderr: /" "$WORK/$name.err" | tail -6; done
fi

finish
