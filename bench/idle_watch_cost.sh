#!/usr/bin/env bash
# What the idle watcher costs while it waits, run by hand (never in CI): `tavrin --idle-watch` on
# Xvfb (the X server's idle time) or on headless sway (org_kde_kwin_idle), in two phases of S
# seconds each:
#   active  the user is active: a key every 20 s, the timeout (10 minutes) never reached;
#   saver   the user is idle and the saver the watcher started runs all the while.
# For each phase: the watcher's CPU time (user + system, all threads), its wake-ups (voluntary and
# involuntary context switches of all its threads) and its resident memory (now and peak). Also
# the time from the idle timeout to the saver's first frame on both displays.
#
#   bash bench/idle_watch_cost.sh [--tavrin PATH] [--source x11|sway] [--seconds S]
#
# sway refuses to run as root: as root, sway, the watcher and the saver run as nobody.
set -euo pipefail

source_kind=x11
seconds=600
here=$(cd "$(dirname "$0")/.." && pwd)
tavrin="$here/build/release/tavrin"
while (($#)); do
  case "$1" in
    --tavrin) tavrin=$2; shift ;;
    --source) source_kind=$2; shift ;;
    --seconds) seconds=$2; shift ;;
    -h | --help) sed -n '2,15p' "$0"; exit 0 ;;
    *) echo "idle_watch_cost.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift
done
[ -x "$tavrin" ] || { echo "idle_watch_cost.sh: no program at $tavrin (build it, or pass --tavrin PATH)" >&2; exit 1; }

pids=()
sway=""
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  pkill -9 -f "^$work/bin/tavrin" 2>/dev/null || true
  # sway is a child of this script too: it goes before the wait, which would wait for it for ever.
  if [ -n "$sway" ]; then stop_headless_sway; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The session: the watcher's environment (session_env) and press_key. The watcher's settings live
# in a config/ of its own, so that the user's are never read.
case "$source_kind" in
  x11)
    work=$(mktemp -d /tmp/tavrin-idle-bench.XXXXXX)
    chmod 755 "$work"
    mkdir -p "$work/bin" "$work/out" "$work/runtime"
    cp "$tavrin" "$work/bin/tavrin"
    chmod -R a+rX "$work"
    chmod 700 "$work/runtime"
    as_user=()
    if [ "$(id -u)" -eq 0 ]; then
      chown -R 65534:65534 "$work/out" "$work/runtime"
      as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    fi
    Xvfb -displayfd 7 -screen 0 3840x1080x24 -nolisten tcp -noreset 7>"$work/displayfd" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/displayfd" ] && break; sleep 0.1; done
    display=":$(head -1 "$work/displayfd")"
    DISPLAY=$display xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen >/dev/null 2>&1 || true
    DISPLAY=$display xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none >/dev/null 2>&1 || true
    bus=$("${as_user[@]}" dbus-daemon --session --fork --print-address=1 --print-pid=1)
    pids+=("${bus##*$'\n'}")
    session_env=("${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$work/out" XDG_RUNTIME_DIR="$work/runtime"
      TAVRIN_RESOURCE_DIR="$here/resources" DISPLAY="$display" DBUS_SESSION_BUS_ADDRESS="${bus%%$'\n'*}")
    press_key() { DISPLAY=$display xdotool key shift; }
    ;;
  sway)
    . "$here/bench/headless_sway.sh"
    start_headless_sway "$tavrin" "$here" || exit 1
    session_env=("${client_env[@]}")
    press_key() { "${session_env[@]}" wtype -s 100 a; }
    ;;
  *) echo "idle_watch_cost.sh: --source is x11 or sway" >&2; exit 2 ;;
esac
session_env+=(XDG_CONFIG_HOME="$work/out/config")

ticks_per_second=$(getconf CLK_TCK)
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
wakeups() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { n += $2 } END { print n + 0 }'; }
rss_mb() { awk -v k="$2" '$1 == k ":" { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }

# watch PHASE OPTION...: starts the watcher; sets WATCHER.
watch() {
  local phase="$1"
  shift
  "${session_env[@]}" "$work/bin/tavrin" --idle-watch --log-stderr "$@" >/dev/null 2>"$work/$phase.log" &
  WATCHER=$!
  pids+=("$WATCHER")
  for _ in $(seq 100); do grep -q 'watching for' "$work/$phase.log" && return 0; sleep 0.1; done
  echo "idle_watch_cost.sh: the watcher did not start:" >&2
  tail -5 "$work/$phase.log" >&2
  exit 1
}

# measure PHASE: S seconds of the watcher; prints its figures.
measure() {
  local phase="$1" t0 w0 t1 w1 elapsed=0
  t0=$(ticks "$WATCHER") w0=$(wakeups "$WATCHER")
  while [ "$elapsed" -lt "$seconds" ]; do
    if [ "$phase" = active ]; then press_key; fi
    sleep 20
    elapsed=$((elapsed + 20))
  done
  t1=$(ticks "$WATCHER") w1=$(wakeups "$WATCHER")
  awk -v p="$phase" -v t="$((t1 - t0))" -v hz="$ticks_per_second" -v w="$((w1 - w0))" -v s="$seconds" \
    -v r="$(rss_mb "$WATCHER" VmRSS)" -v h="$(rss_mb "$WATCHER" VmHWM)" \
    'BEGIN { printf "%-7s %8.2f s %12d %14.1f s %10s MB %10s MB\n", p, t / hz, w, (w ? s / w : s), r, h }'
}

echo "The idle watcher on $source_kind, ${seconds} s a phase, load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-7s %10s %12s %16s %13s %13s\n' phase CPU wake-ups "s per wake-up" resident peak
watch active
measure active
kill "$WATCHER"
wait "$WATCHER" 2>/dev/null || true

watch saver --after 5s --trace "$work/out/trace-%p.jsonl"
started=$(date +%s%N)
for _ in $(seq 300); do
  [ "$(cat "$work"/out/trace-*.jsonl 2>/dev/null | grep -o '"display":[0-9]*' | sort -u | wc -l)" -ge 2 ] && break
  sleep 0.01
done
first_ms=$((($(date +%s%N) - started) / 1000000 - 5000))
measure saver
echo "idle timeout to the saver's first frame on both displays: about $first_ms ms (counted from the watcher's start, polled every 10 ms)"
