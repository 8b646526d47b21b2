# The installed saver files under the real front-ends, on an X server with two monitors:
# - xsecurelock with XSECURELOCK_SAVER naming saver_tavrin: its saver_multiplex starts one process
#   per monitor, each draws into its monitor's window, and both end soon after the locker is told
#   to stop (SIGTERM, as `killall xsecurelock` unlocks);
# - mate-screensaver with the theme chosen runs `tavrin --root` in its window, which it draws
#   into, and deactivating ends the program at once: mate-screensaver waits for its theme's
#   process before it takes its window down, so a slow exit would hold the screen that long.
#   It runs a theme's command only if it finds it in a hack folder it knows; in a mount namespace
#   of its own (root only), a folder laid over /usr/libexec/xscreensaver holds a link to the
#   sandbox's hack, and the rest of the machine never sees it.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
BUILD="$(cd "$(dirname "$TAVRIN")" && pwd)"
for tool in Xvfb xrandr xwd setpriv cmake; do
    if ! command -v "$tool" >/dev/null; then
        skip "needs $tool (xvfb, x11-xserver-utils, x11-apps, util-linux, cmake)"
    fi
done
HAS_XSECURELOCK=$(command -v xsecurelock >/dev/null && echo 1)
HAS_MATE=$(command -v mate-screensaver >/dev/null && command -v dbus-daemon >/dev/null && command -v unshare >/dev/null &&
    [ "$(id -u)" -eq 0 ] && [ -d /usr/libexec/xscreensaver ] && echo 1)
if [ -z "$HAS_XSECURELOCK$HAS_MATE" ] || [ ! -f "$BUILD/cmake_install.cmake" ]; then
    skip "needs a CMake build folder, and xsecurelock or mate-screensaver (the latter as root)"
fi
unset QT_QPA_PLATFORM

