# The idle watcher under GNOME's own screen shield and dark displays: `tavrin --idle-watch --after
# 2s` on headless GNOME Shell 43 (gnome_fixture.sh, whose GDM stand-in lets the shell have its
# shield). The shield raised over a running saver ends it within a second of its ActiveChanged;
# under the locked shield no saver starts, however idle the user; once the shield is down the saver
# comes again after a full idle period; Mutter's displays turned off (PowerSaveMode) end it too. A
# saver started by hand under the lock is stepped once a second.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/gnome_fixture.sh"

if reason=$(gnome_missing); then skip "$reason"; fi

new_sandbox shield
LOG="$WORK/watcher.err"
WATCHER_PID=""
at_exit '[ -n "$WATCHER_PID" ] && kill -9 $WATCHER_PID 2>/dev/null; pkill -KILL -f "^$SANDBOX/bin/tavrin" 2>/dev/null
    gnome_stop; rm -rf "$SANDBOX"'

if ! gnome_start "$SANDBOX/gnome"; then
    fail "GNOME Shell runs headless"
    finish
fi
pass "GNOME Shell runs headless (up in $GNOME_STARTUP_MS ms)"

savers_started() { grep -c 'started the screen saver' "$LOG"; }
saver_pid() { grep -o 'started the screen saver (process [0-9]*' "$LOG" | sed -n "$1p" | grep -o '[0-9]*$'; }
now_ns() { date +%s%N; }
# gone_at PID SECONDS: waits until the process has gone and prints when it was seen gone, in ns.
gone_at() {
    local deadline=$((SECONDS + $2))
    while kill -0 "$1" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.01
    done
    now_ns
}
# no_new_saver_within COUNT SECONDS: no more than COUNT savers have started after that long.
no_new_saver_within() {
    ! wait_until "$2" test "$(savers_started)" -gt "$1"
}
display_power() {
    "${GNOME_ENV[@]}" "${AS_USER[@]}" dbus-send --session --print-reply --dest=org.gnome.Mutter.DisplayConfig \
        /org/gnome/Mutter/DisplayConfig org.freedesktop.DBus.Properties.Set string:org.gnome.Mutter.DisplayConfig \
        string:PowerSaveMode variant:int32:"$1" >/dev/null
}

gnome_input key
"${GNOME_ENV[@]}" XDG_CONFIG_HOME="$SANDBOX/out/config" TAVRIN_RESOURCE_DIR="$SANDBOX/resources" "${AS_USER[@]}" \
    "$SANDBOX/bin/tavrin" --idle-watch --after 2s --log-stderr >"$WORK/watcher.out" 2>"$LOG" &
WATCHER_PID=$!
check "the watcher follows GNOME's screen shield and Mutter's display power" \
    wait_for_line "$LOG" "following GNOME's screen shield (org.gnome.ScreenSaver); Mutter's display power" 1 20

# 1. The shield over a running saver ends it within a second of the shield's signal.
wait_for_line "$LOG" 'started the screen saver' 1 20
first=$(saver_pid 1)
signal=$(gnome_bus shield on)
gone=$(gone_at "${first:-0}" 10)
took=$(((${gone:-0} - ${signal:-0}) / 1000000))
check "the shield ends the running saver within 1 s of ActiveChanged (${took} ms)" \
    test -n "$signal" -a -n "$gone" -a "$took" -le 1000
check "saying why" grep -q "GNOME's screen shield is up: ending the screen saver (process $first)" "$LOG"

# 2. Once the shield is down the idle period counts afresh: the saver comes after it.
down=$(gnome_bus shield off)
wait_for_line "$LOG" 'started the screen saver' 2 10
after=$((($(now_ns) - ${down:-0}) / 1000000))
check "the saver comes again a full idle period after the shield (after $after ms)" \
    test "$(savers_started)" -eq 2 -a "$after" -ge 1900

# 3. The locked shield ends it, and while it is up the next idle period starts none; a saver
# started under it anyway costs one step a second.
second=$(saver_pid 2)
gnome_bus shield lock >/dev/null
check "the lock ends the saver" test -n "$(gone_at "${second:-0}" 10)"
gnome_input move
check "an idle period under the lock is passed over" \
    wait_for_line "$LOG" "idle for 2 seconds: no screen saver starts while GNOME's screen shield is up" 1 10
check "and no saver starts under it (3 s)" no_new_saver_within 2 3
# A saver started by hand under the lock: its views find themselves off screen (Mutter answers no
# frame of theirs) and are stepped once a second, not thirty times.
"${GNOME_ENV[@]}" TAVRIN_RESOURCE_DIR="$SANDBOX/resources" "${AS_USER[@]}" "$SANDBOX/bin/tavrin" --log-stderr \
    --trace "$SANDBOX/out/hidden.jsonl" >/dev/null 2>"$WORK/hidden.err" &
hidden=$!
check "a saver under the lock finds its views off screen" wait_for_line "$WORK/hidden.err" "onScreen=0" 2 10
steps=$(wc -l <"$SANDBOX/out/hidden.jsonl")
sleep 3
steps=$(($(wc -l <"$SANDBOX/out/hidden.jsonl") - steps))
check "and steps them at most once a second ($steps steps of two views in 3 s)" test "$steps" -le 10
kill "$hidden"
wait "$hidden" 2>/dev/null
gnome_bus shield off >/dev/null
check "after the unlock it comes again" wait_for_line "$LOG" 'started the screen saver' 3 10

# 4. Mutter's displays off end it; on again, the idle period counts afresh.
third=$(saver_pid 3)
display_power 3
check "the displays turned off end the saver" test -n "$(gone_at "${third:-0}" 10)"
check "saying why" grep -q "every display is dark (Mutter's power saving: off): ending the screen saver" "$LOG"
display_power 0
check "with the displays on it comes again" wait_for_line "$LOG" 'started the screen saver' 4 10

check "no saver crashed" bash -c "! grep -q 'crashed' '$LOG'"
kill "$WATCHER_PID"
wait_exit "$WATCHER_PID" 10000
[ "$EXIT_STATUS" = running ] || WATCHER_PID=""
if [ "$FAILURES" -gt 0 ]; then
    grep -v ' view=' "$LOG" | sed 's/^/    tavrin: /' | tail -20
    tail -5 "$SANDBOX/gnome/shell.log" | sed 's/^/    gnome-shell: /'
fi
finish
