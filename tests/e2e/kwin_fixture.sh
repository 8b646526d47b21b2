# Headless KWin 5.27 for end-to-end tests: a session bus and `kwin_wayland --virtual` with two
# 1280x720 outputs side by side (Virtual-0 at 0,0 and Virtual-1 at 1280,0), run as nobody when
# the caller is root, each in a scratch folder of its own.
#
# As a library (after lib.sh, or alone):
#     . kwin_fixture.sh
#     kwin_missing && skip "$(kwin_missing)"   # names the missing packages, if any
#     kwin_start "$DIR" [SCALE]     # SCALE (e.g. 1.5) goes on Virtual-1; prints the lines below
#     ... clients run with "${KWIN_ENV[@]}" "${AS_USER[@]}" program ...
#     kwin_stop                     # ends what kwin_start started, and waits for it
# As a command (for a shell by hand; the processes stay until the stop):
#     bash kwin_fixture.sh start DIR [SCALE]
#     bash kwin_fixture.sh stop DIR
# kwin_start prints WAYLAND_DISPLAY=..., DBUS_SESSION_BUS_ADDRESS=..., XDG_RUNTIME_DIR=...,
# KWIN_PID=... and DBUS_PID=... and keeps them in DIR/env. KWin's messages go to DIR/kwin.log.
#
# Why it is done this way (see NOTES.md):
# - /usr/bin/kwin_wayland carries a file capability (cap_sys_resource) that this sandbox refuses
#   to exec ("Operation not permitted"): a copy without it runs, and still finds its plugins.
# - KWin renders with OpenGL on Mesa's llvmpipe (no GPU needed). The screenshot D-Bus interface
#   exists only then: KWIN_COMPOSE=Q (QPainter) is cheaper but takes no screenshots.
# - KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 offers restricted globals to every client, among them
#   org_kde_kwin_fake_input (input injection); KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 lets any
#   caller use org.kde.KWin.ScreenShot2.
# - KWin 5.27 keeps no output settings of its own: a scale is set after start, by kscreen-doctor
#   (over kde_output_management_v2; it needs Qt 5's Wayland platform, package qtwayland5).

KWIN_FIXTURE_DIR=""
KWIN_PID=""
KWIN_DBUS_PID=""
KWIN_ENV=()
if ! declare -p AS_USER >/dev/null 2>&1; then AS_USER=(); fi

