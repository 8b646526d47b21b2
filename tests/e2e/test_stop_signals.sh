# SIGTERM and SIGINT stop a running screen saver and end it within a second, with status 0, once
# the will-stop notification's work has run; a signal that finds the saver already stopped and
# retiring (after input) ends it as quickly. (After input alone the module retires the process
# five seconds after the stop: test_x11.sh.)
. "$(dirname "$0")/lib.sh"

export QT_QPA_PLATFORM=offscreen
MAX_SECONDS=1.0

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

# check_ending NAME SIGNAL LINE: checks how and when the saver ended, and that LINE was logged.
check_ending() {
    local name="$1" signal="$2" line="$3"
    if [ ! -f "$WORK/$name.status" ]; then
        fail "$name: still running"
        return
    fi
    local status seconds
    status="$(cat "$WORK/$name.status")"
    seconds=$(python3 -c "print(round($(cat "$WORK/$name.end") - $(cat "$WORK/$name.start"), 2))")
    check "$name: exit status 0 after SIG$signal (got $status)" test "$status" -eq 0
    check "$name: ended ${seconds}s after SIG$signal (at most $MAX_SECONDS)" \
        python3 -c "import sys; sys.exit(0 if $seconds <= $MAX_SECONDS else 1)"
    check "$name: log says '$line'" grep -q "$line" "$WORK/$name.err"
    check "$name: no watchdog was needed" bash -c "! grep -q 'still running' '$WORK/$name.err'"
}

# Two runs at once, to keep the test short: an ordinary window stopped by SIGTERM, and the
# full-screen saver stopped by SIGINT.
start_saver window --window 320x200 --seed 3
start_saver fullscreen --seed 4
sleep 2
signal_saver window TERM
signal_saver fullscreen INT
wait
check_ending window TERM "stopping the screen saver: SIGTERM"
check_ending fullscreen INT "stopping the screen saver: SIGINT"

# Full screen on an X server: a key stops it, and SIGTERM 0.3 s later, while it retires, ends it.
if start_xvfb retiring 800x600; then
    QT_QPA_PLATFORM=xcb start_saver retiring --seed 5
    runner=$!
    wait_for_line "$WORK/retiring.err" "onScreen=1" 1 10
    python3 "$(dirname "$0")/x11_input.py" key
    if wait_for_line "$WORK/retiring.err" "stopping the screen saver: key press" 1 10; then
        sleep 0.3
        signal_saver retiring TERM
        wait "$runner"
        check_ending retiring TERM "SIGTERM while the stopped screen saver retires"
    else
        fail "retiring: a key did not stop the saver"
    fi
else
    fail "retiring: no X server"
fi
if [ "$FAILURES" -gt 0 ]; then
    for name in window fullscreen retiring; do sed "s/^/    $name stderr: /" "$WORK/$name.err" | tail -6; done
fi

finish
