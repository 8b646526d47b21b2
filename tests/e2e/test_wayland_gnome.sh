# The full-screen saver on GNOME Shell 43, headless with two monitors (gnome_fixture.sh), which has
# no layer-shell: a fullscreen toplevel of its own on each monitor, no Qt window. It takes the
# keyboard from the window that had it, covers both monitors and the top bar with exactly the
# frames it drew (damage of what changed only; a screenshot with the pointer equals its buffers,
# so the pointer is hidden too), follows a monitor that a screen cast adds and takes away (Mutter
# moves the other toplevels meanwhile), stops on a key that no application sees, gives the
# keyboard back, and ends with status 0 when the shell is killed.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/gnome_fixture.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
if reason=$(gnome_missing); then skip "$reason"; fi
for tool in pipewire wireplumber; do
    command -v "$tool" >/dev/null || skip "needs $tool (packages pipewire-bin, wireplumber)"
done
/usr/bin/python3 -c 'import gi; gi.require_version("Gst", "1.0"); gi.require_version("Gtk", "4.0")' 2>/dev/null ||
    skip "needs GStreamer and GTK 4 for Python (packages gir1.2-gstreamer-1.0, gir1.2-gtk-4.0)"

new_sandbox gnome
OUT="$SANDBOX/out"
TAVRIN_PID="" KEYS_PID="" MONITOR_PID=""
at_exit 'for pid in $TAVRIN_PID $KEYS_PID $MONITOR_PID; do kill -CONT $pid; kill -9 $pid; done 2>/dev/null
    gnome_stop; rm -rf "$SANDBOX"'

if ! gnome_start "$SANDBOX/gnome" || ! gnome_pipewire; then
    fail "GNOME Shell runs headless with two monitors, and PipeWire beside it"
    finish
fi
pass "GNOME Shell runs headless with two monitors (up in $GNOME_STARTUP_MS ms), and PipeWire beside it"

# start_saver NAME: starts the saver; its standard error goes to $WORK/NAME.err. Waits for a first
# frame on both monitors.
start_saver() {
    "${GNOME_ENV[@]}" TAVRIN_RESOURCE_DIR="$SANDBOX/resources" "${AS_USER[@]}" "$SANDBOX/bin/tavrin" --log-stderr \
        --seed 15 >"$WORK/$1.out" 2>"$WORK/$1.err" &
    TAVRIN_PID=$!
    wait_for_line "$WORK/$1.err" 'first frame of' 2 10
}
# exact MONITORS...: stops the saver, takes a screenshot of every monitor with the pointer, and
# succeeds when each monitor (0, 1, 2: 1280x720 from the left) shows exactly one of the saver's
# buffers. SHOWN says how many pixels differ on each. Tried for at most 5 s, as a compositor may
# be moving a toplevel just then.
exact() {
    local deadline=$((SECONDS + 5)) rectangles=() m status
    for m in "$@"; do rectangles+=("$((m * 1280)),0,1280,720"); done
    while :; do
        kill -STOP "$TAVRIN_PID"
        gnome_bus screen "$OUT/screen.png" &&
            SHOWN=$(/usr/bin/python3 "$HERE/shown_frames.py" "$TAVRIN_PID" "$OUT/screen.png" "${rectangles[@]}")
        status=$?
        SHOWN=$(echo $SHOWN)
        kill -CONT "$TAVRIN_PID"
        [ "$status" -eq 0 ] || [ "$SECONDS" -ge "$deadline" ] && return "$status"
        sleep 0.5
    done
}
# seen WORD: how many times the window said WORD (key, focused, unfocused).
seen() { grep -c "^$1\$" "$WORK/keys.log"; }

# A window has the keyboard, and takes keys, before the saver comes.
"${GNOME_ENV[@]}" "${AS_USER[@]}" /usr/bin/python3 "$GNOME_BUS_PY" key-window >"$WORK/keys.log" 2>&1 &
KEYS_PID=$!
wait_for_line "$WORK/keys.log" '^focused' 1 10
gnome_input key
wait_for_line "$WORK/keys.log" '^key' 1 5
check "a window has the keyboard before the saver comes (it saw $(seen key) key)" test "$(seen key)" = 1

start_saver main
check "a first frame on both monitors" test $? -eq 0
check "it says it uses fullscreen toplevels of its own" \
    grep -q 'Wayland: fullscreen toplevels of our own on every output' "$WORK/main.err"
check "it makes no Qt window (Qt's Wayland platform is not loaded)" \
    bash -c "! grep -q libqwayland /proc/$TAVRIN_PID/maps"
check "it takes the keyboard from the window" wait_for_line "$WORK/keys.log" '^unfocused' 1 5
sleep 2 # many frames, each with the damage of what changed only
exact 0 1
check "both monitors show exactly the frames it drew, top bar covered and no pointer ($SHOWN)" test $? -eq 0

# A screen cast's virtual monitor comes: a third toplevel, and Mutter moves the second toplevel
# onto the first monitor, from where it is asked back.
"${GNOME_ENV[@]}" "${AS_USER[@]}" /usr/bin/python3 "$GNOME_BUS_PY" virtual-monitor >"$WORK/monitor.log" 2>&1 &
MONITOR_PID=$!
wait_for_line "$WORK/main.err" "output 'Meta-2' .*first frame of" 1 10
check "a monitor added gets a toplevel and frames" test $? -eq 0
exact 0 1 2
check "then all three show exactly the frames it drew ($SHOWN)" test $? -eq 0
kill "$MONITOR_PID"
wait "$MONITOR_PID"
MONITOR_PID=""
wait_for_line "$WORK/main.err" "output 'Meta-2' .* removed" 1 10
check "the monitor taken away retires its toplevel" test $? -eq 0
exact 0 1
check "and the other two go on showing the frames it draws ($SHOWN)" test $? -eq 0

focused=$(seen focused)
gnome_input key
wait_exit "$TAVRIN_PID" 2000
check "a key ends it with status 0 (status $EXIT_STATUS after $WAITED_MS ms)" test "$EXIT_STATUS" = 0
check "it stopped on the key" grep -q 'stopping the screen saver: key press' "$WORK/main.err"
check "the key reached no application ($(seen key) key seen by the window)" test "$(seen key)" = 1
check "the window has the keyboard back" wait_for_line "$WORK/keys.log" '^focused' $((focused + 1)) 5

start_saver killed
{ kill -9 "$GNOME_SHELL_PID"; wait "$GNOME_SHELL_PID"; } 2>/dev/null
GNOME_SHELL_PID=""
wait_exit "$TAVRIN_PID" 3000
check "the shell killed ends it with status 0 (status $EXIT_STATUS after $WAITED_MS ms)" test "$EXIT_STATUS" = 0
TAVRIN_PID=""

if [ "$FAILURES" -gt 0 ]; then
    for f in "$WORK"/*.err; do grep -v ' view=' "$f" | sed "s|^|    $(basename "$f"): |" | tail -8; done
    tail -5 "$SANDBOX/gnome/shell.log" | sed 's/^/    gnome-shell: /'
fi
finish
