# The program as a hack of the real XScreenSaver daemon on an X server with two monitors: the
# daemon starts one process per monitor, each draws into its monitor's window, and after the
# daemon's single SIGTERM at unblank both end by themselves within seven seconds.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
SOURCE="${TAVRIN_SOURCE_DIR:-$(cd "$HERE/../.." && pwd)}"
for tool in xscreensaver xscreensaver-command Xvfb xrandr xwd setpriv; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: needs $tool (xscreensaver, xvfb, x11-xserver-utils, x11-apps/x11-utils, util-linux)"
        exit 77
    fi
done
unset QT_QPA_PLATFORM

# The daemon refuses to run as root: as root it runs as nobody, from a folder nobody can read.
SANDBOX="$(mktemp -d /tmp/tavrin-xss.XXXXXX)"
chmod 755 "$SANDBOX"
mkdir -p "$SANDBOX/home" "$SANDBOX/bin" "$SANDBOX/resources"
cp "$TAVRIN" "$SANDBOX/bin/tavrin"
cp -r "$SOURCE/resources/." "$SANDBOX/resources/"
chmod -R a+rX "$SANDBOX"
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$SANDBOX/home"
    AS_USER=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
    AS_USER=()
fi
cat >"$SANDBOX/home/.xscreensaver" <<CONF
mode:		one
selected:	0
lock:		False
fade:		False
unfade:		False
splash:		False
timeout:	0:30:00
programs:	$SANDBOX/bin/tavrin --root \n
CONF

SERVER_PID=""
DAEMON_PID=""
cleanup() {
    [ -n "$DAEMON_PID" ] && kill "$DAEMON_PID" 2>/dev/null
    for pid in $(hack_pids); do kill -9 "$pid" 2>/dev/null; done
    [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null
    rm -rf "$WORK" "$SANDBOX"
}
trap cleanup EXIT

# hack_pids: the processes running our copy of the program (matched by executable, not by name).
hack_pids() {
    local p
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$SANDBOX/bin/tavrin" ] && echo "${p#/proc/}"
    done
}

# ended PID: the process is gone or a zombie waiting for its parent.
ended() {
    [ ! -e "/proc/$1/stat" ] && return 0
    [ "$(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)" = "Z" ]
}

Xvfb -displayfd 7 -screen 0 3840x1080x24 -noreset -nolisten tcp 7>"$WORK/displayfd" >/dev/null 2>"$WORK/xvfb.log" &
SERVER_PID=$!
for _ in $(seq 50); do [ -s "$WORK/displayfd" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$WORK/displayfd")"
xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen >/dev/null 2>&1
xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none >/dev/null 2>&1
check "the server has two monitors" test "$(xrandr --listmonitors | head -1)" = "Monitors: 2"

env -i HOME="$SANDBOX/home" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin TAVRIN_RESOURCE_DIR="$SANDBOX/resources" \
    "${AS_USER[@]}" xscreensaver -no-splash >"$WORK/daemon.log" 2>&1 &
DAEMON_PID=$!
for _ in $(seq 100); do xscreensaver-command -time >/dev/null 2>&1 && break; sleep 0.1; done

xscreensaver-command -activate >/dev/null 2>&1
pids=""
for _ in $(seq 100); do
    pids=$(hack_pids)
    [ "$(echo "$pids" | wc -w)" -ge 2 ] && break
    sleep 0.1
done
check "activating starts one process per monitor (${pids//$'\n'/ })" test "$(echo "$pids" | wc -w)" -eq 2
sleep 3
for pid in $pids; do
    check "process $pid still runs while the screen is blanked" bash -c "! { $(declare -f ended); ended $pid; }"
done

# The picture: each monitor lit, when this build draws at all (a headless probe says).
"$TAVRIN" --render "$WORK/probe" --frames 30 --every 30 --size 320x180 >/dev/null 2>&1
set -- $(png_pixels "$WORK/probe/display0-frame00030.png" 2>/dev/null)
if [ "${3:-0}" -gt 0 ]; then
    xwd -root -silent >"$WORK/root.xwd"
    lit=($(python3 "$HERE/xwd_lit.py" 0,0,1920,1080 1920,0,1920,1080 <"$WORK/root.xwd"))
    check "the left monitor is drawn on (${lit[0]:-0} lit pixels)" test "${lit[0]:-0}" -gt 0
    check "the right monitor is drawn on (${lit[1]:-0} lit pixels)" test "${lit[1]:-0}" -gt 0
else
    echo "note: this build draws nothing headless either; the picture check is left out"
fi

xscreensaver-command -deactivate >/dev/null 2>&1
deadline=$((SECONDS + 7))
for pid in $pids; do
    while ! ended "$pid" && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
    check "process $pid ends by itself within 7 s of the unblank" ended "$pid"
done
if [ "$FAILURES" -gt 0 ]; then
    sed 's/^/    daemon: /' "$WORK/daemon.log" | tail -20
fi
finish
