# The steps the idle watcher's tests take on a Wayland compositor with two outputs
# (test_idle_watch_sway.sh, test_idle_watch_kwin.sh), after lib.sh. The caller sets
#   CLIENT       the command prefix that runs a client of the compositor as its user
#                ("${CLIENT[@]}" prog & leaves the program's own pid in $!)
#   press_key    a function: one key press through the compositor's input; it returns once the
#                compositor has it
#   SANDBOX      a folder with bin/tavrin and bin/inhibit (tavrin_wl_idle_inhibit), and out/,
#                writable by the user
# Every line of the watcher and of its savers goes to $LOG, each after the microsecond it was read.

# stamp: prefixes each line read with the time in microseconds.
stamp() {
    local line
    while IFS= read -r line; do printf '%s %s\n' "${EPOCHREALTIME/./}" "$line"; done
}
now_us() { echo "${EPOCHREALTIME/./}"; }

# start_watcher: `tavrin --idle-watch --after 2s`, each saver tracing to out/trace-<pid>.jsonl.
start_watcher() {
    LOG="$WORK/watcher.log"
    : >"$LOG"
    "${CLIENT[@]}" "$SANDBOX/bin/tavrin" --idle-watch --after 2s --log-stderr \
        --trace "$SANDBOX/out/trace-%p.jsonl" >/dev/null 2> >(stamp >"$LOG") &
    WATCHER_PID=$!
    at_exit 'kill $WATCHER_PID 2>/dev/null; for p in $(saver_pids); do kill -9 $p 2>/dev/null; done'
    wait_for_line "$LOG" 'watching for 2 seconds of inactivity' 1 10
}

saver_pids() { sed -n 's/.*started the screen saver (process \([0-9]*\)).*/\1/p' "$LOG" 2>/dev/null; }
saver_running() { local p; for p in $(saver_pids); do kill -0 "$p" 2>/dev/null && return 0; done; return 1; }
# stamp_of PATTERN N: the time of the Nth line matching PATTERN.
stamp_of() { grep -- "$1" "$LOG" | sed -n "$2p" | cut -d' ' -f1; }

# saver_comes N SINCE_US WHAT: the Nth saver draws its first frame on both outputs about 2 s
# after SINCE_US (the last input, or the release of an inhibitor), not before 1.5 s (KWin's timers
# may fire 5 % early) and within 10 s; its trace shows both views. Sets LATENCY_MS, from the idle
# timeout to the later output's first frame.
saver_comes() {
    local n="$1" since="$2" what="$3" pid started displays
    wait_for_line "$LOG" 'started the screen saver' "$n" 12
    pid=$(saver_pids | sed -n "${n}p")
    wait_for_line "$LOG" "\[${pid:-none}\] .*first frame of" 2 10
    LATENCY_MS=$((($(grep "\[${pid:-none}\] .*first frame of" "$LOG" | sed -n 2p | cut -d' ' -f1) - since) / 1000 - 2000))
    started=$((($(stamp_of 'started the screen saver' "$n") - since) / 1000 - 2000))
    check "$what: the saver draws both outputs ${LATENCY_MS} ms after the 2 s timeout (started at $started ms)" \
        test "$LATENCY_MS" -ge -500 -a "$LATENCY_MS" -le 8000
    # The trace line of a frame is written after the frame's commit is logged: it may lag a little.
    local deadline=$((SECONDS + 5))
    while :; do
        displays=$(grep -o '"display":[0-9]*' "$SANDBOX/out/trace-$pid.jsonl" 2>/dev/null | sort -u | tr -d '\n')
        [ "$displays" = '"display":0"display":1' ] || [ "$SECONDS" -ge "$deadline" ] && break
        sleep 0.1
    done
    check "its trace shows both views ($displays)" test "$displays" = '"display":0"display":1'
}

# key_ends_saver N: a key press ends the Nth saver by its own stop, with status 0. Sets LAST_INPUT.
key_ends_saver() {
    press_key
    LAST_INPUT=$(now_us)
    wait_for_line "$LOG" 'the screen saver ended$' "$1" 5
    check "a key press ends it with status 0" test "$(grep -c 'the screen saver ended$' "$LOG")" -ge "$1"
    check "by its own stop" test "$(grep -c 'stopping the screen saver: key press' "$LOG")" -ge "$1"
}

# wakeups PID: the voluntary and involuntary context switches of all its threads so far.
wakeups() {
    cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { n += $2 } END { print n + 0 }'
}

# inhibitor_holds_off: a window holding an idle inhibitor keeps the saver away for 5 s, 2.5 times
# the timeout, while the watcher sleeps; once the window's client ends, the saver comes 2 s later.
inhibitor_holds_off() {
    local n before after released
    "${CLIENT[@]}" "$SANDBOX/bin/inhibit" >"$WORK/inhibit.out" 2>&1 &
    INHIBIT_PID=$!
    at_exit 'kill $INHIBIT_PID 2>/dev/null'
    wait_for_line "$WORK/inhibit.out" inhibiting 1 10
    check "a window holds an idle inhibitor" grep -q inhibiting "$WORK/inhibit.out"
    press_key # the idle time counts from here, with the inhibitor in place
    n=$(($(grep -c 'started the screen saver' "$LOG") + 1))
    before=$(wakeups "$WATCHER_PID")
    sleep 5 # the time observed: no saver may start in it
    after=$(wakeups "$WATCHER_PID")
    check "no saver while it is held, 5 s ($((n - 1)) started before, $(grep -c 'started the screen saver' "$LOG") now)" \
        test "$(grep -c 'started the screen saver' "$LOG")" -eq $((n - 1))
    check "the watcher sleeps meanwhile ($((after - before)) wake-ups in 5 s)" \
        test "$before" -gt 0 -a $((after - before)) -le 10
    released=$(now_us)
    kill "$INHIBIT_PID" # its end releases the inhibitor
    saver_comes "$n" "$released" "inhibitor released"
}

# compositor_killed PID: the compositor is killed while a saver runs; the watcher ends with
# status 0 within 2 s, and no saver is left.
compositor_killed() {
    check "a saver runs before the compositor goes" saver_running
    kill -9 "$1"
    wait_exit "$WATCHER_PID" 5000
    check "the compositor killed, the watcher ends with status 0 ($EXIT_STATUS, after $WAITED_MS ms)" \
        test "$EXIT_STATUS" = 0 -a "$WAITED_MS" -le 2000
    check "saying so" grep -q 'idle: lost the connection to the Wayland compositor (' "$LOG"
    local left=none
    saver_running && left=some
    check "no saver is left ($left)" test "$left" = none
}

# show_log: the watcher's log, without the savers' per-frame lines, after a failure.
show_log() {
    [ "$FAILURES" -gt 0 ] && grep -v ' view=' "$LOG" | sed 's/^/    log: /' | tail -25
    return 0
}
