#!/usr/bin/env bash
# Soak: one hour of frames (108,000 at 30 per second) headless on two 1920x1080 displays side by
# side, with the resident memory sampled every 10,000 frames. Run by hand, never in CI:
#
#     bash bench/soak.sh [path/to/tavrin] [frames]
#
# The program writes a picture of each display every 10,000 frames; the resident size is read
# from /proc as soon as the second display's picture of a sample frame exists. Growth after the
# first 10,000 frames must stay under 1 MB (1024 kB); the script fails otherwise.
set -euo pipefail

TAVRIN="${1:-$(cd "$(dirname "$0")/.." && pwd)/build/release/tavrin}"
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
