# The settings window as a screen reader finds it: on a private session bus with its own
# accessibility bus (at-spi-bus-launcher, which starts at-spi2-registryd), the running window's
# controls and those of its options sheet are found by role and name through AT-SPI, and the
# sheet opens and closes through the buttons' actions.
. "$(dirname "$0")/lib.sh"

LAUNCHER=/usr/libexec/at-spi-bus-launcher
command -v Xvfb >/dev/null || skip "needs Xvfb"
command -v dbus-daemon >/dev/null || skip "needs dbus-daemon"
[ -x "$LAUNCHER" ] || skip "needs at-spi2-core ($LAUNCHER)"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "needs python3-pyatspi"

start_xvfb main 1024x768 -noreset || exit 1
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS="${bus%%$'\n'*}"
at_exit "kill ${bus##*$'\n'} 2>/dev/null"
unset AT_SPI_BUS_ADDRESS
"$LAUNCHER" --launch-immediately >"$WORK/launcher.log" 2>&1 &
launcher=$!
at_exit "kill $launcher 2>/dev/null"

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$TAVRIN" --settings --log-stderr >"$WORK/settings.out" 2>"$WORK/settings.err" &
settings=$!
at_exit "kill $settings 2>/dev/null"

/usr/bin/python3 "$(dirname "$0")/atspi_walk.py" 30 >"$WORK/walk" 2>&1
status=$?
grep '^found' "$WORK/walk" | sed 's/^/    /'
check "every control of the window and the sheet is found by role and name" test "$status" -eq 0
grep -v '^found' "$WORK/walk" | sed 's/^/    /'
check "the window is still open" kill -0 "$settings"
if [ "$FAILURES" -gt 0 ]; then sed 's/^/    settings: /' "$WORK/settings.err" | tail -10; fi
finish
