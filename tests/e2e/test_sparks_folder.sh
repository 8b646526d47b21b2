# Sparks between two hacks through a folder that a careless or hostile process of the same user
# has filled: 1,000 junk entries, 150 sockets of ended processes and 50 sockets that never read,
# their queues full from the start. Each hack runs in a pid namespace of its own, so both are
# process 1 and each sees the other as process 0: both sockets are there, sparks cross both ways,
# the stale sockets are removed and the junk is left, and each hack names every socket that never
# reads once in its log. Last, a hack given another user's runtime folder, open to all, says why it
# passes it over, uses /tmp/tavrin-<uid> instead, and takes its socket away when it ends.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
for tool in Xvfb xrandr; do command -v "$tool" >/dev/null || skip "needs $tool"; done
python3 -c 'import ctypes; ctypes.CDLL("libX11.so.6")' 2>/dev/null || skip "needs libX11"
unset QT_QPA_PLATFORM

# A pid namespace per hack: as root directly, else in a user namespace of its own. SIGKILL reaches
# a hack when its unshare ends.
NS=()
if unshare --pid --fork true 2>/dev/null; then
    NS=(unshare --pid --fork --kill-child)
elif unshare --user --map-root-user --pid --fork true 2>/dev/null; then
    NS=(unshare --user --map-root-user --pid --fork --kill-child)
else
    echo "note: no pid namespaces on this machine; the hacks keep their own process ids"
fi

# Four monitors in a row, hacks on the middle two: a hack sends a leak whenever a sprite meets an
# edge with a neighbour, and gives up on a peer that is full at two sends a second apart. With seed
# 102 the left hack's sprites meet its right edge at frames 7 and 43; with seed 155 the right
# hack's meet its left edge at frame 134 and its right one at 171.
W=640 H=360 JUNK=1000 STALE=150 SILENT=50
start_xvfb server "$((4 * W))x$H" -noreset
for m in 0 1 2 3; do
    xrandr --setmonitor "M$m" "$W/169x$H/95+$((m * W))+0" "$([ $m -eq 0 ] && echo screen || echo none)" >/dev/null
done
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
PIDS=()
at_exit 'kill -9 "${PIDS[@]}" 2>/dev/null'

mkfifo "$WORK/windows.in" "$WORK/hostile.in"
exec 8<>"$WORK/windows.in" 9<>"$WORK/hostile.in"
for side in 0 1; do
    python3 "$HERE/x11_window.py" "$W" "$H" "$(((side + 1) * W))" 0 <&8 >"$WORK/window$side" &
    PIDS+=($!)
    disown
    for _ in $(seq 50); do [ -s "$WORK/window$side" ] && break; sleep 0.1; done
done
# start_hack SIDE SEED: the hack of that monitor, in a pid namespace of its own.
start_hack() {
    XSCREENSAVER_WINDOW="$(head -1 "$WORK/window$1")" "${NS[@]}" "$TAVRIN" --root --seed "$2" --log-stderr \
        --trace "$WORK/trace$1.jsonl" 2>"$WORK/hack$1.err" &
    PIDS+=($!)
    disown
}

# A first hack makes the display's folder and ends; the folder is filled before the two start.
XSCREENSAVER_WINDOW="$(head -1 "$WORK/window0")" "$TAVRIN" --root --log-stderr 2>"$WORK/probe.err" &
probe=$!
wait_until 30 grep -qs "go through the sockets in" "$WORK/probe.err"
kill -TERM "$probe"
wait_exit "$probe" 5000
FOLDER=$(grep -o "$XDG_RUNTIME_DIR/tavrin-sparks/x11-[0-9a-f]*" "$WORK/probe.err" | head -1)
[ -n "$FOLDER" ] || { fail "a hack uses a folder in the runtime folder"; cat "$WORK/probe.err"; finish; }
python3 "$HERE/hostile_folder.py" "$FOLDER" "$WORK" "$JUNK" "$STALE" "$SILENT" <&9 >"$WORK/hostile.out" &
PIDS+=($!)
disown
wait_until 60 grep -q ready "$WORK/hostile.out"

