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

# new_sandbox NAME: a folder /tmp/tavrin-NAME.XXXXXX in SANDBOX that a compositor's user can read,
# with bin/tavrin (a copy of the program), resources/ and out/ (that user's, see run_unprivileged),
# for a compositor that runs as nobody and may not read the source tree (a clone in /root). The
# caller removes it.
new_sandbox() {
    local source="${TAVRIN_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
    SANDBOX="$(mktemp -d "/tmp/tavrin-$1.XXXXXX")"
    chmod 755 "$SANDBOX"
    mkdir -p "$SANDBOX/bin" "$SANDBOX/resources" "$SANDBOX/out"
    cp "$TAVRIN" "$SANDBOX/bin/tavrin"
    cp -r "$source/resources/." "$SANDBOX/resources/"
    chmod -R a+rX "$SANDBOX"
    run_unprivileged "$SANDBOX/out"
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

# start_sway CONFIG-LINES: starts headless sway (pixman, no input devices) with those config lines,
# as nobody when the tests run as root, in a sandbox folder nobody can read: $SANDBOX with bin/
# (a copy of the program), resources/, out/ (writable) and runtime/ (XDG_RUNTIME_DIR). Sets
# SWAY_PID, WAYLAND_SOCKET_NAME and SWAY_ENV, the command prefix that runs a client in sway's
# environment as its user (`"${SWAY_ENV[@]}" prog &` leaves the program's own pid in $!). The
# number of headless outputs is the number of "output HEADLESS-" lines.
start_sway() {
    local config="$1" source
    source="${TAVRIN_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
    SANDBOX="$(mktemp -d /tmp/tavrin-sway.XXXXXX)"
    chmod 755 "$SANDBOX"
    mkdir -p "$SANDBOX/bin" "$SANDBOX/resources" "$SANDBOX/out" "$SANDBOX/runtime"
    cp "$TAVRIN" "$SANDBOX/bin/tavrin"
    cp -r "$source/resources/." "$SANDBOX/resources/"
    printf '%s\nxwayland disable\ndefault_border none\n' "$config" >"$SANDBOX/config"
    chmod -R a+rX "$SANDBOX"
    chmod 700 "$SANDBOX/runtime"
    run_unprivileged "$SANDBOX/out" "$SANDBOX/runtime"
    at_exit 'stop_sway; rm -rf "$SANDBOX"'
    local outputs
    outputs=$(grep -c '^output HEADLESS-' "$SANDBOX/config")
    env -i PATH=/usr/bin:/bin HOME="$SANDBOX/out" XDG_RUNTIME_DIR="$SANDBOX/runtime" WLR_BACKENDS=headless \
        WLR_HEADLESS_OUTPUTS="$outputs" WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        "${AS_USER[@]}" sway -c "$SANDBOX/config" >"$WORK/sway.log" 2>&1 &
    SWAY_PID=$!
    WAYLAND_SOCKET_NAME=""
    for _ in $(seq 100); do
        WAYLAND_SOCKET_NAME=$(cd "$SANDBOX/runtime" && ls wayland-* 2>/dev/null | grep -v lock | head -1)
        local ipc
        ipc=$(ls "$SANDBOX"/runtime/sway-ipc.*.sock 2>/dev/null | head -1)
        if [ -n "$WAYLAND_SOCKET_NAME" ] && [ -n "$ipc" ]; then
            SWAY_ENV=("${AS_USER[@]}" env -i PATH=/usr/bin:/bin HOME="$SANDBOX/out"
                XDG_RUNTIME_DIR="$SANDBOX/runtime" WAYLAND_DISPLAY="$WAYLAND_SOCKET_NAME" SWAYSOCK="$ipc"
                TAVRIN_RESOURCE_DIR="$SANDBOX/resources")
            return 0
        fi
        sleep 0.1
    done
    WAYLAND_SOCKET_NAME=""
    sed 's/^/    sway: /' "$WORK/sway.log" | tail -10
    return 1
}

# stop_sway: ends the sway of start_sway, by SIGKILL when it has not ended 5 s after SIGTERM.
stop_sway() {
    [ -n "${SWAY_PID:-}" ] || return 0
    kill -CONT "$SWAY_PID" 2>/dev/null
    kill "$SWAY_PID" 2>/dev/null
    wait_exit "$SWAY_PID" 5000
    [ "$EXIT_STATUS" = running ] && { kill -9 "$SWAY_PID"; wait "$SWAY_PID"; } 2>/dev/null
    SWAY_PID=""
}

# sway_run CMD...: runs a client of the sway of start_sway, as its user, in a clean environment.
sway_run() {
    "${SWAY_ENV[@]}" "$@"
}

# wait_for_line FILE PATTERN COUNT SECONDS: waits until FILE has COUNT lines matching PATTERN.
wait_for_line() {
    local deadline=$((SECONDS + $4)) n
    while [ "$SECONDS" -le "$deadline" ]; do
        n=$(grep -c -- "$2" "$1" 2>/dev/null)
        [ "${n:-0}" -ge "$3" ] && return 0
        sleep 0.1
    done
    return 1
}

# wait_until SECONDS COMMAND...: true once the command succeeds, trying every 0.1 s for that long.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# wait_exit PID MILLISECONDS: waits at most that long for the process (a child of this shell) to
# end. Sets EXIT_STATUS to its status, or "running", and WAITED_MS to the time waited.
wait_exit() {
    local pid="$1" start now
    start=$(date +%s%N)
    EXIT_STATUS=running
    while kill -0 "$pid" 2>/dev/null; do
        now=$(date +%s%N)
        if [ $(((now - start) / 1000000)) -ge "$2" ]; then
            WAITED_MS=$(((now - start) / 1000000))
            return
        fi
        sleep 0.02
    done
    WAITED_MS=$((($(date +%s%N) - start) / 1000000))
    wait "$pid"
    EXIT_STATUS=$?
}

# hold_pointer: sway gives its seat a pointer only while a pointer device exists, so a virtual
# pointer is held for the rest of the script; the tool is then $SANDBOX/bin/pointer. Skips
# without the tool.
hold_pointer() {
    [ -x "${TAVRIN_WL_POINTER_MOVE:-}" ] || skip "needs the test tool tavrin_wl_pointer_move (TAVRIN_WL_POINTER_MOVE)"
    cp "$TAVRIN_WL_POINTER_MOVE" "$SANDBOX/bin/pointer"
    chmod a+rx "$SANDBOX/bin/pointer"
    "${SWAY_ENV[@]}" "$SANDBOX/bin/pointer" --hold >"$WORK/hold" 2>&1 &
    HOLD_PID=$!
    at_exit 'kill $HOLD_PID 2>/dev/null'
    wait_for_line "$WORK/hold" holding 1 5
}

# wait_for_crossings TRACE SECONDS: polls a scene trace until sparks from another display have
# shown on two displays, at most that long. Sets CROSSINGS to "display:frames ..." and succeeds
# when both displays had some.
wait_for_crossings() {
    local deadline=$((SECONDS + $2))
    while :; do
        CROSSINGS=$(python3 "$(dirname "${BASH_SOURCE[0]}")/count_crossed.py" "$1" 2>/dev/null |
            awk '{ print $2 ":" $4 }' | xargs)
        [ "$(echo "$CROSSINGS" | tr ' ' '\n' | grep -c ':[1-9]')" -eq 2 ] && return 0
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 1
    done
}
