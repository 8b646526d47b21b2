# Headless GNOME Shell 43 for end-to-end tests: `gnome-shell --wayland --headless` with two
# 1280x720 virtual monitors side by side (0,0 and 1280,0), run as nobody when the caller is root,
# in a scratch folder of its own, with
# - a session bus of its own, and a second one standing in for the system bus (GNOME Shell looks
#   for logind there and carries on without it);
# - a stand-in of org.gnome.SessionManager's inhibitors (gnome_bus.py session-manager), started
#   before the shell, since Mutter reads the inhibited actions when it starts and follows them;
# - a stand-in of GDM on the second bus (gnome_bus.py display-manager), which the shell asks when
#   it starts whether it may have a screen shield (org.gnome.ScreenSaver; GNOME Shell starts the
#   gjs service of that name on demand);
# - the overview, which the shell starts in, left;
# - input through org.gnome.Mutter.RemoteDesktop (gnome_bus.py input), whose devices exist once
#   the fixture has sent their first events.
#
# As a library (after lib.sh):
#     . gnome_fixture.sh
#     if reason=$(gnome_missing); then skip "$reason"; fi
#     new_sandbox NAME           # (lib.sh) SANDBOX: bin/tavrin, resources/, out/, readable by the shell's user
#     gnome_start DIR            # sets GNOME_ENV (run clients with "${GNOME_ENV[@]}" "${AS_USER[@]}")
#     gnome_input key|move       # a Shift press and release, or a pointer motion
#     gnome_bus COMMAND...       # gnome_bus.py on the shell's bus, as the shell's user
#     gnome_pipewire             # PipeWire for screen casts (gnome_bus virtual-monitor)
#     gnome_stop                 # ends what gnome_start started, and waits for it
# GNOME Shell's messages go to DIR/shell.log. GNOME_STARTUP_MS is how long it took to come up.

GNOME_FIXTURE_DIR=""
GNOME_SHELL_PID=""
GNOME_HELPER_PIDS=()
GNOME_BUS_PIDS=()
GNOME_ENV=()
GNOME_BUS_PY="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/gnome_bus.py"
if ! declare -p AS_USER >/dev/null 2>&1; then AS_USER=(); fi

