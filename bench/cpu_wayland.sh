#!/usr/bin/env bash
# CPU of the full-screen saver on Wayland, run by hand (never in CI): each way of showing it, on
# headless sway (pixman) and headless GNOME Shell 43 side by side in one run, and on X for
# reference, all with two 1280x720 outputs, the ways taken in rotation for N rounds, medians at
# the end:
#   sway-layer      our layer-shell surfaces (--layer-shell)
#   sway-toplevel   our fullscreen toplevels (--no-layer-shell)
#   sway-qt         Qt's full-screen windows (--no-own-wayland)
#   gnome-toplevel  our fullscreen toplevels, GNOME's path
#   gnome-qt        Qt's full-screen windows (--no-own-wayland), GNOME's path before them
#   x11             Qt's full-screen window on Xvfb, one 2560x720 screen (as much to draw)
# For each: the CPU of the program and of the compositor as a share of one core (user + system
# time from /proc/<pid>/stat over S seconds after a warm-up), the frames per second of each output,
# the time from the start to the first frame on both, the resident memory at the end, and the
# program's context switches per second (all its threads, voluntary and not).
#
#   bash bench/cpu_wayland.sh [--tavrin PATH] [--runs N] [--seconds S] [--ways "sway-layer gnome-qt..."]
#
# Frames per second: our surfaces count the buffers they committed on each output (a line of the
# log at the stop); Qt's windows count the frames each view stepped, from --trace. Time to the
# first frame: our surfaces log each output's first commit; for Qt's windows it is the first line
# of each view in the trace, written when the view first steps. sway and GNOME Shell refuse to run
# as root: as root, they and the program run as nobody. GNOME Shell runs through the end-to-end
# tests' fixture (tests/e2e/gnome_fixture.sh).
set -uo pipefail

runs=3
seconds=20
warmup=3
ways="sway-layer sway-toplevel sway-qt gnome-toplevel gnome-qt x11"
here=$(cd "$(dirname "$0")/.." && pwd)
tavrin="$here/build/release/tavrin"
while (($#)); do
  case "$1" in
    --tavrin) tavrin=$2; shift ;;
    --runs) runs=$2; shift ;;
    --seconds) seconds=$2; shift ;;
    --ways) ways=$2; shift ;;
    -h | --help) sed -n '2,24p' "$0"; exit 0 ;;
    *) echo "cpu_wayland.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift
done
[ -x "$tavrin" ] || { echo "cpu_wayland.sh: no program at $tavrin (build it, or pass --tavrin PATH)" >&2; exit 1; }

# The tests' helpers (wait_for_line, wait_exit, at_exit) and fixture; lib.sh takes the program.
. "$here/tests/e2e/lib.sh" "$tavrin"
. "$here/tests/e2e/gnome_fixture.sh"
. "$here/bench/headless_sway.sh"
program=""
at_exit '[ -n "$program" ] && kill -9 "$program" 2>/dev/null; stop_headless_sway; [ -n "$GNOME_FIXTURE_DIR" ] && gnome_stop'

case " $ways " in *" sway-"*)
  command -v sway >/dev/null || { echo "cpu_wayland.sh: sway is missing (apt-get install sway)" >&2; exit 1; }
  start_headless_sway "$tavrin" "$here" 1280x720 || exit 1 ;;
esac
case " $ways " in *" gnome-"*)
  if reason=$(gnome_missing); then echo "cpu_wayland.sh: GNOME Shell $reason" >&2; exit 1; fi
  # A copy of the program and its pictures that GNOME Shell's user can read, and a folder to write.
  chmod a+x "$WORK"
  gnome_bin="$WORK/gnome/bin"
  mkdir -p "$gnome_bin" "$WORK/gnome/out"
  cp "$tavrin" "$gnome_bin/tavrin"
  cp -r "$here/resources" "$WORK/gnome/resources"
  chmod -R a+rX "$WORK/gnome"
  [ "$(id -u)" -eq 0 ] && chown 65534:65534 "$WORK/gnome/out"
  gnome_start "$WORK/gnome" || exit 1 ;;
esac

case " $ways " in *" x11 "*) start_xvfb x11 2560x720 || exit 1 ;; esac

