# With no session bus in its environment, neither a hack nor the full-screen saver starts one
# (dbus-launch and a dbus-daemon would outlive it, one per activation), whatever is installed:
# every process started on their behalf would carry the mark this test puts in their environment.
. "$(dirname "$0")/lib.sh"

command -v Xvfb >/dev/null || skip "needs Xvfb"
command -v dbus-launch >/dev/null || skip "needs dbus-launch (dbus-x11), without which nothing could start a bus"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
start_xvfb server 1280x720 -noreset  # a client ending must not reset the server under the other
mkdir -m 700 "$WORK/run" "$WORK/home"
# marked: the processes that carry this run's mark, but for those given.
marked() {
    local p
    for p in /proc/[0-9]*; do
        [[ " $* " == *" ${p#/proc/} "* ]] && continue
        grep -qzx "TAVRIN_E2E_MARK=$WORK" "$p/environ" 2>/dev/null && echo "${p#/proc/} ($(cat "$p/comm"))"
    done
}
at_exit 'for p in $(marked | cut -d" " -f1); do kill -9 "$p"; done'

PIDS=()
for mode in --root --fps; do  # --fps: the full-screen saver, with an option of no consequence
    env HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/run" TAVRIN_E2E_MARK="$WORK" "$TAVRIN" "$mode" 2>/dev/null &
    PIDS+=($!)
    disown
done
sleep 3
check "the hack runs" kill -0 "${PIDS[0]}"
check "the full-screen saver runs" kill -0 "${PIDS[1]}"
strays=$(marked "${PIDS[@]}" | xargs)
check "no process was started on their behalf (${strays:-none})" test -z "$strays"
kill -9 "${PIDS[@]}"
finish