# kwin_missing: prints what is missing to run the fixture, and succeeds, when something is.
kwin_missing() {
    local tool missing=()
    for tool in kwin_wayland dbus-daemon setpriv kscreen-doctor; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    if [ ! -e /usr/lib/x86_64-linux-gnu/qt5/plugins/platforms/libqwayland-generic.so ]; then
        missing+=("Qt 5's Wayland platform")
    fi
    [ ${#missing[@]} -eq 0 ] && return 1
    echo "needs ${missing[*]} (packages kwin-wayland, dbus-daemon, util-linux, libkf5screen-bin, qtwayland5)"
    return 0
}

# kwin_start DIR [SCALE]: starts the bus and KWin (see above) and waits until KWin has its socket
# and its D-Bus name, at most 20 s. Returns 1, with KWin's last messages, when it does not come up.
kwin_start() {
    local dir="$1" scale="${2:-}"
    KWIN_FIXTURE_DIR="$dir"
    mkdir -p "$dir/bin" "$dir/home" "$dir/runtime"
    cp /usr/bin/kwin_wayland "$dir/bin/kwin_wayland" # the copy has no file capability
    chmod a+rx "$dir" "$dir/bin"
    chmod 700 "$dir/runtime"
    if [ "$(id -u)" -eq 0 ]; then
        chown -R 65534:65534 "$dir/home" "$dir/runtime"
        AS_USER=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    fi
    local base=(env -i PATH=/usr/bin:/bin HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime")

    local bus
    bus=$("${base[@]}" "${AS_USER[@]}" dbus-daemon --session --fork --address="unix:path=$dir/runtime/bus" \
        --print-address=1 --print-pid=1 2>"$dir/dbus.log") || {
        echo "kwin_fixture: the session bus did not start: $(cat "$dir/dbus.log")" >&2
        return 1
    }
    local address
    address=$(echo "$bus" | sed -n 1p)
    KWIN_DBUS_PID=$(echo "$bus" | sed -n 2p)
    echo "$KWIN_DBUS_PID" >"$dir/dbus.pid"
    KWIN_ENV=("${base[@]}" WAYLAND_DISPLAY=wayland-kwin DBUS_SESSION_BUS_ADDRESS="$address")

    "${KWIN_ENV[@]}" KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
        ${KWIN_COMPOSE:+KWIN_COMPOSE="$KWIN_COMPOSE"} \
        "${AS_USER[@]}" "$dir/bin/kwin_wayland" --virtual --width 1280 --height 720 --output-count 2 \
        --socket wayland-kwin --no-lockscreen --no-global-shortcuts --no-kactivities \
        >"$dir/kwin.log" 2>&1 &
    KWIN_PID=$!
    echo "$KWIN_PID" >"$dir/kwin.pid"

    # The socket comes first (about 0.1 s); the D-Bus name once the workspace is up.
    local ready=""
    for _ in $(seq 200); do
        kill -0 "$KWIN_PID" 2>/dev/null || break
        if [ -S "$dir/runtime/wayland-kwin" ] &&
            "${KWIN_ENV[@]}" "${AS_USER[@]}" dbus-send --session --print-reply --dest=org.freedesktop.DBus \
                /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.kde.KWin 2>/dev/null |
            grep -q 'boolean true'; then
            ready=1
            break
        fi
        sleep 0.1
    done
    if [ -z "$ready" ]; then
        echo "kwin_fixture: KWin did not come up; its last messages:" >&2
        grep -v XKB "$dir/kwin.log" | tail -10 | sed 's/^/    kwin: /' >&2
        return 1
    fi
    if [ -n "$scale" ]; then
        kwin_set_scale Virtual-1 "$scale" || return 1
    fi
    {
        echo "WAYLAND_DISPLAY=wayland-kwin"
        echo "DBUS_SESSION_BUS_ADDRESS=$address"
        echo "XDG_RUNTIME_DIR=$dir/runtime"
        echo "KWIN_PID=$KWIN_PID"
        echo "DBUS_PID=$KWIN_DBUS_PID"
    } | tee "$dir/env"
}

# kwin_set_scale OUTPUT SCALE: sets an output's scale and checks that KWin took it.
kwin_set_scale() {
    local output="$1" scale="$2"
    "${KWIN_ENV[@]}" QT_QPA_PLATFORM=wayland "${AS_USER[@]}" \
        kscreen-doctor "output.$output.scale.$scale" >"$KWIN_FIXTURE_DIR/kscreen.log" 2>&1
    if ! "${KWIN_ENV[@]}" QT_QPA_PLATFORM=wayland "${AS_USER[@]}" kscreen-doctor -o 2>&1 |
        sed 's/\x1b\[[0-9;]*m//g' | grep -q " $output .*Scale: $scale "; then
        echo "kwin_fixture: KWin did not take scale $scale on $output" >&2
        sed 's/^/    kscreen-doctor: /' "$KWIN_FIXTURE_DIR/kscreen.log" | tail -5 >&2
        return 1
    fi
}

# kwin_stop [DIR]: ends KWin and its bus (those of kwin_start, or those DIR names) and waits for
# them, at most 5 s each before SIGKILL.
kwin_stop() {
    local dir="${1:-$KWIN_FIXTURE_DIR}" pid file
    [ -n "$dir" ] || return 0
    for file in "$dir/kwin.pid" "$dir/dbus.pid"; do
        [ -f "$file" ] || continue
        pid=$(cat "$file")
        rm -f "$file"
        kill "$pid" 2>/dev/null || continue
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null # only a child of this shell (KWin) can be waited for
    done
    KWIN_PID=""
    KWIN_DBUS_PID=""
    return 0
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    case "${1:-}" in
    start)
        [ -n "${2:-}" ] || { echo "usage: bash $0 start DIR [SCALE]" >&2; exit 2; }
        if reason=$(kwin_missing); then echo "$reason" >&2; exit 77; fi
        kwin_start "$(mkdir -p "$2" && cd "$2" && pwd)" "${3:-}" || { kwin_stop; exit 1; }
        ;;
    stop)
        [ -n "${2:-}" ] || { echo "usage: bash $0 stop DIR" >&2; exit 2; }
        kwin_stop "$2"
        ;;
    *)
        echo "usage: bash $0 start DIR [SCALE] | stop DIR" >&2
        exit 2
        ;;
    esac
fi
