# The saver started by the real idle manager: `swayidle -w timeout 2 'tavrin'` on headless sway.
# It appears after two seconds without input, a key press ends it, and it appears again after
# the next idle period; swayidle never kills its command, so the saver's own stop ends it, and
# no process of it is left afterwards.
. "$(dirname "$0")/lib.sh"

for tool in sway swayidle setpriv wtype; do
    command -v "$tool" >/dev/null || skip "needs $tool (packages sway, swayidle, wtype, util-linux)"
done

start_sway "output HEADLESS-1 mode 1024x600 position 0 0"
check "sway runs headless with its socket ($WAYLAND_SOCKET_NAME)" test -n "$WAYLAND_SOCKET_NAME"
[ -n "$WAYLAND_SOCKET_NAME" ] || finish

LOG="$SANDBOX/out/saver.log"
started=$(date +%s%N)
"${SWAY_ENV[@]}" swayidle -w timeout 2 "'$SANDBOX/bin/tavrin' --log-stderr 2>>'$LOG'" >"$WORK/swayidle.log" 2>&1 &
IDLE_PID=$!
at_exit 'kill $IDLE_PID 2>/dev/null; pkill -KILL -f "^$SANDBOX/bin/tavrin" 2>/dev/null'

savers() { pgrep -f "^$SANDBOX/bin/tavrin" | wc -l; }
wait_for_line "$LOG" 'first frame of' 1 10
appeared=$((($(date +%s%N) - started) / 1000000))
check "the saver appears after 2 s without input (first frame after $appeared ms)" \
    test "$appeared" -ge 1900 -a "$appeared" -le 5000
check "drawn through layer-shell" grep -q 'layer-shell surfaces of our own' "$LOG"

sway_run wtype -s 800 a
for _ in $(seq 20); do [ "$(savers)" = 0 ] && break; sleep 0.05; done
check "a key press ends it" test "$(savers)" = 0
check "with status 0 and its own stop" grep -q 'stopping the screen saver: key press' "$LOG"

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
fi
finish
