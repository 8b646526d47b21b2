# The idle watcher on GNOME: `tavrin --idle-watch --after 2s` on headless GNOME Shell 43 with two
# monitors (gnome_fixture.sh) takes idleness from Mutter's idle monitor. The saver appears once
# the user has been idle for two seconds, covers both monitors above the top bar, a key ends it,
# it appears again after the next idle period, a video player's idle inhibitor keeps it away
# until released, and the watcher ends with status 0 when the session bus goes.
# First, GNOME's own timers: with its defaults (blank and lock after 5 minutes) a watcher with
# Tavrin's 10 says that the saver would not be seen, and follows a change of GNOME's idle-delay;
# the settings window (on an X server of its own, in GNOME's session bus and settings) offers the
# two fixes, and each writes what it says: GNOME's idle-delay as `gsettings` sees it, Tavrin's
# minutes in its settings file.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/gnome_fixture.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
if reason=$(gnome_missing); then skip "$reason"; fi
for tool in Xvfb xdotool gsettings; do
    command -v "$tool" >/dev/null || skip "needs $tool (xvfb, xdotool, libglib2.0-bin)"
done

new_sandbox gnome
OUT="$SANDBOX/out"
LOG="$WORK/watcher.err"
WATCHER_PID=""
at_exit '[ -n "$WATCHER_PID" ] && kill -9 $WATCHER_PID 2>/dev/null; pkill -KILL -f "^$SANDBOX/bin/tavrin" 2>/dev/null
    gnome_stop; rm -rf "$SANDBOX"'

if ! gnome_start "$SANDBOX/gnome"; then
    fail "GNOME Shell runs headless with two monitors"
    finish
fi
pass "GNOME Shell runs headless with two monitors (up in $GNOME_STARTUP_MS ms)"
gnome_bus shot 0 0 1280 32 "$OUT/top-bar.png"

# savers_started: how many savers the watcher has started; saver_pid N: the process id of the Nth.
savers_started() { grep -c 'started the screen saver' "$LOG"; }
saver_pid() { grep -o 'started the screen saver (process [0-9]*' "$LOG" | sed -n "$1p" | grep -o '[0-9]*$'; }
# views_in TRACE SECONDS: waits until the trace holds frames of two displays; prints them.
views_in() {
    local deadline=$((SECONDS + $2)) views
    while :; do
        views=$(grep -o '^{"display":[0-9]*' "$1" 2>/dev/null | sort -u | grep -o '[0-9]*$' | xargs)
        [ "$views" = "0 1" ] || [ "$SECONDS" -ge "$deadline" ] && break
        sleep 0.1
    done
    echo "$views"
}
# ends_within PID SECONDS: waits until the process has gone.
ends_within() {
    local deadline=$((SECONDS + $2))
    while kill -0 "$1" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}
# no_new_saver_within COUNT SECONDS: polls that long and succeeds when no more than COUNT savers
# have been started.
no_new_saver_within() {
    local deadline=$((SECONDS + $2))
    while [ "$SECONDS" -lt "$deadline" ]; do
        [ "$(savers_started)" -gt "$1" ] && return 1
        sleep 0.1
    done
    [ "$(savers_started)" -le "$1" ]
}

# --- GNOME's own timers. ---
gsettings_as_user() { "${GNOME_ENV[@]}" "${AS_USER[@]}" gsettings "$@"; }
"${GNOME_ENV[@]}" XDG_CURRENT_DESKTOP=GNOME "${AS_USER[@]}" "$SANDBOX/bin/tavrin" --idle-watch --log-stderr \
    >/dev/null 2>"$WORK/defaults.err" &
defaults=$!
check "with GNOME's defaults the watcher says that GNOME hides the saver" wait_for_line "$WORK/defaults.err" \
    "GNOME blanks and locks the screen after 5 minutes, before Tavrin's 10: the screen saver would not be seen" 1 20
gsettings_as_user set org.gnome.desktop.session idle-delay 1200
check "and that it no longer does once GNOME's idle-delay is 20 minutes" wait_for_line "$WORK/defaults.err" \
    "GNOME blanks and locks the screen.* after 20 minutes, after Tavrin's 10" 1 10
kill "$defaults"
wait "$defaults"
gsettings_as_user reset org.gnome.desktop.session idle-delay

start_xvfb settings 800x600 -noreset
"${GNOME_ENV[@]}" XDG_CURRENT_DESKTOP=GNOME DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
    TAVRIN_RESOURCE_DIR="$SANDBOX/resources" "${AS_USER[@]}" "$SANDBOX/bin/tavrin" --settings --log-stderr \
    >/dev/null 2>"$WORK/settings.err" &
