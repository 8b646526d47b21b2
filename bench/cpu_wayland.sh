#!/usr/bin/env bash
# CPU of the full-screen saver on Wayland, run by hand (never in CI): the layer-shell surfaces of
# our own against Qt's full-screen windows (--no-layer-shell), on the same headless sway with two
# 1920x1080 outputs (pixman), one after the other, N rounds. For each: the CPU of the program and
# of sway as a share of one core (user + system time from /proc/<pid>/stat over S seconds after a
# warm-up), the frames per second of each output, the resident memory at the end, and the time
# from the start to the first frame on every output.
#
#   bash bench/cpu_wayland.sh [--tavrin PATH] [--runs N] [--seconds S]
#
# Frames per second: the layer-shell run counts the buffers it committed on each output (a line
# of its log at the stop); Qt's windows count the frames each view stepped, from --trace. Time to
# the first frame: the layer-shell run logs each output's first commit; for Qt's windows it is the
# first line of each view in the trace, which is written when the view first steps.
# sway refuses to run as root: as root, sway and the program run as nobody.
set -euo pipefail

runs=3
seconds=20
warmup=3
here=$(cd "$(dirname "$0")/.." && pwd)
tavrin="$here/build/release/tavrin"
while (($#)); do
  case "$1" in
    --tavrin) tavrin=$2; shift ;;
    --runs) runs=$2; shift ;;
    --seconds) seconds=$2; shift ;;
    -h | --help) sed -n '2,16p' "$0"; exit 0 ;;
    *) echo "cpu_wayland.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift
done
[ -x "$tavrin" ] || { echo "cpu_wayland.sh: no program at $tavrin (build it, or pass --tavrin PATH)" >&2; exit 1; }
command -v sway >/dev/null || { echo "cpu_wayland.sh: sway is missing (apt-get install sway)" >&2; exit 1; }

. "$here/bench/headless_sway.sh"
sway=""
program=""
cleanup() {
  [ -n "$program" ] && kill -9 "$program" 2>/dev/null || true
  stop_headless_sway
}
trap cleanup EXIT
start_headless_sway "$tavrin" "$here" || exit 1

ticks_per_second=$(getconf CLK_TCK)
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# run NAME OPTION...: one measured run; prints "cpu_program cpu_sway fps first_ms rss_mb".
run() {
  local name="$1"
  shift
  local err="$work/out/$name.err" trace="$work/out/$name.jsonl"
  rm -f "$err" "$trace"
  local start
  start=$(now_ms)
  "${client_env[@]}" "$work/bin/tavrin" --log-stderr --seed 15 --trace "$trace" "$@" \
    >/dev/null 2>"$err" &
  program=$!
  # The first frame on both outputs: the log's lines, or each view's first trace line.
  local first=""
  for _ in $(seq 200); do
    if [ "$(grep -c 'first frame of' "$err" 2>/dev/null)" = 2 ] ||
      [ "$(python3 -c 'import json,sys; print(len({json.loads(l)["display"] for l in open(sys.argv[1]) if l.endswith("\n")}))' "$trace" 2>/dev/null)" = 2 ]; then
      first=$(($(now_ms) - start))
      break
    fi
    sleep 0.02
  done
  sleep "$warmup"
  local p0 s0 p1 s1 lines0 lines1
  p0=$(ticks "$program") s0=$(ticks "$sway") lines0=$(wc -l <"$trace")
  sleep "$seconds"
  p1=$(ticks "$program") s1=$(ticks "$sway") lines1=$(wc -l <"$trace")
  local rss
  rss=$(awk '/VmRSS/ { printf "%.0f", $2 / 1024 }' "/proc/$program/status")
  kill -TERM "$program"
  wait "$program" 2>/dev/null || true
  program=""
  local fps
  if grep -q 'frames committed' "$err"; then
    fps=$(grep -o '([0-9.]* per second)' "$err" | tr -d '(' | awk '{ printf "%s%s", sep, $1; sep = "/" }')
  else
    fps=$(awk -v l="$((lines1 - lines0))" -v s="$seconds" 'BEGIN { printf "%.1f/%.1f", l / 2 / s, l / 2 / s }')
  fi
  awk -v p="$((p1 - p0))" -v s="$((s1 - s0))" -v t="$ticks_per_second" -v d="$seconds" -v f="$fps" -v m="$first" -v r="$rss" \
    'BEGIN { printf "%.1f %.1f %s %s %s\n", 100 * p / t / d, 100 * s / t / d, f, m, r }'
}

echo "Two 1920x1080 outputs on headless sway (pixman), $seconds s per run, load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-14s %5s %22s %22s %14s %16s %8s\n' backend round "program % of a core" "sway % of a core" "frames/s" "first frame ms" "RSS MB"
for round in $(seq "$runs"); do
  for backend in layer-shell qt-windows; do
    if [ "$backend" = layer-shell ]; then set -- --layer-shell; else set -- --no-layer-shell; fi
    read -r cpu scpu fps first rss < <(run "$backend-$round" "$@")
    printf '%-14s %5s %22s %22s %14s %16s %8s\n' "$backend" "$round" "$cpu" "$scpu" "$fps" "$first" "$rss"
  done
done
