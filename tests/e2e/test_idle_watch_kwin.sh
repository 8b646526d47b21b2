# The idle watcher on headless KWin 5.27 (kwin_fixture.sh), which offers ext_idle_notifier_v1 and
# org_kde_kwin_idle, with two outputs: `tavrin --idle-watch --after 2s` takes ext_idle_notifier_v1,
# starts the saver on both outputs 2 s after the last input, a key press (KWin's fake input) ends
# it, it comes again after the next idle period, a window's idle inhibitor keeps it away until
# released, and killing KWin ends the watcher with status 0 and no saver left.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/kwin_fixture.sh"
. "$(dirname "$0")/idle_watch_wayland.sh"

if reason=$(kwin_missing); then skip "$reason"; fi
[ -x "${TAVRIN_KWIN_FAKE_INPUT:-}" ] || skip "needs the test tool tavrin_kwin_fake_input (package plasma-wayland-protocols)"
[ -x "${TAVRIN_WL_IDLE_INHIBIT:-}" ] || skip "needs the test tool tavrin_wl_idle_inhibit (TAVRIN_WL_IDLE_INHIBIT)"

SANDBOX="$(mktemp -d /tmp/tavrin-kwin.XXXXXX)"
chmod 755 "$SANDBOX"
mkdir -p "$SANDBOX/bin" "$SANDBOX/out"
cp "$TAVRIN" "$SANDBOX/bin/tavrin"
cp "$TAVRIN_KWIN_FAKE_INPUT" "$SANDBOX/bin/fake_input"
cp "$TAVRIN_WL_IDLE_INHIBIT" "$SANDBOX/bin/inhibit"
chmod -R a+rX "$SANDBOX"
run_unprivileged "$SANDBOX/out"
HOLDER_PID=""
at_exit '[ -n "$HOLDER_PID" ] && kill $HOLDER_PID 2>/dev/null; kwin_stop; rm -rf "$SANDBOX"'

if ! kwin_start "$SANDBOX/kwin" >/dev/null; then
    fail "KWin runs headless with two outputs"
    finish
fi
pass "KWin runs headless with two outputs"
CLIENT=("${KWIN_ENV[@]}" HOME="$SANDBOX/out" "${AS_USER[@]}")
# KWin's seat has its input devices only while a fake input device exists: one is held throughout.
"${CLIENT[@]}" "$SANDBOX/bin/fake_input" wait 600000 &
HOLDER_PID=$!
press_key() { "${CLIENT[@]}" "$SANDBOX/bin/fake_input" key 30; }

start_watcher
check "the watcher uses ext_idle_notifier_v1" grep -q 'through ext_idle_notifier_v1$' "$LOG"
saver_comes 1 "$(stamp_of 'watching for' 1)" "first idle period"
key_ends_saver 1
saver_comes 2 "$LAST_INPUT" "next idle period"
key_ends_saver 2
inhibitor_holds_off
compositor_killed "$KWIN_PID"

if [ "$FAILURES" -gt 0 ]; then
    show_log
    grep -v XKB "$SANDBOX/kwin/kwin.log" | sed 's/^/    kwin: /' | tail -10
fi
finish
