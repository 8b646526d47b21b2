# The installed theme entry under the real mate-screensaver: with the theme chosen, activating the
# screen saver runs `tavrin --root` in mate-screensaver's window, which it draws into, and
# deactivating it ends the program at once. mate-screensaver waits for its theme's process to end
# before it takes its window down, so a slow exit would hold the screen for that long.
#
# mate-screensaver runs a theme's command only if it finds it in a hack folder it knows
# (/usr/libexec/xscreensaver among them). The test installs into a sandbox and, in a mount
# namespace of its own, lays a folder over /usr/libexec/xscreensaver that holds only a link to
# the sandbox's hack; the rest of the machine never sees it. That needs root.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
BUILD="$(cd "$(dirname "$TAVRIN")" && pwd)"
for tool in mate-screensaver mate-screensaver-command dbus-daemon Xvfb xwd setpriv unshare cmake; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: needs $tool (mate-screensaver, dbus, xvfb, x11-apps, util-linux, cmake)"
        exit 77
    fi
done
if [ "$(id -u)" -ne 0 ] || [ ! -d /usr/libexec/xscreensaver ]; then
    echo "skipped: needs root and /usr/libexec/xscreensaver to show mate-screensaver the hack"
    exit 77
fi
if [ ! -f "$BUILD/cmake_install.cmake" ]; then
    echo "skipped: $BUILD is not a CMake build folder"
    exit 77
fi
unset QT_QPA_PLATFORM

SANDBOX="$(mktemp -d /tmp/tavrin-mate.XXXXXX)"
chmod 755 "$SANDBOX"
ROOT="$SANDBOX/root"
DESTDIR="$ROOT" cmake --install "$BUILD" --prefix /usr >"$WORK/install.log" 2>&1 || {
    fail "cmake --install into the sandbox"
    tail -5 "$WORK/install.log"
}
hacks=$(sed -n 's/^TAVRIN_XSCREENSAVER_HACK_DIR:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
case "$hacks" in /*) HACK="$ROOT$hacks/tavrin" ;; *) HACK="$ROOT/usr/$hacks/tavrin" ;; esac
PROGRAM="$(readlink -f "$ROOT/usr/bin/tavrin")"
THEME="$ROOT/usr/share/applications/screensavers/tavrin.desktop"
check "the theme entry is installed" test -f "$THEME"

# mate-screensaver's settings: this theme alone, no lock, no idle activation.
mkdir -p "$SANDBOX/home/.config/glib-2.0/settings"
cat >"$SANDBOX/home/.config/glib-2.0/settings/keyfile" <<'KEYS'
[org/mate/screensaver]
mode='single'
themes=['screensavers-tavrin']
lock-enabled=false
idle-activation-enabled=false
KEYS
chmod -R a+rX "$SANDBOX"
chown -R 65534:65534 "$SANDBOX/home"
AS_USER=(setpriv --reuid=65534 --regid=65534 --clear-groups)

SERVER_PID=""
BUS_PID=""
SAVER_PID=""
cleanup() {
    [ -n "$SAVER_PID" ] && kill "$SAVER_PID" 2>/dev/null
    for pid in $(program_pids); do kill -9 "$pid" 2>/dev/null; done
    [ -n "$BUS_PID" ] && kill "$BUS_PID" 2>/dev/null
    [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null
    rm -rf "$WORK" "$SANDBOX"
}
trap cleanup EXIT

program_pids() {  # the processes running the sandbox's program
    local p
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$PROGRAM" ] && echo "${p#/proc/}"
    done
}

Xvfb -displayfd 7 -screen 0 1920x1080x24 -noreset -nolisten tcp 7>"$WORK/displayfd" >/dev/null 2>"$WORK/xvfb.log" &
SERVER_PID=$!
for _ in $(seq 50); do [ -s "$WORK/displayfd" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$WORK/displayfd")"

ENVIRONMENT=(env -i HOME="$SANDBOX/home" DISPLAY="$DISPLAY" PATH="$ROOT/usr/bin:/usr/bin:/bin"
    XDG_CONFIG_HOME="$SANDBOX/home/.config" XDG_DATA_DIRS="$ROOT/usr/share:/usr/share"
    XDG_CURRENT_DESKTOP=MATE GSETTINGS_BACKEND=keyfile NO_AT_BRIDGE=1)
"${AS_USER[@]}" dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$WORK/bus" 4>"$WORK/bus.pid"
BUS_PID=$(cat "$WORK/bus.pid")
ENVIRONMENT+=(DBUS_SESSION_BUS_ADDRESS="$(head -1 "$WORK/bus")")
command_saver() { "${ENVIRONMENT[@]}" "${AS_USER[@]}" mate-screensaver-command "$@"; }

unshare --mount sh -c 'mount -t tmpfs -o mode=755 tavrin-hacks /usr/libexec/xscreensaver &&
    ln -s "$0" /usr/libexec/xscreensaver/tavrin && exec "$@"' "$HACK" \
    "${ENVIRONMENT[@]}" "${AS_USER[@]}" mate-screensaver --no-daemon --debug >"$WORK/saver.log" 2>&1 &
SAVER_PID=$!
for _ in $(seq 100); do command_saver --query >/dev/null 2>&1 && break; sleep 0.1; done
command_saver --query >"$WORK/query" 2>&1
check "mate-screensaver answers on the session bus" test $? -eq 0

command_saver --activate >/dev/null 2>&1
pids=""
for _ in $(seq 100); do
    pids=$(program_pids)
    [ -n "$pids" ] && break
    sleep 0.1
done
check "activating runs the theme's program (${pids:-none})" test "$(echo "$pids" | wc -w)" -eq 1
if [ -n "$pids" ]; then
    pid=$(echo "$pids" | head -1)
    check "... as 'tavrin --root' with the window in XSCREENSAVER_WINDOW" bash -c \
        "[ \"\$(tr '\\0' ' ' </proc/$pid/cmdline)\" = 'tavrin --root ' ] &&
         tr '\\0' '\\n' </proc/$pid/environ | grep -q '^XSCREENSAVER_WINDOW=0x'"
    sleep 3
    "$TAVRIN" --render "$WORK/probe" --frames 30 --every 30 --size 320x180 >/dev/null 2>&1
    set -- $(png_pixels "$WORK/probe/display0-frame00030.png" 2>/dev/null)
    if [ "${3:-0}" -gt 0 ]; then
        xwd -root -silent >"$WORK/root.xwd"
        lit=$(python3 "$HERE/xwd_lit.py" 0,0,1920,1080 <"$WORK/root.xwd")
        check "the screen is drawn on (${lit:-0} lit pixels)" test "${lit:-0}" -gt 1000
    else
        echo "note: this build draws nothing headless either; the picture check is left out"
    fi

    start=$(date +%s%N)
    command_saver --deactivate >/dev/null 2>&1
    # The screen saver's window goes once the program has ended: ask until it answers inactive.
    for _ in $(seq 100); do
        command_saver --query 2>/dev/null | grep -q "is inactive" && ! kill -0 "$pid" 2>/dev/null && break
        sleep 0.05
    done
    ms=$((($(date +%s%N) - start) / 1000000))
    check "deactivating ends the program and the screen saver within 1.5 s (${ms} ms)" \
        bash -c "! kill -0 $pid 2>/dev/null && [ $ms -lt 1500 ]"
fi
if [ "$FAILURES" -gt 0 ]; then
    grep -E "job|Job|theme|command" "$WORK/saver.log" | sed 's/^/    mate-screensaver: /' | tail -15
fi
command_saver --exit >/dev/null 2>&1
finish
