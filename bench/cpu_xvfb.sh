#!/usr/bin/env bash
# CPU of the screen saver against two of XScreenSaver's own hacks on the same X server, run by
# hand (never in CI): each program draws for a while on a fresh Xvfb and the script reads the
# user and system time that the program and the X server spent meanwhile from /proc/<pid>/stat.
#
#   bash bench/cpu_xvfb.sh [hd|4k|battery] [--tavrin PATH] [--runs N] [--seconds S]
#
#   hd  (default) one 1920x1080 screen: `tavrin --root`, `fluidballs --root` and `qix --root`,
#       one after the other on one server, N rounds; prints each figure as a share of one core,
#       the median over the rounds and the ratio to fluidballs.
#   4k  one 7680x4320 screen split into four 3840x2160 monitors (xrandr --setmonitor) and one
#       full-screen `tavrin`: the frame rate of each view (from the state lines that every view
#       logs every 150 frames, stamped as they arrive) and the CPU, N rounds.
#   battery  one 1920x1080 screen: the full-screen `tavrin` as on mains power and with
#       --half-rate (what the idle watcher starts on battery with OnBattery=half), one after
#       the other, N rounds; prints the medians and the ratio of half to full.
#
# The hacks come from Debian's xscreensaver-data-extra. Other work on the machine disturbs the
# figures: the load average is printed with them, and medians of several rounds are steadier.
set -euo pipefail

mode=hd
runs=3
seconds=15
warmup=3
here=$(cd "$(dirname "$0")/.." && pwd)
tavrin="$here/build/release/tavrin"
hacks=/usr/libexec/xscreensaver

while (($#)); do
  case "$1" in
    hd | 4k) mode=$1 ;;
    --tavrin) tavrin=$2; shift ;;
    --runs) runs=$2; shift ;;
    --seconds) seconds=$2; shift ;;
    battery) mode=$1 ;;
    -h | --help) sed -n '2,20p' "$0"; exit 0 ;;
    *) echo "cpu_xvfb.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift
done

[ -x "$tavrin" ] || { echo "cpu_xvfb.sh: no program at $tavrin (build it, or pass --tavrin PATH)" >&2; exit 1; }
for tool in Xvfb xrandr xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "cpu_xvfb.sh: $tool is missing (apt-get install xvfb x11-xserver-utils x11-utils)" >&2; exit 1; }
done
if [ "$mode" = hd ] && { [ ! -x "$hacks/fluidballs" ] || [ ! -x "$hacks/qix" ]; }; then
  echo "cpu_xvfb.sh: fluidballs and qix are missing (apt-get install xscreensaver-data-extra)" >&2
  exit 1
fi

work=$(mktemp -d)
xvfb=""
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