started=$(date +%s)
start_hack 0 102
wait_until 30 grep -qs "go through the sockets in" "$WORK/hack0.err"
start_hack 1 155
wait_until 30 grep -qs "go through the sockets in" "$WORK/hack1.err"
if [ ${#NS[@]} -gt 0 ]; then
    check "both hacks are process 1, each with a socket of its own ($(ls "$FOLDER" | grep '^1-' | xargs))" \
        test "$(ls "$FOLDER" | grep -c '^1-')" -eq 2
fi

# crossed: the frames of each hack, left then right, that show sparks from the other monitor.
crossed() {
    for side in 0 1; do python3 "$HERE/count_crossed.py" "$WORK/trace$side.jsonl" | awk '{ print $4 }'; done | xargs
}
both_crossed() { crossed | awk '{ exit !($1 > 0 && $2 > 0) }'; }
wait_until 40 both_crossed
check "sparks cross both ways, each hack's datagrams coming from process 0 (frames with them: $(crossed), \
after $(($(date +%s) - started)) s)" both_crossed
# left KIND: how many of the entries of that kind hostile_folder.py made are still there.
left() {
    while read -r name; do [ -e "$FOLDER/$name" ] || [ -L "$FOLDER/$name" ] && echo "$name"; done <"$WORK/$1.names" |
        wc -l
}
check "the $STALE stale sockets are removed ($(left stale) left)" test "$(left stale)" -eq 0
check "the $JUNK junk entries are left alone ($(left junk) left)" test "$(left junk)" -eq "$JUNK"

# Each hack gives up on each silent socket once its queue has stayed full for a second, and says so
# once, by name.
given_up() { grep -c "are given up" "$WORK/hack$1.err"; }
all_given_up() { [ "$(given_up 0)" -ge "$SILENT" ] && [ "$(given_up 1)" -ge "$SILENT" ]; }
wait_until 60 all_given_up
for side in 0 1; do
    once=$(while read -r name; do grep -c "socket $name are given up" "$WORK/hack$side.err"; done \
        <"$WORK/silent.names" | grep -cx 1)
    check "hack $side names each socket that never reads once ($once of $SILENT, $(given_up "$side") lines)" \
        test "$once" -eq "$SILENT" -a "$(given_up "$side")" -eq "$SILENT"
done

# A runtime folder another user may enter is passed over, with the reason; /tmp/tavrin-<uid> serves.
OPEN="$WORK/open" uid=$(id -u)
mkdir "$OPEN"
chmod 777 "$OPEN"
[ "$uid" -eq 0 ] && chown 65534:65534 "$OPEN"
XDG_RUNTIME_DIR="$OPEN" XSCREENSAVER_WINDOW="$(head -1 "$WORK/window0")" "$TAVRIN" --root --log-stderr \
    2>"$WORK/hack2.err" &
HACK=$!
PIDS+=($HACK)
wait_until 30 grep -qs "go through the sockets in\|sparks stay" "$WORK/hack2.err"
reason="it \(belongs to another user\|is open to other users\)"
check "a runtime folder open to others is passed over, in one line saying why" \
    test "$(grep -c "sparks: XDG_RUNTIME_DIR $OPEN is passed over: $reason" "$WORK/hack2.err")" -eq 1
check "... and the sockets are in /tmp/tavrin-$uid" \
    grep -q "go through the sockets in /tmp/tavrin-$uid/tavrin-sparks/x11-" "$WORK/hack2.err"
check "... and nothing is made in the open folder" test -z "$(ls -A "$OPEN")"
socket=$(ls -d /tmp/tavrin-"$uid"/tavrin-sparks/x11-*/"$HACK"-* 2>/dev/null | head -1)
kill -TERM "$HACK"
wait_exit "$HACK" 5000
check "its socket $socket goes when it ends" test -n "$socket" -a ! -e "$socket"
# This display's folder goes with the test; the user's folder may serve others.
[ -n "$socket" ] && rm -rf "$(dirname "$socket")"
[ "$FAILURES" -gt 0 ] && grep -hv ' view=' "$WORK"/hack*.err | sed 's/^/    /' | tail -20
finish
