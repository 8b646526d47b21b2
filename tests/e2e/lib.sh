# Shared helpers of the end-to-end tests. Each test script is run as `bash test_x.sh <tavrin>`;
# it sources this file, runs its checks and ends with `finish`.

TAVRIN="${1:-}"
if [ -z "$TAVRIN" ] || [ ! -x "$TAVRIN" ]; then
    echo "usage: bash $0 <path-to-tavrin>" >&2
    exit 1
fi

WORK="$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e.XXXXXX")"

# at_exit COMMAND: runs the command when the script ends, before the X servers of start_xvfb stop
# and $WORK goes; the last one added runs first.
EXIT_HOOKS=()
at_exit() {
    EXIT_HOOKS+=("$1")
}
run_exit_hooks() {
    local i servers=()
    for file in "$WORK"/*.xvfb-pid; do [ -f "$file" ] && servers+=("$(cat "$file")"); done
    for ((i = ${#EXIT_HOOKS[@]} - 1; i >= 0; i--)); do eval "${EXIT_HOOKS[$i]}"; done
    for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap run_exit_hooks EXIT

# Keep every run away from the user's own settings and display.
export XDG_CONFIG_HOME="$WORK/config"
unset DISPLAY WAYLAND_DISPLAY

FAILURES=0

fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

pass() {
    echo "ok: $*"
}

# check DESCRIPTION CONDITION...: passes when the command succeeds.
check() {
    local description="$1"
    shift
    if "$@"; then pass "$description"; else fail "$description"; fi
}

# run_status EXPECTED DESCRIPTION COMMAND...: runs the command with its output in $WORK/out and
# $WORK/err and checks its exit status.
run_status() {
    local expected="$1" description="$2"
    shift 2
    "$@" >"$WORK/out" 2>"$WORK/err"
    local status=$?
    if [ "$status" -eq "$expected" ]; then
        pass "$description (status $status)"
    else
        fail "$description: status $status, expected $expected"
        sed 's/^/    stdout: /' "$WORK/out" | head -5
        sed 's/^/    stderr: /' "$WORK/err" | head -5
    fi
}

# png_size FILE: prints "WIDTHxHEIGHT" of a PNG file, or nothing when it is not one.
png_size() {
    python3 - "$1" <<'PY'
import struct, sys
with open(sys.argv[1], "rb") as f:
    head = f.read(24)
if head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR":
    w, h = struct.unpack(">II", head[16:24])
    print(f"{w}x{h}")
PY
}

# skip REASON: the test cannot run on this machine (a tool is missing). Exit status 77, which
# CTest reports as skipped; a check that already failed still fails the test.
skip() {
    echo "skipped: $*"
    if [ "$FAILURES" -gt 0 ]; then
        echo "$FAILURES check(s) failed before"
        exit 1
    fi
    exit 77
}

# start_xvfb NAME WxH [XVFB-OPTION...]: starts an X server of its own on a free display and
# exports its name in DISPLAY (also kept in $WORK/NAME.display, for a subshell's caller). The
# server's messages go to $WORK/NAME.xvfb; it stops with stop_xvfb NAME or when the script ends.
start_xvfb() {
    local name="$1" size="$2"
    shift 2
    rm -f "$WORK/$name.displayfd"
    Xvfb -displayfd 7 -screen 0 "${size}x24" -nolisten tcp "$@" 7>"$WORK/$name.displayfd" >/dev/null \
        2>"$WORK/$name.xvfb" &
    echo $! >"$WORK/$name.xvfb-pid"
    for _ in $(seq 50); do
        if [ -s "$WORK/$name.displayfd" ]; then
            export DISPLAY=":$(head -1 "$WORK/$name.displayfd")"
            echo "$DISPLAY" >"$WORK/$name.display"
            return 0
        fi
        sleep 0.1
    done
    echo "could not start Xvfb" >&2
    return 1
}

# stop_xvfb NAME: stops the server start_xvfb NAME started and waits for it.
stop_xvfb() {
    local file="$WORK/$1.xvfb-pid"
    [ -f "$file" ] || return 0
    local pid
    pid="$(cat "$file")"
    rm -f "$file"
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

# run_unprivileged FOLDER...: programs that refuse to run as root (the XScreenSaver daemon, sway,
# the lockers) run through "${AS_USER[@]}": as nobody, owning the folders named, when the tests
# run as root, else as the user running them.
AS_USER=()
run_unprivileged() {
    if [ "$(id -u)" -eq 0 ]; then
        chown -R 65534:65534 "$@"
        AS_USER=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    fi
}

# two_monitors: splits the running 3840x1080 server into the monitors LEFT and RIGHT, 1920x1080
# each, side by side, as a daemon or a locker sees two displays.
two_monitors() {
    xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen >/dev/null 2>&1
    xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none >/dev/null 2>&1
}

finish() {
    if [ "$FAILURES" -gt 0 ]; then
        echo "$FAILURES check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

# png_pixels FILE: prints "WIDTH HEIGHT LIT" for an 8-bit RGB or RGBA PNG, LIT being the pixels
# that are not black.
png_pixels() {
    python3 "$(dirname "${BASH_SOURCE[0]}")/png_read.py" "$1"
}