SETTINGS_PID=$!
at_exit 'kill $SETTINGS_PID 2>/dev/null'
window=$(timeout 20 xdotool search --sync --name "Tavrin Screen Saver" | head -1)
xdotool windowfocus --sync "$window"
idle_delay() { gsettings_as_user get org.gnome.desktop.session idle-delay; }
# Alt+B: "Let GNOME blank after 20 minutes", pressed until GNOME has it.
gnome_waits() { xdotool key alt+b; test "$(idle_delay)" = "uint32 1200"; }
check "'Let GNOME blank after 20 minutes' sets GNOME's idle-delay" wait_until 10 gnome_waits
# GNOME's own change back brings the line and its buttons again; Alt+T: "Start Tavrin after 4
# minutes", pressed until the row offers it.
gsettings_as_user set org.gnome.desktop.session idle-delay 300
conf="$SANDBOX/gnome/home/.config/org.tavrin.screensaver.conf"
minutes_saved() { xdotool key alt+t; grep -qx "IdleMinutes=4" "$conf" 2>/dev/null; }
check "after GNOME's own change, 'Start Tavrin after 4 minutes' saves Tavrin's minutes" wait_until 10 minutes_saved
kill "$SETTINGS_PID"
stop_xvfb settings
unset DISPLAY

gnome_input key # the idle time counts from here
"${GNOME_ENV[@]}" XDG_CONFIG_HOME="$OUT/config" TAVRIN_RESOURCE_DIR="$SANDBOX/resources" "${AS_USER[@]}" \
    "$SANDBOX/bin/tavrin" --idle-watch --after 2s --log-stderr --trace "$OUT/trace-%p.jsonl" >"$WORK/watcher.out" \
    2>"$LOG" &
WATCHER_PID=$!

# Mutter's idle time when the first frame shows: the timeout plus the saver's way to its frame.
idle_ms=$(gnome_bus first-frame "$OUT/trace-*.jsonl" 20)
check "the watcher takes idleness from Mutter's idle monitor" grep -q "through Mutter's idle monitor" "$LOG"
check "the saver appears 2 s after the last input (first frame ${idle_ms:-never} ms after it)" \
    test "${idle_ms:-0}" -ge 2000 -a "${idle_ms:-0}" -le 8000
first=$(saver_pid 1)
views=$(views_in "$OUT/trace-$first.jsonl" 10)
check "it draws a view on each monitor (displays: $views)" test "$views" = "0 1"
check "on fullscreen toplevels of its own" grep -q 'Wayland: fullscreen toplevels of our own on every output' "$LOG"