ticks_per_second=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
percent() { awk -v t="$1" -v hz="$ticks_per_second" -v s="$seconds" 'BEGIN { printf "%.1f", 100 * t / hz / s }'; }
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Starts Xvfb on a free display from a high range (tests elsewhere on the machine take the low
# numbers) and waits until it answers.
start_xvfb() {
  local n
  for n in $(shuf -i 70-99); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # -noreset: the monitors set with xrandr would go when its connection closes.
    Xvfb ":$n" -screen 0 "$1" -nolisten tcp -noreset 2>"$work/xvfb.log" &
    xvfb=$!
    for _ in $(seq 50); do
      xdpyinfo -display ":$n" >/dev/null 2>&1 && { export DISPLAY=":$n"; return; }
      kill -0 "$xvfb" 2>/dev/null || break
      sleep 0.1
    done
    kill "$xvfb" 2>/dev/null || true
  done
  echo "cpu_xvfb.sh: Xvfb did not start" >&2
  cat "$work/xvfb.log" >&2
  exit 1
}

# Runs a command on the server for the warm-up and then `seconds`; sets prog_ticks and x_ticks.
measure() {
  local attempt
  for attempt in 1 2 3; do
    "$@" >/dev/null 2>"$work/program.log" &
    program=$!
    sleep "$warmup"
    kill -0 "$program" 2>/dev/null && break
    # On a machine shared with other X servers a first connection now and then fails: again.
    wait "$program" 2>/dev/null || true
    program=""
    [ "$attempt" = 3 ] && { echo "cpu_xvfb.sh: '$*' ended early:" >&2; cat "$work/program.log" >&2; exit 1; }
  done
  local p0 x0
  p0=$(cpu_ticks "$program"); x0=$(cpu_ticks "$xvfb")
  sleep "$seconds"
  prog_ticks=$(($(cpu_ticks "$program") - p0))
  x_ticks=$(($(cpu_ticks "$xvfb") - x0))
  kill "$program"; wait "$program" 2>/dev/null || true
  program=""
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"

if [ "$mode" = battery ]; then
  start_xvfb 1920x1080x24
  declare -a full half
  for round in $(seq "$runs"); do
    measure "$tavrin"
    full+=("$(percent $((prog_ticks + x_ticks)))")
    measure "$tavrin" --half-rate
    half+=("$(percent $((prog_ticks + x_ticks)))")
    printf 'round %d  full rate %5s %%  half rate %5s %% of one core (program + X server)\n' "$round" \
      "${full[-1]}" "${half[-1]}"
  done
  f=$(echo "${full[*]}" | median); h=$(echo "${half[*]}" | median)
  echo "medians over $runs round(s) of ${seconds} s at 1920x1080: full rate $f %, half rate $h %," \
    "half / full $(awk -v a="$h" -v b="$f" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
elif [ "$mode" = hd ]; then
  start_xvfb 1920x1080x24
  names=(tavrin fluidballs qix)
  declare -A total prog xsrv
  for round in $(seq "$runs"); do
    for name in "${names[@]}"; do
      case $name in
        tavrin) measure "$tavrin" --root ;;
        *) measure "$hacks/$name" -root ;;
      esac
      total[$name]+=" $(percent $((prog_ticks + x_ticks)))"
      prog[$name]+=" $(percent "$prog_ticks")"
      xsrv[$name]+=" $(percent "$x_ticks")"
      printf 'round %d  %-10s program %5s %%  X server %5s %%  together %5s %% of one core\n' "$round" "$name" \
        "$(percent "$prog_ticks")" "$(percent "$x_ticks")" "$(percent $((prog_ticks + x_ticks)))"
    done
  done
  echo "medians over $runs round(s) of ${seconds} s at 1920x1080, share of one core:"
  fluid=$(echo "${total[fluidballs]}" | median)
  for name in "${names[@]}"; do
    t=$(echo "${total[$name]}" | median)
    printf '  %-10s program %5s %%  X server %5s %%  together %5s %%  ratio to fluidballs %s\n' "$name" \
      "$(echo "${prog[$name]}" | median)" "$(echo "${xsrv[$name]}" | median)" "$t" \
      "$(awk -v a="$t" -v b="$fluid" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
  done
else
  start_xvfb 7680x4320x24
  for i in 0 1 2 3; do
    x=$(((i % 2) * 3840)); y=$((i / 2 * 2160))
    # The first monitor takes over the screen's output, the others have none.
    xrandr --setmonitor "tavrin-$i" "3840/600x2160/340+$x+$y" "$([ "$i" = 0 ] && echo screen || echo none)" >/dev/null
  done
  xrandr --listmonitors | sed 's/^/  /'
  stamp() { while IFS= read -r line; do printf '%s %s\n' "$(date +%s.%N)" "$line"; done; }
  declare -a totals rates
  for round in $(seq "$runs"); do
    : >"$work/states"
    "$tavrin" --log-stderr 2> >(stamp >"$work/states") >/dev/null &
    program=$!
    sleep "$warmup"
    p0=$(cpu_ticks "$program"); x0=$(cpu_ticks "$xvfb")
    sleep "$seconds"
    prog_ticks=$(($(cpu_ticks "$program") - p0)); x_ticks=$(($(cpu_ticks "$xvfb") - x0))
    kill "$program"; wait "$program" 2>/dev/null || true
    program=""
    sleep 0.5
    # Frames per second of each view between its first and its last state line.
    fps=$(awk '/view=0x/ && /frame=/ {
        match($0, /view=0x[0-9a-f]+/); v = substr($0, RSTART, RLENGTH)
        match($0, /frame=[0-9]+/); f = substr($0, RSTART + 6, RLENGTH - 6) + 0
        if (f == 0 || f % 150) next  # the regular lines; others come at changes
        if (!(v in t0)) { t0[v] = $1; f0[v] = f } else { t1[v] = $1; f1[v] = f }
      } END { for (v in t1) if (t1[v] > t0[v]) printf "%.1f ", (f1[v] - f0[v]) / (t1[v] - t0[v]) }' "$work/states")
    printf 'round %d  views at %s frames per second; program %s %%  X server %s %%  together %s %% of one core\n' \
      "$round" "${fps:-?}" "$(percent "$prog_ticks")" "$(percent "$x_ticks")" "$(percent $((prog_ticks + x_ticks)))"
    totals+=("$(percent $((prog_ticks + x_ticks)))")
    rates+=("$(echo "$fps" | tr ' ' '\n' | grep -v '^$' | sort -g | head -n1)")
  done
  echo "medians over $runs round(s) of ${seconds} s, four 3840x2160 monitors: slowest view $(echo "${rates[*]}" | median) fps," \
    "program + X server $(echo "${totals[*]}" | median) % of one core"
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
