# The settings window's "Start Tavrin after [N] minutes of inactivity": turned on (Alt+S), it saves
# the setting, writes the autostart entry and starts the idle watcher at once; turned off, it saves
# the setting, removes the entry and the watcher ends. A running watcher takes up new minutes from
# the settings file, and a second watcher of the session ends at once.
. "$(dirname "$0")/lib.sh"

command -v xdotool >/dev/null || skip "needs xdotool"
command -v dbus-daemon >/dev/null || skip "needs dbus-daemon"
start_xvfb main 1024x768 -noreset || exit 1
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS="${bus%%$'\n'*}"
at_exit "kill ${bus##*$'\n'} 2>/dev/null"
at_exit 'pkill -f -- "^$TAVRIN --idle-watch" 2>/dev/null'

conf="$XDG_CONFIG_HOME/org.tavrin.screensaver.conf"
entry="$XDG_CONFIG_HOME/autostart/tavrin-idle-watch.desktop"
watchers() { pgrep -f -- "^$TAVRIN --idle-watch" | xargs; }
watcher_runs() { test -n "$(watchers)"; }
no_watcher() { test -z "$(watchers)"; }

"$TAVRIN" --settings --log-stderr >"$WORK/settings.out" 2>"$WORK/settings.err" &
settings=$!
at_exit "kill $settings 2>/dev/null"
window=$(timeout 20 xdotool search --sync --name "Tavrin Screen Saver" | head -1)
[ -n "$window" ] || { fail "the settings window did not appear"; finish; }
xdotool windowfocus --sync "$window"

xdotool key alt+s
check "on: the autostart entry is written" wait_until 5 test -f "$entry"
check "on: it starts the watcher of this program" grep -qx "Exec=$TAVRIN --idle-watch" "$entry"
if command -v desktop-file-validate >/dev/null; then
    check "on: the entry is a valid desktop entry" desktop-file-validate "$entry"
fi
check "on: the setting is saved" grep -qx "StartOnIdle=true" "$conf"
check "on: a watcher runs" wait_until 5 watcher_runs
sleep 1
first=$(watchers)
check "on: the watcher stays (got '$first')" test "$(echo "$first" | wc -w)" -eq 1

run_status 0 "a second watcher of the session ends at once" timeout 5 "$TAVRIN" --idle-watch
check "the second watcher names the first" grep -q "already runs in this session (process $first)" "$WORK/err"

# The watcher follows the file: new minutes apply without a restart.
sed -i 's/^IdleMinutes=.*/IdleMinutes=25/' "$conf"
check "the watcher takes up new minutes" wait_until 5 grep -q "now watching for 25 minutes" "$WORK/settings.err"

xdotool key alt+s
check "off: the autostart entry is removed" wait_until 5 test ! -e "$entry"
check "off: the setting is saved" grep -qx "StartOnIdle=false" "$conf"
check "off: the watcher ends" wait_until 5 no_watcher
check "off: the watcher says why" grep -q "starting on idle was turned off" "$WORK/settings.err"
check "the other settings were left alone" test "$(grep -c = "$conf")" -eq 2

kill "$settings"
# Gone before the next window is looked for, so that its window is never the one found.
wait "$settings" 2>/dev/null

# Where the watcher cannot run (here: a Wayland session whose compositor is not there), the
# window says so after turning the switch on.
WAYLAND_DISPLAY=nothing-here QT_QPA_PLATFORM=xcb "$TAVRIN" --settings --log-stderr >/dev/null 2>"$WORK/lost.err" &
lost=$!
at_exit "kill $lost 2>/dev/null"
window=$(timeout 20 xdotool search --sync --pid "$lost" --name "Tavrin Screen Saver" | head -1)
xdotool windowfocus --sync "$window"
xdotool key alt+s
check "without an idle source the window says that no watcher runs" \
    wait_until 10 grep -q "the idle watcher started by the settings window is not running" "$WORK/lost.err"
check "... and the watcher said why" grep -q "no idle source in this session" "$WORK/lost.err"

if [ "$FAILURES" -gt 0 ]; then
    sed 's/^/    settings: /' "$WORK/settings.err" | grep -v lifecycle | tail -15
    sed 's/^/    lost: /' "$WORK/lost.err" | grep -v lifecycle | tail -15
fi
finish
