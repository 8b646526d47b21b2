# The full-screen saver on headless sway through layer-shell surfaces of its own: two outputs of
# different sizes, the second offset and at scale 2. No window of ours in sway's tree, each
# output covered at its full pixel size, sparks crossing both ways, a third output added while it
# runs, and the ways it ends: a key press, a pointer movement (not a jitter), SIGTERM, and the
# compositor dying; a compositor that stalls costs no busy loop and drawing resumes after it.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
for tool in sway setpriv grim wtype swaymsg; do
    command -v "$tool" >/dev/null || skip "needs $tool (packages sway, grim, wtype, util-linux)"
done

start_sway "output HEADLESS-1 mode 1280x720 position 0 0
output HEADLESS-2 mode 1600x900 position 1280 0 scale 2"
check "sway runs headless with its socket ($WAYLAND_SOCKET_NAME)" test -n "$WAYLAND_SOCKET_NAME"
[ -n "$WAYLAND_SOCKET_NAME" ] || finish
hold_pointer

TAVRIN_PID=""
at_exit '[ -n "$TAVRIN_PID" ] && kill -9 $TAVRIN_PID 2>/dev/null'
# start_saver NAME [OPTION...]: starts the program on sway; its standard error goes to
# $WORK/NAME.err, its trace to $SANDBOX/out/NAME.jsonl. Waits for a first frame on every output.
start_saver() {
    local name="$1"
    shift
    "${SWAY_ENV[@]}" "$SANDBOX/bin/tavrin" --log-stderr --trace "$SANDBOX/out/$name.jsonl" "$@" \
        >"$WORK/$name.out" 2>"$WORK/$name.err" &
    TAVRIN_PID=$!
    wait_for_line "$WORK/$name.err" 'first frame of' "$(swaymsg_outputs)" 10
}
swaymsg_outputs() { sway_run swaymsg -t get_outputs -r | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))'; }
lit_share() { png_pixels "$1" | awk '{ printf "%d", $3 * 10000 / ($1 * $2) }'; }

# --- Covering both outputs, sparks, a third output.
start_saver main --seed 15
check "it says it uses layer-shell surfaces" grep -q 'layer-shell surfaces of our own' "$WORK/main.err"
firsts=$(grep -o 'first frame of .* ms after its configure' "$WORK/main.err" | awk '{ print $(NF-4) }' | xargs)
check "a first frame on both outputs, each within 1 s of its configure (ms: $firsts)" \
    test "$(echo "$firsts" | wc -w)" -eq 2 -a "$(echo "$firsts" | tr ' ' '\n' | sort -n | tail -1)" -le 1000
