# The settings window: its preview is a preview view, so the program stays until it is told to go
# (a full-screen view would retire the process five seconds after it stops), and SIGTERM ends it
# at once with status 0. Settings for one run are refused there, since the window saves.
source "$(dirname "$0")/lib.sh"

run_status 2 "settings for one run are refused with --settings" "$TAVRIN" --settings --no-trails
check "the refusal says why" grep -q "cannot be combined with '--settings'" "$WORK/err"

QT_QPA_PLATFORM=offscreen "$TAVRIN" --settings --log-stderr >"$WORK/run.out" 2>"$WORK/run.err" &
pid=$!
sleep 7
if kill -0 "$pid" 2>/dev/null; then
    pass "the settings window is still open after 7 s"
else
    fail "the settings window ended by itself"
    sed 's/^/    stderr: /' "$WORK/run.err" | tail -5
fi
check "its view is a preview" grep -q "preview=1" "$WORK/run.err"
kill -TERM "$pid" 2>/dev/null
status=124
for _ in $(seq 50); do
    if ! kill -0 "$pid" 2>/dev/null; then wait "$pid"; status=$?; break; fi
    sleep 0.1
done
check "SIGTERM ends it with status 0 (got $status)" test "$status" -eq 0
check "no idle retirement happened" bash -c "! grep -q 'retiring host process' '$WORK/run.err'"
check "nothing was saved without OK" test ! -e "$XDG_CONFIG_HOME/org.tavrin.screensaver.conf"

finish