ticks_per_second=$(getconf CLK_TCK)
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { n += $2 } END { print n + 0 }'; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# run WAY: one measured run; prints "cpu_program cpu_compositor fps first_ms rss_mb switches_per_s".
run() {
  local way="$1" compositor out options=() command=()
  case "$way" in
    *-layer) options=(--layer-shell) ;;
    sway-toplevel) options=(--no-layer-shell) ;;
    *-qt) options=(--no-own-wayland) ;;
  esac
  if [[ "$way" == sway-* ]]; then
    compositor=$sway out="$work/out"
    command=("${client_env[@]}" "$work/bin/tavrin")
  elif [ "$way" = x11 ]; then
    compositor=$(cat "$WORK/x11.xvfb-pid") out="$WORK"
    command=(env DISPLAY="$(cat "$WORK/x11.display")" TAVRIN_RESOURCE_DIR="$here/resources" "$tavrin")
  else
    compositor=$GNOME_SHELL_PID out="$WORK/gnome/out"
    command=("${GNOME_ENV[@]}" TAVRIN_RESOURCE_DIR="$WORK/gnome/resources" "${AS_USER[@]}" "$gnome_bin/tavrin")
  fi
  local err="$WORK/$way.err" trace="$out/$way.jsonl"
  rm -f "$err" "$trace"
  local start first=""
  start=$(now_ms)
  "${command[@]}" --log-stderr --seed 15 --trace "$trace" "${options[@]}" >/dev/null 2>"$err" &
  program=$!
  # The first frame on every output: the log's lines, or each view's first trace line.
  local outputs=2
  [ "$way" = x11 ] && outputs=1
  for _ in $(seq 200); do
    if [ "$(grep -c 'first frame of' "$err" 2>/dev/null)" = "$outputs" ] ||
      [ "$(python3 -c 'import json,sys; print(len({json.loads(l)["display"] for l in open(sys.argv[1]) if l.endswith("\n")}))' "$trace" 2>/dev/null)" = "$outputs" ]; then
      first=$(($(now_ms) - start))
      break
    fi
    sleep 0.02
  done
  sleep "$warmup"
  local p0 c0 w0 p1 c1 w1 lines0 lines1
  p0=$(ticks "$program") c0=$(ticks "$compositor") w0=$(switches "$program") lines0=$(wc -l <"$trace")
  sleep "$seconds"
  p1=$(ticks "$program") c1=$(ticks "$compositor") w1=$(switches "$program") lines1=$(wc -l <"$trace")
  local rss
  rss=$(awk '/VmRSS/ { printf "%.0f", $2 / 1024 }' "/proc/$program/status")
  kill -TERM "$program"
  wait "$program" 2>/dev/null
  program=""
  local fps
  if grep -q 'frames committed' "$err"; then
    fps=$(grep -o '([0-9.]* per second)' "$err" | tr -d '(' | awk '{ printf "%s%s", sep, $1; sep = "/" }')
  else
    fps=$(awk -v l="$((lines1 - lines0))" -v n="$outputs" -v s="$seconds" 'BEGIN { printf "%.1f", l / n / s }')
  fi
  awk -v p="$((p1 - p0))" -v c="$((c1 - c0))" -v t="$ticks_per_second" -v d="$seconds" -v f="$fps" -v m="${first:-none}" \
    -v r="$rss" -v w="$((w1 - w0))" 'BEGIN { printf "%.1f %.1f %s %s %s %.0f\n", 100 * p / t / d, 100 * c / t / d, f, m, r, w / d }'
}

echo "Two 1280x720 outputs on headless sway (pixman), GNOME Shell and Xvfb, $seconds s per run, load average $(cut -d' ' -f1-3 /proc/loadavg)"
format='%-15s %5s %10s %12s %12s %12s %8s %12s\n'
printf "$format" way round "program %" "compositor %" "frames/s" "first ms" "RSS MB" "switches/s"
results="$WORK/results"
for round in $(seq "$runs"); do
  for way in $ways; do
    read -r cpu ccpu fps first rss sw < <(run "$way")
    printf "$format" "$way" "$round" "$cpu" "$ccpu" "$fps" "$first" "$rss" "$sw"
    echo "$way $cpu $ccpu $rss $sw" >>"$results"
  done
done
# median WAY COLUMN: the median of that column of the way's rounds.
median() {
  awk -v w="$1" -v c="$2" '$1 == w { print $c }' "$results" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
echo "Medians:"
printf '%-15s %10s %12s %12s %8s %12s\n' way "program %" "per output %" "compositor %" "RSS MB" "switches/s"
for way in $ways; do
  printf '%-15s %10s %12s %12s %8s %12s\n' "$way" "$(median "$way" 2)" \
    "$(awk -v v="$(median "$way" 2)" 'BEGIN { printf "%.2f", v / 2 }')" "$(median "$way" 3)" "$(median "$way" 4)" \
    "$(median "$way" 5)"
done