# Both monitors show the scene: mostly black (the desktop is blue), with the sprites and stars lit;
# and the top bar's texts are gone. Screenshots are taken until they do, at most 10 s.
# screens: prints "BLACK% LIT" of each monitor, then of the top bar's lit pixels how many are
# unchanged and how many there are.
screens() {
    gnome_bus shot 0 0 1280 720 "$OUT/left.png" && gnome_bus shot 1280 0 1280 720 "$OUT/right.png" || return
    HERE="$HERE" python3 - "$OUT" <<'PY'
import os, sys
sys.path.insert(0, os.environ["HERE"])
import png_read
out = sys.argv[1]
for name in ("left", "right"):
    pixels = [v for r in png_read.load(f"{out}/{name}.png") for v in r]
    print(100 * sum(1 for v in pixels if v < 30) // len(pixels), sum(1 for v in pixels if v > 150), end=" ")
bar = png_read.load(f"{out}/top-bar.png")
left = png_read.load(f"{out}/left.png")
texts = [(y, x) for y, r in enumerate(bar) for x, v in enumerate(r) if v > 150]
print(sum(1 for y, x in texts if left[y][x] == bar[y][x]), len(texts))
PY
}
deadline=$((SECONDS + 10))
while :; do
    read -r left_black left_lit right_black right_lit bar_kept bar_texts < <(screens)
    [ "${left_black:-0}" -ge 90 -a "${left_lit:-0}" -ge 200 -a "${right_black:-0}" -ge 90 -a \
        "${right_lit:-0}" -ge 200 -a $((10 * ${bar_kept:-1})) -lt "${bar_texts:-0}" ] && break
    [ "$SECONDS" -lt "$deadline" ] || break
    sleep 0.5
done
check "the left monitor shows the scene (${left_black:-?}% black, ${left_lit:-?} pixels lit)" \
    test "${left_black:-0}" -ge 90 -a "${left_lit:-0}" -ge 200
check "the right monitor shows the scene (${right_black:-?}% black, ${right_lit:-?} pixels lit)" \
    test "${right_black:-0}" -ge 90 -a "${right_lit:-0}" -ge 200
check "the top bar is covered (${bar_kept:-?} of its ${bar_texts:-?} lit pixels unchanged)" \
    test "${bar_texts:-0}" -ge 100 -a $((10 * ${bar_kept:-1})) -lt "${bar_texts:-0}"

started=$(date +%s%N)
gnome_input key
ends_within "$first" 10
check "a key ends it (gone after $((($(date +%s%N) - started) / 1000000)) ms)" test $? -eq 0
check "the saver saw the key" grep -q 'stopping the screen saver: key press' "$LOG"
# The saver on its own toplevels ends as soon as it stopped: the watcher, told by Mutter that the
# user is back, finds nothing left to end.
check "it ended by itself, with nothing left for the watcher to end" \
    bash -c "grep -q 'the screen saver ended\$' '$LOG' && ! grep -q 'the user is back, but' '$LOG'"

# The next idle period: from the last input after the saver has gone.
gnome_input move
wait_for_line "$LOG" 'started the screen saver' 2 10
second=$(saver_pid 2)
check "it appears again after the next idle period (displays: $(views_in "$OUT/trace-$second.jsonl" 10))" \
    test -n "$second" -a -s "$OUT/trace-$second.jsonl"

# A video player's idle inhibitor, taken while the saver runs: after a key has ended the saver,
# no other comes while the inhibitor is held (from the input after it has gone on), and one comes
# 2 s after it is released.
cookie=$("${GNOME_ENV[@]}" "${AS_USER[@]}" dbus-send --session --print-reply --dest=org.gnome.SessionManager \
    /org/gnome/SessionManager org.gnome.SessionManager.Inhibit string:video-player uint32:0 string:playing \
    uint32:8 | awk '/uint32/ { print $2 }')
# Mutter answers a call only after the inhibitor's signal, which came before it: input sent now
# finds the idle watch held however late a loaded GNOME Shell handles it.
"${GNOME_ENV[@]}" "${AS_USER[@]}" dbus-send --session --print-reply --dest=org.gnome.Mutter.IdleMonitor \
    /org/gnome/Mutter/IdleMonitor/Core org.gnome.Mutter.IdleMonitor.GetIdletime >/dev/null
gnome_input key
ends_within "${second:-0}" 10
gnome_input move
check "an idle inhibitor keeps it away (6 s)" no_new_saver_within 2 6
"${GNOME_ENV[@]}" XDG_CURRENT_DESKTOP=GNOME XDG_CONFIG_HOME="$OUT/config" "${AS_USER[@]}" "$SANDBOX/bin/tavrin" \
    --idle-status >"$WORK/status.out" 2>&1
check "--idle-status finds the watcher (status $?)" test $? = 0
check "and names the inhibitor's application and reason" \
    grep -q '^  video-player: "playing" (GNOME.s session manager)$' "$WORK/status.out"
check "and GNOME's 5 minutes" grep -q "^First: GNOME blanks and locks the screen after 5 minutes" "$WORK/status.out"
"${GNOME_ENV[@]}" "${AS_USER[@]}" dbus-send --session --print-reply --dest=org.gnome.SessionManager \
    /org/gnome/SessionManager org.gnome.SessionManager.Uninhibit uint32:"${cookie:-0}" >/dev/null
released=$(date +%s%N)
wait_for_line "$LOG" 'started the screen saver' 3 10
after_release=$((($(date +%s%N) - released) / 1000000))
check "it appears 2 s after the inhibitor is released (after $after_release ms)" \
    test "$(savers_started)" -eq 3 -a "$after_release" -ge 1900

# (Their exit status is not looked at: under LeakSanitizer, Qt 6.4's Wayland platform leaves
# allocations behind when the saver ends on SIGTERM, which makes it status 1.)
check "no saver crashed" bash -c "! grep -q 'crashed' '$LOG'"

# The session bus goes (and GNOME Shell with it): the watcher ends the saver and itself, with
# status 0.
third=$(saver_pid 3)
kill "${GNOME_BUS_PIDS[0]}"
wait_exit "$WATCHER_PID" 10000
check "the watcher ends with status 0 when the session bus goes (status $EXIT_STATUS after $WAITED_MS ms)" \
    test "$EXIT_STATUS" = 0
[ "$EXIT_STATUS" = running ] || WATCHER_PID=""
check "and ends its saver" bash -c "! kill -0 ${third:-0} 2>/dev/null"

if [ "$FAILURES" -gt 0 ]; then
    grep -v ' view=' "$LOG" | sed 's/^/    tavrin: /' | tail -20
    tail -5 "$SANDBOX/gnome/shell.log" | sed 's/^/    gnome-shell: /'
fi
finish
