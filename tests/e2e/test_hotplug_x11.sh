# Monitors plugged in and out of a real X server while the saver runs full screen. On Xvfb,
# `xrandr --setmonitor` and `--delmonitor` change the monitors of a running server, and Qt sees
# each change as a screen added or removed.
#  1. Two monitors; the right one is removed and added again 50 times at random intervals of 0.1
#     to 0.5 s. The program lives on with one view per monitor, draws on both halves of the
#     screen, and SIGTERM ends it with status 0.
#  2. Three monitors stacked; the middle one is removed and added again below the bottom one.
#     The trace shows that sparks then cross between the bottom monitor and its new neighbour,
#     and no longer reach the top monitor, which lost its only neighbour.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
for tool in Xvfb xrandr xwd xwininfo; do
    if ! command -v "$tool" >/dev/null; then
        skip "needs $tool (xvfb, x11-xserver-utils, x11-apps, x11-utils)"
    fi
done
unset QT_QPA_PLATFORM

PROGRAM=""
at_exit '[ -n "$PROGRAM" ] && kill -9 "$PROGRAM" 2>/dev/null'

# monitor NAME WxH+X+Y [OUTPUT]: adds a monitor (96 dpi) on the server's one output, or none.
monitor() {
    local name="$1" w h x y
    IFS='x+' read -r w h x y <<<"$2"
    xrandr --setmonitor "$name" "$w/$((w * 254 / 960))x$h/$((h * 254 / 960))+$x+$y" "${3:-none}" >/dev/null 2>&1
}

# start_program ARGS...: tavrin full screen, its log in $WORK/run.err, its pid in $PROGRAM.
start_program() {
    "$TAVRIN" --log-stderr "$@" >"$WORK/run.out" 2>"$WORK/run.err" &
    PROGRAM=$!
}

# views_shown N: waits up to 10 s for N views to have drawn a frame on screen.
views_shown() {
    for _ in $(seq 100); do
        [ "$(grep -c ' frame=0 onScreen=1' "$WORK/run.err")" -ge "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# windows_at WxH+X+Y: how many of the program's windows of that geometry are mapped.
windows_at() {
    local count=0 id
    for id in $(xwininfo -root -children | awk -v g="$1" '/"tavrin": \("tavrin"/ && index($0, " " g " ") {print $1}'); do
        xwininfo -id "$id" | grep -q 'Map State: IsViewable' && count=$((count + 1))
    done
    echo "$count"
}

# sigterm: SIGTERM to the program; its exit status in $STATUS, 124 if it still runs 15 s on.
sigterm() {
    STATUS=124
    kill -TERM "$PROGRAM" 2>/dev/null
    for _ in $(seq 150); do
        if ! kill -0 "$PROGRAM" 2>/dev/null; then
            wait "$PROGRAM"
            STATUS=$?
            PROGRAM=""
            return
        fi
        sleep 0.1
    done
}

random_pause() { sleep "$(printf '0.%03d' $((100 + RANDOM % 401)))"; }

# --- 1. Fifty unplug and replug cycles of the right monitor. ---
start_xvfb server 3840x1080 -noreset
monitor LEFT 1920x1080+0+0 screen
monitor RIGHT 1920x1080+1920+0
check "the server has two monitors" test "$(xrandr --listmonitors | head -1)" = "Monitors: 2"
start_program
check "both monitors show a view" views_shown 2
for _ in $(seq 50); do
    xrandr --delmonitor RIGHT >/dev/null 2>&1
    random_pause
    monitor RIGHT 1920x1080+1920+0
    random_pause
done
sleep 2
check "the program is alive after 50 cycles" kill -0 "$PROGRAM"
removed=$(grep -c "display 'RIGHT' removed" "$WORK/run.err")
added=$(grep -c "display 'RIGHT' added" "$WORK/run.err")
check "it saw every removal and every addition (removed $removed, added $added)" \
    test "$removed" -eq 50 -a "$added" -eq 50
last="$(grep "display 'RIGHT' added" "$WORK/run.err" | tail -1)"
check "one view per monitor after the last addition (${last##*; })" test "${last##*; }" = "2 view(s)"
check "one mapped full-screen window on each monitor" \
    test "$(windows_at 1920x1080+0+0)$(windows_at 1920x1080+1920+0)" = "11"
xwd -root -silent >"$WORK/root.xwd"
lit=($(python3 "$HERE/xwd_lit.py" 0,0,1920,1080 1920,0,1920,1080 <"$WORK/root.xwd"))
check "both halves of the screen are drawn (lit pixels: ${lit[0]:-none}, ${lit[1]:-none})" \
    test "${lit[0]:-0}" -gt 1000 -a "${lit[1]:-0}" -gt 1000
sigterm
check "SIGTERM ends it with status 0 (got $STATUS)" test "$STATUS" -eq 0
stop_xvfb server

# --- 2. The middle of three stacked monitors moves below the bottom one. ---
start_xvfb server 1920x1920 -noreset
monitor TOP 1920x480+0+0 screen
monitor MIDDLE 1920x480+0+480
monitor BOTTOM 1920x480+0+960
start_program --trace "$WORK/trace.jsonl"
check "all three monitors show a view" views_shown 3
# Views are numbered in the order they were made; which is which follows from their neighbours
# (sides: 2 bottom, 3 top).
sleep 1
roles="$(python3 "$HERE/trace_sparks.py" report "$WORK/trace.jsonl" 0 "$(stat -c %s "$WORK/trace.jsonl")")"
top=$(awk '/sides=2$/ {print $1}' <<<"$roles")
bottom=$(awk '/sides=3$/ {print $1}' <<<"$roles")
check "the top and bottom monitors' views are told apart by their neighbours ($(tr '\n' ' ' <<<"$roles"))" \
    test -n "$top" -a -n "$bottom"
check "before the move, sparks cross into the top monitor" \
    python3 "$HERE/trace_sparks.py" wait "$WORK/trace.jsonl" 0 60 "$top"

xrandr --delmonitor MIDDLE >/dev/null 2>&1
sleep 0.5
monitor MIDDLE 1920x480+0+1440
sleep 2
moved="$(stat -c %s "$WORK/trace.jsonl")"
check "after the move, sparks cross into the bottom monitor from its new neighbour below" \
    python3 "$HERE/trace_sparks.py" wait "$WORK/trace.jsonl" "$moved" 60 "$bottom"
sleep 5
after="$(python3 "$HERE/trace_sparks.py" report "$WORK/trace.jsonl" "$moved" "$(stat -c %s "$WORK/trace.jsonl")")"
check "after the move, the top monitor has no neighbour and receives no sparks ($(grep "^$top " <<<"$after"))" \
    grep -qx "$top frames=0 sides=-" <<<"$after"
check "after the move, the bottom monitor's neighbour is below it ($(grep "^$bottom " <<<"$after"))" \
    grep -q "^$bottom frames=[1-9][0-9]* sides=2$" <<<"$after"
sigterm
check "SIGTERM ends it with status 0 (got $STATUS)" test "$STATUS" -eq 0
stop_xvfb server

finish