# Installed under /usr of a sandbox that nobody may read: as root, the front-ends run as nobody.
SANDBOX="$(mktemp -d /tmp/tavrin-frontends.XXXXXX)"
chmod 755 "$SANDBOX"
ROOT="$SANDBOX/root"
DESTDIR="$ROOT" cmake --install "$BUILD" --prefix /usr >"$WORK/install.log" 2>&1 || fail "cmake --install into the sandbox"
installed() {  # installed CACHE_VARIABLE NAME: where the sandbox holds NAME in that folder
    local dir
    dir=$(sed -n "s/^$1:[A-Z]*=//p" "$BUILD/CMakeCache.txt")
    case "$dir" in /*) echo "$ROOT$dir/$2" ;; *) echo "$ROOT/usr/$dir/$2" ;; esac
}
PROGRAM="$(readlink -f "$ROOT/usr/bin/tavrin")"
mkdir -p "$SANDBOX/home/.config/glib-2.0/settings"
# mate-screensaver's settings: this theme alone, no lock, no idle activation.
cat >"$SANDBOX/home/.config/glib-2.0/settings/keyfile" <<'KEYS'
[org/mate/screensaver]
mode='single'
themes=['screensavers-tavrin']
lock-enabled=false
idle-activation-enabled=false
KEYS
chmod -R a+rX "$SANDBOX"
run_unprivileged "$SANDBOX/home"

PIDS_TO_END=()
cleanup() {
    for pid in "${PIDS_TO_END[@]}" $(program_pids); do kill "$pid" 2>/dev/null; done
    rm -rf "$SANDBOX"
}
at_exit cleanup
program_pids() {  # the processes running the sandbox's program (matched by executable)
    local p
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$PROGRAM" ] && echo "${p#/proc/}"
    done
}
wait_for_programs() {  # wait_for_programs N: the program's pids, once N of them run (10 s at most)
    local pids=""
    for _ in $(seq 100); do
        pids=$(program_pids)
        [ "$(echo "$pids" | wc -w)" -ge "$1" ] && break
        sleep 0.1
    done
    echo $pids
}
ended() {  # the process is gone or a zombie waiting for its parent
    [ ! -e "/proc/$1/stat" ] || [ "$(sed 's/^.*) //' "/proc/$1/stat" | cut -d' ' -f1)" = "Z" ]
}
lit_pixels() {  # lit_pixels X,Y,W,H...: lit pixels of each rectangle of the screen
    xwd -root -silent | python3 "$HERE/xwd_lit.py" "$@"
}

start_xvfb server 3840x1080 -noreset
two_monitors
check "the server has two monitors" test "$(xrandr --listmonitors | head -1)" = "Monitors: 2"

if [ -n "$HAS_XSECURELOCK" ]; then
    env -i HOME="$SANDBOX/home" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin \
        XSECURELOCK_SAVER="$(installed TAVRIN_XSECURELOCK_HELPER_DIR saver_tavrin)" \
        "${AS_USER[@]}" xsecurelock >"$WORK/locker.log" 2>&1 &
    locker=$!
    PIDS_TO_END+=($locker)
    pids=$(wait_for_programs 2)
    check "xsecurelock starts one saver per monitor ($pids)" test "$(echo $pids | wc -w)" -eq 2
    windows=$(for pid in $pids; do tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p'; done | sort -u)
    check "each saver has a window of its own ($(echo $windows))" test "$(echo $windows | wc -w)" -eq 2
    sleep 3
    lit=($(lit_pixels 0,0,1920,1080 1920,0,1920,1080))
    check "both monitors are drawn on (${lit[*]} lit pixels)" test "${lit[0]:-0}" -gt 1000 -a "${lit[1]:-0}" -gt 1000
    kill -TERM "$locker"
    deadline=$((SECONDS + 3))
    for pid in $pids; do
        while ! ended "$pid" && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
        check "saver $pid ends within 3 s of the unlock" ended "$pid"
    done
else
    echo "note: xsecurelock is not installed; its part is left out"
fi

if [ -n "$HAS_MATE" ]; then
    ENVIRONMENT=(env -i HOME="$SANDBOX/home" DISPLAY="$DISPLAY" PATH="$ROOT/usr/bin:/usr/bin:/bin"
        XDG_CONFIG_HOME="$SANDBOX/home/.config" XDG_DATA_DIRS="$ROOT/usr/share:/usr/share"
        XDG_CURRENT_DESKTOP=MATE GSETTINGS_BACKEND=keyfile NO_AT_BRIDGE=1)
    "${AS_USER[@]}" dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$WORK/bus" 4>"$WORK/bus.pid"
    PIDS_TO_END+=($(cat "$WORK/bus.pid"))
    ENVIRONMENT+=(DBUS_SESSION_BUS_ADDRESS="$(head -1 "$WORK/bus")")
    command_saver() { "${ENVIRONMENT[@]}" "${AS_USER[@]}" mate-screensaver-command "$@" 2>/dev/null; }

    unshare --mount sh -c 'mount -t tmpfs -o mode=755 tavrin-hacks /usr/libexec/xscreensaver &&
        ln -s "$0" /usr/libexec/xscreensaver/tavrin && exec "$@"' "$(installed TAVRIN_XSCREENSAVER_HACK_DIR tavrin)" \
        "${ENVIRONMENT[@]}" "${AS_USER[@]}" mate-screensaver --no-daemon --debug >"$WORK/mate.log" 2>&1 &
    PIDS_TO_END+=($!)
    for _ in $(seq 100); do command_saver --query >/dev/null && break; sleep 0.1; done
    command_saver --activate >/dev/null
    pid=$(wait_for_programs 1)
    check "mate-screensaver runs the theme's program (${pid:-none})" test "$(echo $pid | wc -w)" -eq 1
    if [ "$(echo $pid | wc -w)" -eq 1 ]; then
        check "... as 'tavrin --root' with the window in XSCREENSAVER_WINDOW" bash -c \
            "[ \"\$(tr '\\0' ' ' </proc/$pid/cmdline)\" = 'tavrin --root ' ] &&
             tr '\\0' '\\n' </proc/$pid/environ | grep -q '^XSCREENSAVER_WINDOW=0x'"
        sleep 3
        lit=$(lit_pixels 0,0,1920,1080)
        check "its window is drawn on ($lit lit pixels)" test "${lit:-0}" -gt 1000
        start=$(date +%s%N)
        command_saver --deactivate >/dev/null
        for _ in $(seq 100); do
            command_saver --query | grep -q "is inactive" && ended "$pid" && break
            sleep 0.05
        done
        ms=$((($(date +%s%N) - start) / 1000000))
        check "deactivating ends the program and the screen saver within 1.5 s (${ms} ms)" \
            bash -c "$(declare -f ended); ended $pid && [ $ms -lt 1500 ]"
    fi
    command_saver --exit >/dev/null
else
    echo "note: mate-screensaver's part needs it installed, root and /usr/libexec/xscreensaver; left out"
fi
if [ "$FAILURES" -gt 0 ]; then
    grep -v "unexpected ClientMessage" "$WORK/locker.log" 2>/dev/null | sed 's/^/    xsecurelock: /' | tail -10
    grep -E "job|Job|theme" "$WORK/mate.log" 2>/dev/null | sed 's/^/    mate-screensaver: /' | tail -10
fi
finish