windows=$(sway_run swaymsg -t get_tree -r | python3 -c '
import json, sys
def walk(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from walk(c)
print(sum(1 for n in walk(json.load(sys.stdin)) if n.get("pid")))')
check "no window of ours in sway's tree ($windows windows)" test "$windows" = 0
for output in HEADLESS-1:1280x720 HEADLESS-2:1600x900; do
    sway_run grim -o "${output%%:*}" "$SANDBOX/out/${output%%:*}.png"
    size=$(png_size "$SANDBOX/out/${output%%:*}.png")
    share=$(lit_share "$SANDBOX/out/${output%%:*}.png")
    check "${output%%:*} shows the scene at its full pixel size ($size, lit ${share}/10000)" \
        test "$size" = "${output#*:}" -a "${share:-0}" -gt 50
done

wait_for_crossings "$SANDBOX/out/main.jsonl" 25
check "sparks cross between the two outputs, both ways (display:frames $CROSSINGS)" test $? -eq 0

sway_run swaymsg create_output >/dev/null
added=$(date +%s%N)
wait_for_line "$WORK/main.err" 'first frame of' 3 10
sleep 0.5
neighbours=$(python3 - "$SANDBOX/out/main.jsonl" <<'PY'
import json, sys
last = {}
for line in open(sys.argv[1]):
    if line.endswith("\n"):
        o = json.loads(line)
        last[o["display"]] = [i for i, e in enumerate(o["edgeNeighbors"]) if e["hasNeighbor"]]
print(" ".join(f"{d}:{','.join(map(str, e))}" for d, e in sorted(last.items())))
PY
)
# Display 1 (HEADLESS-2) now has the new output on its right (edge 1) as well as HEADLESS-1 on its
# left (edge 0); the new output, display 2, has HEADLESS-2 on its left.
check "a third output gets a view and the neighbours follow (display:edges $neighbours)" \
    test "$neighbours" = "0:1 1:0,1 2:0"

"${SWAY_ENV[@]}" "$SANDBOX/bin/pointer" 3 3 >/dev/null
sleep 0.6
check "a pointer jitter of 3,3 does not stop it" kill -0 "$TAVRIN_PID"
"${SWAY_ENV[@]}" "$SANDBOX/bin/pointer" 40 0 >/dev/null
wait_exit "$TAVRIN_PID" 2000
check "a pointer movement ends it with status 0 within 0.5 s (status $EXIT_STATUS after $WAITED_MS ms)" \
    test "$EXIT_STATUS" = 0 -a "$WAITED_MS" -le 500
check "it stopped on the movement" grep -q 'stopping the screen saver: mouse movement' "$WORK/main.err"
# Each output's frames are counted over its own surface's life: the one added later over less.
alive=$(sed -n "s/.*output '\(HEADLESS-[0-9]\)'.* frames committed in \([0-9.]*\) s.*/\1=\2/p" "$WORK/main.err" |
    sort | xargs)
since_added=$((($(date +%s%N) - added) / 1000000))
check "the output added later counts its frames over its own life ($alive s; added $since_added ms ago)" \
    awk -v a="$alive" -v s="$since_added" 'BEGIN { n = split(a, f, /[ =]/)
        exit !(n == 6 && f[6] <= s / 1000 + 0.1 && f[6] < f[2] && f[6] < f[4]) }'

# --- A key press.
start_saver key
sway_run wtype -s 800 a
wait_exit "$TAVRIN_PID" 2000
check "a key press ends it with status 0 within 0.5 s (status $EXIT_STATUS after $WAITED_MS ms)" \
    test "$EXIT_STATUS" = 0 -a "$WAITED_MS" -le 500

# --- SIGTERM.
start_saver term
kill -TERM "$TAVRIN_PID"
wait_exit "$TAVRIN_PID" 2000
check "SIGTERM ends it with status 0 (status $EXIT_STATUS after $WAITED_MS ms)" test "$EXIT_STATUS" = 0

# --- A compositor that stalls for 5 s, then one that dies.
start_saver stall
cpu() { awk '{ print $14 + $15 }' "/proc/$TAVRIN_PID/stat"; }
rss() { awk '/VmRSS/ { print $2 }' "/proc/$TAVRIN_PID/status"; }
kill -STOP "$SWAY_PID"
sleep 1
cpu0=$(cpu) rss0=$(rss)
sleep 4
cpu1=$(cpu) rss1=$(rss)
kill -CONT "$SWAY_PID"
ticks=$((cpu1 - cpu0))
check "while sway is stopped the program stays almost idle ($ticks ticks of CPU in 4 s)" test "$ticks" -le 40
check "and its memory stays flat (RSS $rss0 -> $rss1 kB)" test $((rss1 - rss0)) -le 2048
sleep 1
sway_run grim -o HEADLESS-1 "$SANDBOX/out/after1.png"
sleep 0.5
sway_run grim -o HEADLESS-1 "$SANDBOX/out/after2.png"
check "drawing resumes when sway continues" \
    test "$(md5sum <"$SANDBOX/out/after1.png")" != "$(md5sum <"$SANDBOX/out/after2.png")"
{ kill -9 "$SWAY_PID"; wait "$SWAY_PID"; } 2>/dev/null
SWAY_PID=""
wait_exit "$TAVRIN_PID" 3000
check "the compositor dying ends it within 1 s with status 0 (status $EXIT_STATUS after $WAITED_MS ms)" \
    test "$EXIT_STATUS" = 0 -a "$WAITED_MS" -le 1000
check "with a clear message" grep -q 'tavrin: lost the connection to the Wayland compositor' "$WORK/stall.err"
TAVRIN_PID=""

if [ "$FAILURES" -gt 0 ]; then
    for f in "$WORK"/*.err; do grep -v ' view=' "$f" | sed "s|^|    $(basename "$f"): |" | tail -8; done
    sed 's/^/    sway: /' "$WORK/sway.log" | tail -5
fi
finish
