# The program as a hack of the real XScreenSaver daemon on an X server with two monitors, the
# second not at the origin: the daemon starts one process per monitor, each draws into its
# monitor's window, sparks cross between the two processes through their sockets in both
# directions (none with --no-cross-monitor-sparks; in /tmp when the daemon has no
# XDG_RUNTIME_DIR), and after the daemon's single SIGTERM at unblank both end by themselves
# within seven seconds.
# The hacks run with one seed: their sprites then meet the shared edge within 240 frames, where
# by chance they might not for a minute. The same seed moves both alike, so each process bounces
# off its outer wall as the other leaks across, and what crosses shows as sparks beyond that.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
SOURCE="${TAVRIN_SOURCE_DIR:-$(cd "$HERE/../.." && pwd)}"
for tool in xscreensaver xscreensaver-command Xvfb xrandr xwd setpriv; do
    if ! command -v "$tool" >/dev/null; then
        skip "needs $tool (xscreensaver, xvfb, x11-xserver-utils, x11-apps/x11-utils, util-linux)"
    fi
done
unset QT_QPA_PLATFORM

# The daemon refuses to run as root: as root it runs as nobody, from a folder nobody can read.
SANDBOX="$(mktemp -d /tmp/tavrin-xss.XXXXXX)"
chmod 755 "$SANDBOX"
mkdir -p "$SANDBOX/home" "$SANDBOX/bin" "$SANDBOX/resources" "$SANDBOX/traces" "$SANDBOX/run"
cp "$TAVRIN" "$SANDBOX/bin/tavrin"
cp -r "$SOURCE/resources/." "$SANDBOX/resources/"
chmod -R a+rX "$SANDBOX"
chmod 700 "$SANDBOX/run"
run_unprivileged "$SANDBOX/home" "$SANDBOX/traces" "$SANDBOX/run"
DAEMON_PID=""
cleanup() {
    [ -n "$DAEMON_PID" ] && kill "$DAEMON_PID" 2>/dev/null
    for pid in $(hack_pids); do kill -9 "$pid" 2>/dev/null; done
    rm -rf "$SANDBOX"
}
at_exit cleanup

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

start_xvfb server 3840x1080 -noreset
two_monitors
check "the server has two monitors" test "$(xrandr --listmonitors | head -1)" = "Monitors: 2"

# start_daemon RUNTIME ARGS...: the daemon, with the runtime folder RUNTIME (or none), running
# "tavrin --root ARGS" on each monitor; activates it and sets $pids to the two processes.
start_daemon() {
    local runtime="$1"
    shift
    rm -f "$SANDBOX/traces/"*
    cat >"$SANDBOX/home/.xscreensaver" <<CONF
mode:		one
selected:	0
lock:		False
fade:		False
unfade:		False
splash:		False
timeout:	0:30:00
programs:	$SANDBOX/bin/tavrin --root --log-stderr --trace $SANDBOX/traces/tavrin-%p.jsonl $* \n
CONF
    env -i HOME="$SANDBOX/home" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin TAVRIN_RESOURCE_DIR="$SANDBOX/resources" \
        ${runtime:+XDG_RUNTIME_DIR="$runtime"} "${AS_USER[@]}" xscreensaver -no-splash >"$WORK/daemon.log" 2>&1 &
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
}

# stop_daemon: ends the daemon and its hacks without waiting for them.
stop_daemon() {
    kill "$DAEMON_PID" 2>/dev/null
    wait "$DAEMON_PID" 2>/dev/null
    DAEMON_PID=""
    for pid in $(hack_pids); do kill -9 "$pid" 2>/dev/null; done
}

# crossed: per trace, "FRAMES CROSSED" of its display, in the order of the processes.
crossed() {
    local pid
    for pid in $pids; do
        python3 "$HERE/count_crossed.py" "$SANDBOX/traces/tavrin-$pid.jsonl" 2>/dev/null | awk '{ print $3, $4 }' | head -1
    done
}

# wait_for_traces SECONDS CONDITION: polls the traces once a second until the awk condition (on
# FRAMES $1 and CROSSED $2) holds for both, at most for that long.
wait_for_traces() {
    local deadline=$((SECONDS + $1))
    while [ "$SECONDS" -lt "$deadline" ]; do
        [ "$(crossed | awk "$2" | wc -l)" -eq 2 ] && return 0
        sleep 1
    done
    return 1
}

# lit_monitors: lit pixels on the left and on the right monitor.
lit_monitors() {
    xwd -root -silent >"$WORK/root.xwd"
    python3 "$HERE/xwd_lit.py" 0,0,1920,1080 1920,0,1920,1080 <"$WORK/root.xwd"
}

