# The idle watcher on headless sway 1.7, which offers org_kde_kwin_idle only, with two outputs:
# `tavrin --idle-watch --after 2s` starts the saver on both outputs 2 s after the last input, a
# key press ends it, it comes again after the next idle period, a window's idle inhibitor keeps
# it away until released, and killing sway ends the watcher with status 0 and no saver left.
# Before that, on headless weston, which has no idle protocol, the watcher ends with status 1 and
# says what the compositor lacks.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/idle_watch_wayland.sh"

for tool in sway weston setpriv wtype; do
    command -v "$tool" >/dev/null || skip "needs $tool (packages sway, weston, util-linux, wtype)"
done
[ -x "${TAVRIN_WL_IDLE_INHIBIT:-}" ] || skip "needs the test tool tavrin_wl_idle_inhibit (TAVRIN_WL_IDLE_INHIBIT)"

start_sway "output HEADLESS-1 mode 1024x600 position 0 0
output HEADLESS-2 mode 800x600 position 1024 0"
check "sway runs headless with two outputs ($WAYLAND_SOCKET_NAME)" test -n "$WAYLAND_SOCKET_NAME"
[ -n "$WAYLAND_SOCKET_NAME" ] || finish
cp "$TAVRIN_WL_IDLE_INHIBIT" "$SANDBOX/bin/inhibit"
chmod a+rx "$SANDBOX/bin/inhibit"

# weston, headless, as the user of sway, in a runtime folder of its own.
mkdir -p "$SANDBOX/weston"
chmod 700 "$SANDBOX/weston"
run_unprivileged "$SANDBOX/weston"
WESTON_ENV=("${AS_USER[@]}" env -i PATH=/usr/bin:/bin HOME="$SANDBOX/out" XDG_RUNTIME_DIR="$SANDBOX/weston")
"${WESTON_ENV[@]}" weston --backend=headless-backend.so --socket=wayland-weston >"$WORK/weston.log" 2>&1 &
WESTON_PID=$!
at_exit 'kill $WESTON_PID 2>/dev/null; wait $WESTON_PID 2>/dev/null'
for _ in $(seq 100); do [ -S "$SANDBOX/weston/wayland-weston" ] && break; sleep 0.1; done
run_status 1 "on weston, without an idle protocol, the watcher ends" \
    "${WESTON_ENV[@]}" WAYLAND_DISPLAY=wayland-weston "$SANDBOX/bin/tavrin" --idle-watch --after 2s --log-stderr
check "saying what the compositor lacks" \
    grep -q 'the Wayland compositor offers neither ext_idle_notifier_v1 nor org_kde_kwin_idle' "$WORK/err"
kill "$WESTON_PID"

CLIENT=("${SWAY_ENV[@]}")
# wtype adds a keyboard to the seat and waits 0.8 s, so that a saver has bound it, before the key.
press_key() { sway_run wtype -s 800 a; }

start_watcher
check "the watcher uses org_kde_kwin_idle" grep -q 'through org_kde_kwin_idle$' "$LOG"
saver_comes 1 "$(stamp_of 'watching for' 1)" "first idle period"
key_ends_saver 1
saver_comes 2 "$LAST_INPUT" "next idle period"
key_ends_saver 2
inhibitor_holds_off
compositor_killed "$SWAY_PID"

show_log
finish