# gnome_missing: prints what is missing to run the fixture, and succeeds, when something is.
gnome_missing() {
    local tool missing=()
    for tool in gnome-shell gjs dbus-daemon dbus-send setpriv; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    /usr/bin/python3 -c 'import dbus, gi' 2>/dev/null || missing+=("python3-dbus and python3-gi")
    [ ${#missing[@]} -eq 0 ] && return 1
    echo "needs ${missing[*]} (packages gnome-shell, gjs, dbus-daemon, dbus-bin, util-linux, python3-dbus, python3-gi)"
    return 0
}

# gnome_helper COMMAND WHAT: gnome_bus.py COMMAND in the background, its messages in DIR/COMMAND.log,
# until gnome_stop; waits until it is ready, and says so and fails when it does not come up.
gnome_helper() {
    # Started without the function gnome_bus, so that $! is the helper's own process.
    "${GNOME_ENV[@]}" "${AS_USER[@]}" /usr/bin/python3 "$GNOME_BUS_PY" "$1" >"$GNOME_FIXTURE_DIR/$1.log" 2>&1 &
    GNOME_HELPER_PIDS+=($!)
    wait_for_line "$GNOME_FIXTURE_DIR/$1.log" '^ready' 1 10 && return 0
    echo "gnome_fixture: $2 did not start: $(cat "$GNOME_FIXTURE_DIR/$1.log")" >&2
    return 1
}

gnome_bus() {
    "${GNOME_ENV[@]}" "${AS_USER[@]}" /usr/bin/python3 "$GNOME_BUS_PY" "$@"
}

# gnome_new_bus NAME VARIABLE: a dbus-daemon of the session kind in the fixture's runtime folder;
# its address goes to the variable. The services it starts (dconf-service, which writes every
# GSettings change) get the session's home and runtime folder from it.
gnome_new_bus() {
    local out
    out=$(env -i PATH=/usr/bin:/bin HOME="$GNOME_FIXTURE_DIR/home" XDG_RUNTIME_DIR="$GNOME_FIXTURE_DIR/runtime" \
        "${AS_USER[@]}" dbus-daemon --session --fork \
        --address="unix:path=$GNOME_FIXTURE_DIR/runtime/$1" --print-address=1 --print-pid=1) || return 1
    GNOME_BUS_PIDS+=("$(echo "$out" | sed -n 2p)")
    printf -v "$2" '%s' "$(echo "$out" | sed -n 1p)"
}

# gnome_start DIR: starts the buses, the stand-in and GNOME Shell, waits until the shell has
# started (at most 60 s), leaves the overview and readies the input. Returns 1, with the shell's
# last messages, when something does not come up.
gnome_start() {
    local dir="$1" session system started
    GNOME_FIXTURE_DIR="$dir"
    mkdir -p "$dir/home" "$dir/runtime"
    # The helper runs as the shell's user, who may not read the source tree (a clone in /root).
    cp "$GNOME_BUS_PY" "$dir/gnome_bus.py"
    GNOME_BUS_PY="$dir/gnome_bus.py"
    chmod a+rx "$dir" "$dir/gnome_bus.py"
    chmod 700 "$dir/runtime"
    if [ "$(id -u)" -eq 0 ]; then
        chown -R 65534:65534 "$dir/home" "$dir/runtime"
        AS_USER=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    fi
    # GNOME Shell makes its screen shield only where systemd's seats are (a folder that systemd's
    # tmpfiles make at boot, missing in a container that never booted systemd).
    [ -d /run/systemd/seats ] || [ "$(id -u)" -ne 0 ] || mkdir -p /run/systemd/seats
    gnome_new_bus bus session && gnome_new_bus system system || {
        echo "gnome_fixture: the buses did not start" >&2
        return 1
    }
    GNOME_ENV=(env -i PATH=/usr/bin:/bin HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime"
        WAYLAND_DISPLAY=wayland-gnome DBUS_SESSION_BUS_ADDRESS="$session" DBUS_SYSTEM_BUS_ADDRESS="$system")

    gnome_helper session-manager "the session manager's stand-in" && gnome_helper display-manager "GDM's stand-in" ||
        return 1

    started=$(date +%s%N)
    "${GNOME_ENV[@]}" "${AS_USER[@]}" gnome-shell --wayland --headless --no-x11 --wayland-display wayland-gnome \
        --virtual-monitor 1280x720 --virtual-monitor 1280x720 >"$dir/shell.log" 2>&1 &
    GNOME_SHELL_PID=$!
    if ! wait_for_line "$dir/shell.log" 'GNOME Shell started at' 1 60; then
        echo "gnome_fixture: GNOME Shell did not start; its last messages:" >&2
        tail -10 "$dir/shell.log" | sed 's/^/    gnome-shell: /' >&2
        return 1
    fi
    GNOME_STARTUP_MS=$((($(date +%s%N) - started) / 1000000))

    # The shell opens the overview once it has started; it is left as soon as it says so.
    local _
    for _ in $(seq 50); do
        gnome_bus overview-off 2>/dev/null
        "${GNOME_ENV[@]}" "${AS_USER[@]}" dbus-send --session --print-reply --dest=org.gnome.Shell /org/gnome/Shell \
            org.freedesktop.DBus.Properties.Get string:org.gnome.Shell string:OverviewActive 2>/dev/null |
            grep -q 'boolean false' && break
        sleep 0.2
    done

    rm -f "$dir/input.fifo"
    mkfifo -m 666 "$dir/input.fifo"
    "${GNOME_ENV[@]}" "${AS_USER[@]}" /usr/bin/python3 "$GNOME_BUS_PY" input "$dir/input.fifo" >"$dir/input.log" 2>&1 &
    GNOME_HELPER_PIDS+=($!)
    wait_for_line "$dir/input.log" '^ready' 1 10 || {
        echo "gnome_fixture: no input through org.gnome.Mutter.RemoteDesktop: $(cat "$dir/input.log")" >&2
        return 1
    }
}

# gnome_pipewire: starts PipeWire and its session manager, WirePlumber, as the shell's user, for
# the screen casts of `gnome_bus virtual-monitor`; gnome_stop ends them. Returns 1 when PipeWire's
# socket has not come up within 5 s.
gnome_pipewire() {
    "${GNOME_ENV[@]}" "${AS_USER[@]}" pipewire >"$GNOME_FIXTURE_DIR/pipewire.log" 2>&1 &
    GNOME_HELPER_PIDS+=($!)
    wait_until 5 test -S "$GNOME_FIXTURE_DIR/runtime/pipewire-0" || return 1
    "${GNOME_ENV[@]}" "${AS_USER[@]}" wireplumber >"$GNOME_FIXTURE_DIR/wireplumber.log" 2>&1 &
    GNOME_HELPER_PIDS+=($!)
}

# gnome_input key|move: sends the input and waits until it has been sent (at most 5 s).
gnome_input() {
    local done
    done=$(grep -c '^done' "$GNOME_FIXTURE_DIR/input.log")
    echo "$1" >"$GNOME_FIXTURE_DIR/input.fifo"
    wait_for_line "$GNOME_FIXTURE_DIR/input.log" '^done' $((done + 1)) 5
}

# gnome_stop: ends the shell (SIGKILL when it has not ended 5 s after SIGTERM), the helpers and the
# buses. The shell's exit status is not looked at: GNOME Shell 43 may crash on its way out.
gnome_stop() {
    local pid
    for pid in "${GNOME_HELPER_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    if [ -n "$GNOME_SHELL_PID" ]; then
        kill "$GNOME_SHELL_PID" 2>/dev/null
        wait_exit "$GNOME_SHELL_PID" 5000
        [ "$EXIT_STATUS" = running ] && { kill -9 "$GNOME_SHELL_PID"; wait "$GNOME_SHELL_PID"; } 2>/dev/null
    fi
    for pid in "${GNOME_BUS_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    wait "${GNOME_HELPER_PIDS[@]}" 2>/dev/null
    GNOME_SHELL_PID=""
    GNOME_HELPER_PIDS=()
    GNOME_BUS_PIDS=()
    return 0
}