# Does this build draw at all? (A headless probe says.)
"$TAVRIN" --render "$WORK/probe" --frames 30 --every 30 --size 320x180 >/dev/null 2>&1
set -- $(png_pixels "$WORK/probe/display0-frame00030.png" 2>/dev/null)
DRAWS=0
[ "${3:-0}" -gt 0 ] && DRAWS=1 || echo "note: this build draws nothing headless either; the picture checks are left out"

# --- 1. Sparks cross both ways between the processes, and the unblank ends both. ---
start_daemon "$SANDBOX/run" --seed 10
if wait_for_traces 25 '$2 > 0'; then :; fi
counts=$(crossed | tr '\n' ' ')
echo "    frames with sparks from the other monitor (frames, crossed per process): $counts"
check "each process shows sparks from the other one" test "$(crossed | awk '$2 > 0' | wc -l)" -eq 2
for pid in $pids; do
    check "process $pid still runs while the screen is blanked" bash -c "! { $(declare -f ended); ended $pid; }"
    check "process $pid sends and receives sparks through its socket in the runtime folder" \
        grep -q "org.tavrin.screensaver\[$pid\] host: sparks for displays of other processes go through the sockets in $SANDBOX/run/tavrin-sparks/x11-" \
        "$WORK/daemon.log"
done
for pid in $pids; do
    check "process $pid found its monitor's neighbour" python3 -c '
import json, sys
o = json.loads(open(sys.argv[1]).readline())
sides = [e["neighborScreenFrame"] for e in o["edgeNeighbors"] if e["hasNeighbor"]]
sys.exit(0 if sides in ([[0, 0, 1920, 1080]], [[1920, 0, 1920, 1080]]) else 1)' "$SANDBOX/traces/tavrin-$pid.jsonl"
done
if [ "$DRAWS" -eq 1 ]; then
    lit=($(lit_monitors))
    check "the left monitor is drawn on (${lit[0]:-0} lit pixels)" test "${lit[0]:-0}" -gt 0
    check "the right monitor is drawn on (${lit[1]:-0} lit pixels)" test "${lit[1]:-0}" -gt 0
fi

xscreensaver-command -deactivate >/dev/null 2>&1
deadline=$((SECONDS + 7))
for pid in $pids; do
    while ! ended "$pid" && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
    check "process $pid ends by itself within 7 s of the unblank" ended "$pid"
done
for pid in $pids; do
    check "process $pid left whole trace lines" bash -c "[ \"\$(tail -c 1 '$SANDBOX/traces/tavrin-$pid.jsonl' | od -An -c | tr -d ' ')\" = '\n' ]"
done
[ "$FAILURES" -gt 0 ] && sed 's/^/    daemon: /' "$WORK/daemon.log" | grep -v ' view=' | tail -20
stop_daemon

# --- 2. With cross-monitor sparks off, nothing crosses over the same frames. ---
start_daemon "$SANDBOX/run" --seed 10 --no-cross-monitor-sparks
wait_for_traces 25 '$1 >= 250' || true
counts=$(crossed | tr '\n' ' ')
check "with --no-cross-monitor-sparks no sparks cross in 250 frames (frames, crossed: $counts)" \
    test "$(crossed | awk '$1 >= 250 && $2 == 0' | wc -l)" -eq 2
stop_daemon

# --- 3. Without XDG_RUNTIME_DIR (no logind session) the sockets live in /tmp, and sparks cross. ---
start_daemon "" --seed 10
wait_for_traces 25 '$2 > 0' || true
check "without a runtime folder each process shows sparks from the other one (frames, crossed: $(crossed | tr '\n' ' '))" \
    test "$(crossed | awk '$2 > 0' | wc -l)" -eq 2
uid=$([ ${#AS_USER[@]} -gt 0 ] && echo 65534 || id -u)
for pid in $pids; do
    check "process $pid says once that its sparks go through /tmp/tavrin-$uid/tavrin-sparks" \
        test "$(grep -c "org.tavrin.screensaver\[$pid\] host: sparks for displays of other processes go through the sockets in /tmp/tavrin-$uid/tavrin-sparks/x11-" "$WORK/daemon.log")" -eq 1
done
[ "$FAILURES" -gt 0 ] && sed 's/^/    daemon: /' "$WORK/daemon.log" | grep -v ' view=' | tail -20
stop_daemon
# This display's folder goes with the test; the user's folder may serve others.
folder=$(grep -o "/tmp/tavrin-$uid/tavrin-sparks/x11-[0-9a-f]*" "$WORK/daemon.log" | head -1)
[ -n "$folder" ] && rm -rf "$folder"
finish
