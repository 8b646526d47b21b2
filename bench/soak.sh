#!/usr/bin/env bash
# Soak: one hour of frames on two 1920x1080 displays side by side, with the resident memory
# sampled as it goes. Run by hand, never in CI:
#
#     bash bench/soak.sh [path/to/tavrin] [frames]
#     bash bench/soak.sh --wayland [path/to/tavrin] [minutes]
#
# Headless (the first form): 108,000 frames at 30 per second. The program writes a picture of
# each display every 10,000 frames; the resident size is read from /proc as soon as the second
# display's picture of a sample frame exists. Growth after the first 10,000 frames must stay under
# 1 MB (1024 kB); the script fails otherwise.
#
# --wayland: the full-screen saver's layer-shell surfaces on headless sway (two outputs, see
# headless_sway.sh) for 60 minutes (or those given) of wall-clock time, at the frame rate the
# compositor takes. The resident size (with its anonymous and shared-memory parts: the frame buffers are shared
# memory) is read every 10 s from the first frame on both outputs and printed every minute; at
# the end SIGTERM stops the saver, whose log gives the frames committed on each output. Growth
# over the size at 10 minutes (at 1 minute in a run of 10 minutes or less) must stay within 2 MB
# (2048 kB); the script fails otherwise. It runs beside other work: start it with `nice`.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)

soak_wayland() {
    local tavrin="${1:-$here/build/release/tavrin}" minutes="${2:-60}"
    local limit_kb=2048 period=10
    if [ ! -x "$tavrin" ]; then
        echo "usage: bash $0 --wayland [path/to/tavrin] [minutes]  (build the Release program first)" >&2
        exit 1
    fi
    command -v sway >/dev/null || { echo "soak.sh: sway is missing (apt-get install sway)" >&2; exit 1; }
    . "$here/bench/headless_sway.sh"
    program=""
    trap '[ -n "$program" ] && kill -9 "$program" 2>/dev/null; stop_headless_sway' EXIT
    start_headless_sway "$tavrin" "$here" || exit 1

    local log="$work/soak.err"
    "${client_env[@]}" "$work/bin/tavrin" --layer-shell --log-stderr --seed 1 >/dev/null 2>"$log" &
    program=$!
    local deadline=$((SECONDS + 60))
    until [ "$(grep -c 'first frame of' "$log")" -ge 2 ]; do
        if ! kill -0 "$program" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
            echo "soak.sh: no first frame on both outputs:" >&2
            tail -5 "$log" >&2
            exit 1
        fi
        sleep 0.1
    done
    local start=$SECONDS baseline_minute=10
    ((minutes > 10)) || baseline_minute=1

    echo "Layer-shell saver on headless sway, two 1920x1080 outputs, $minutes min," \
        "load average $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "minute   RSS (kB)   anonymous   shared memory   growth since minute $baseline_minute (kB)"
    local sample=0 baseline="" worst=0 rss anon shmem minute growth
    while :; do
        sample=$((sample + 1))
        while [ $((SECONDS - start)) -lt $((sample * period)) ]; do sleep 1; done
        if ! kill -0 "$program" 2>/dev/null || ! kill -0 "$sway" 2>/dev/null; then
            echo "soak.sh: the saver or sway ended after $((SECONDS - start)) s:" >&2
            tail -5 "$log" >&2
            exit 1
        fi
        read -r rss anon shmem < <(awk '/^VmRSS:/ { r = $2 } /^RssAnon:/ { a = $2 } /^RssShmem:/ { s = $2 }
            END { print r, a, s }' "/proc/$program/status")
        minute=$((sample * period / 60))
        growth=""
        if ((sample * period == baseline_minute * 60)); then baseline=$rss; fi
        if [ -n "$baseline" ]; then
            growth=$((rss - baseline))
            ((growth > worst)) && worst=$growth
        fi
        if ((sample * period % 60 == 0)); then
            printf '%-8s %-10s %-11s %-15s %s\n' "$minute" "$rss" "$anon" "$shmem" "$growth"
        fi
        ((sample * period < minutes * 60)) || break
    done

    kill -TERM "$program"
    local status=0
    wait "$program" || status=$?
    program=""
    grep 'frames committed' "$log" | sed 's/^.*output /output /' || true
    if [ "$status" -ne 0 ]; then
        echo "soak.sh: the saver ended with status $status" >&2
        exit 1
    fi
    echo "largest growth after minute $baseline_minute: $worst kB (limit $limit_kb kB)"
    if ((worst > limit_kb)); then
        echo "FAIL: the resident memory grew by $worst kB" >&2
        exit 1
    fi
    echo "ok"
}

if [ "${1:-}" = --wayland ]; then
    shift
    soak_wayland "$@"
    exit 0
fi

TAVRIN="${1:-$here/build/release/tavrin}"
FRAMES="${2:-108000}"
EVERY=10000
LIMIT_KB=1024

if [ ! -x "$TAVRIN" ]; then
    echo "usage: bash $0 [path/to/tavrin] [frames]  (build the Release program first)" >&2
    exit 1
fi

WORK="$(mktemp -d "${TMPDIR:-/tmp}/tavrin-soak.XXXXXX")"
PROGRAM=""
cleanup() {
    [ -n "$PROGRAM" ] && kill "$PROGRAM" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

cat >"$WORK/screens.json" <<'EOF'
{"screens":[{"name":"Left","x":0,"y":0,"width":1920,"height":1080,"dpr":1},
            {"name":"Right","x":1920,"y":0,"width":1920,"height":1080,"dpr":1}]}
EOF

XDG_CONFIG_HOME="$WORK/config" "$TAVRIN" --render "$WORK/out" --frames "$FRAMES" --every "$EVERY" \
    --screens "$WORK/screens.json" --seed 1 >"$WORK/run.out" 2>"$WORK/run.err" &
PROGRAM=$!
start=$SECONDS

echo "frame      RSS (kB)   growth since frame $EVERY (kB)   elapsed (s)"
first=""
worst=0
frame=$EVERY
while [ "$frame" -le "$FRAMES" ]; do
    picture="$WORK/out/$(printf 'display1-frame%05d.png' "$frame")"
    while [ ! -e "$picture" ] && kill -0 "$PROGRAM" 2>/dev/null; do sleep 0.05; done
    if ! kill -0 "$PROGRAM" 2>/dev/null; then break; fi
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$PROGRAM/status")
    [ -z "$first" ] && first=$rss
    growth=$((rss - first))
    ((growth > worst)) && worst=$growth
    printf '%-10s %-10s %-31s %s\n' "$frame" "$rss" "$growth" "$((SECONDS - start))"
    frame=$((frame + EVERY))
done

status=0
wait "$PROGRAM" || status=$?
PROGRAM=""
if [ "$status" -ne 0 ]; then
    echo "tavrin ended with status $status:" >&2
    tail -5 "$WORK/run.err" >&2
    exit 1
fi
if [ -z "$first" ]; then
    echo "no sample taken (fewer than $EVERY frames?)" >&2
    exit 1
fi
echo "largest growth after frame $EVERY: $worst kB (limit $LIMIT_KB kB); $FRAMES frames in $((SECONDS - start)) s"
if ((worst >= LIMIT_KB)); then
    echo "FAIL: the resident memory grew by $worst kB" >&2
    exit 1
fi
echo "ok"
