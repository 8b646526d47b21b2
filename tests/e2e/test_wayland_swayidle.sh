# The saver started by the real idle manager, with README's swayidle line for sway's config as it
# stands there, its timeouts cut from 600 and 1200 s to 2 and 5 s: the saver appears after 2 s
# without input, the later timeout turns the displays off while it still runs (with a command
# this sway takes), a key press ends it and turns them on again, and it appears again after the
# next idle period. swayidle never kills its command, so the saver's own stop ends it, and no
# process of it is left afterwards.
. "$(dirname "$0")/lib.sh"

for tool in sway swayidle swaymsg setpriv wtype; do
    command -v "$tool" >/dev/null || skip "needs $tool (packages sway, swayidle, wtype, util-linux)"
done

# What follows `exec` in README's sway recipe, its continuation lines joined: sway runs it through
# sh -c, and so does this test.
README="${TAVRIN_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}/README.md"
recipe=$(awk '/^ +exec swayidle /, !/\\$/' "$README" | sed -e 's/^ *//' -e 's/ *\\$//' | paste -sd' ' |
    sed 's/^exec //')
command=$(echo "$recipe" | sed -e 's/ timeout 600 / timeout 2 /' -e 's/ timeout 1200 / timeout 5 /')
check "README's swayidle line has a timeout of 600 s, then one of 1200 s ($recipe)" \
    grep -q ' timeout 2 .* timeout 5 ' <<<"$command"
[ "$FAILURES" = 0 ] || finish

start_sway "output HEADLESS-1 mode 1024x600 position 0 0"
check "sway runs headless with its socket ($WAYLAND_SOCKET_NAME)" test -n "$WAYLAND_SOCKET_NAME"
[ -n "$WAYLAND_SOCKET_NAME" ] || finish

# On the recipe's PATH, `tavrin` is the program with its log kept in $LOG, and `swaymsg` is sway's
# with each call noted in $CALLS, with sway's answer. (Sway's headless outputs report themselves
# on whatever they were told, so the answer is what tells.)
LOG="$SANDBOX/out/saver.log"
CALLS="$SANDBOX/out/swaymsg.calls"
mkdir -p "$SANDBOX/path"
printf '#!/bin/sh\nexec %s --log-stderr "$@" 2>>%s\n' "'$SANDBOX/bin/tavrin'" "'$LOG'" >"$SANDBOX/path/tavrin"
printf '#!/bin/sh\nanswer=$(/usr/bin/swaymsg "$@")\nstatus=$?\necho "$* -> $(echo $answer)" >>%s\nexit $status\n' \
    "'$CALLS'" >"$SANDBOX/path/swaymsg"
chmod -R a+rx "$SANDBOX/path"

started=$(date +%s%N)
"${SWAY_ENV[@]}" PATH="$SANDBOX/path:/usr/bin:/bin" sh -c "exec $command" >"$WORK/swayidle.log" 2>&1 &
IDLE_PID=$!
at_exit 'kill $IDLE_PID 2>/dev/null; pkill -KILL -f "^$SANDBOX/bin/tavrin" 2>/dev/null'
since_start() { echo $((($(date +%s%N) - started) / 1000000)); }
savers() { pgrep -f "^$SANDBOX/bin/tavrin" | wc -l; }

wait_for_line "$LOG" 'first frame of' 1 10
appeared=$(since_start)
check "the saver appears after 2 s without input (first frame after $appeared ms)" \
    test "$appeared" -ge 1900 -a "$appeared" -le 5000
check "drawn through layer-shell" grep -q 'layer-shell surfaces of our own' "$LOG"

wait_for_line "$CALLS" ' off -> ' 1 15
off=$(since_start)
check "the later timeout turns the displays off while the saver runs (after $off ms, $(savers) saver running)" \
    test "$off" -ge 4900 -a "$off" -le 15000 -a "$(savers)" = 1
check "with a command this sway takes ($(grep ' off -> ' "$CALLS"))" grep -q ' off -> .*"success": true' "$CALLS"

sway_run wtype -s 800 a
for _ in $(seq 20); do [ "$(savers)" = 0 ] && break; sleep 0.05; done
check "a key press ends the saver" test "$(savers)" = 0
check "with its own stop" grep -q 'stopping the screen saver: key press' "$LOG"
wait_for_line "$CALLS" ' on -> ' 1 5
check "and turns the displays on again ($(grep ' on -> ' "$CALLS"))" grep -q ' on -> .*"success": true' "$CALLS"

wait_for_line "$LOG" 'first frame of' 2 8
check "it appears again after the next idle period" test "$(grep -c 'first frame of' "$LOG")" -ge 2
sway_run wtype -s 800 b
for _ in $(seq 20); do [ "$(savers)" = 0 ] && break; sleep 0.05; done
kill "$IDLE_PID"
wait "$IDLE_PID" 2>/dev/null
sleep 0.2
check "no process of the saver is left ($(savers))" test "$(savers)" = 0

if [ "$FAILURES" -gt 0 ]; then
    grep -v ' view=' "$LOG" | sed 's/^/    tavrin: /' | tail -10
    sed 's/^/    swayidle: /' "$WORK/swayidle.log" | tail -5
    sed 's/^/    swaymsg: /' "$CALLS" 2>/dev/null | tail -5
fi
finish
