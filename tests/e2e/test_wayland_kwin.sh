# The program on KDE's compositor: KWin 5.27 headless (kwin_fixture.sh), two 1280x720 outputs
# side by side, scale 1.5 on the second. It covers both outputs with layer surfaces whose buffers
# are at the outputs' pixel size, shown at the logical size through wp_viewporter (1280x720 shown
# at 853x480 on the scaled output, so KWin does not scale them), sparks cross both ways, and a
# key press or a pointer motion, injected through KWin's fake-input protocol, each end it with
# status 0.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/kwin_fixture.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
SOURCE="${TAVRIN_SOURCE_DIR:-$(cd "$HERE/../.." && pwd)}"
if reason=$(kwin_missing); then skip "$reason"; fi
[ -x "${TAVRIN_KWIN_FAKE_INPUT:-}" ] || skip "needs the test tool tavrin_kwin_fake_input (package plasma-wayland-protocols)"
/usr/bin/python3 -c 'import dbus' 2>/dev/null || skip "needs python3-dbus for KWin's screenshots"

SANDBOX="$(mktemp -d /tmp/tavrin-kwin.XXXXXX)"
chmod 755 "$SANDBOX"
mkdir -p "$SANDBOX/bin" "$SANDBOX/resources" "$SANDBOX/out"
cp "$TAVRIN" "$SANDBOX/bin/tavrin"
cp "$TAVRIN_KWIN_FAKE_INPUT" "$SANDBOX/bin/fake_input"
cp -r "$SOURCE/resources/." "$SANDBOX/resources/"
cp "$HERE/kwin_screenshot.py" "$SANDBOX/bin/kwin_screenshot.py" # run as KWin's user, who may not read the tree
chmod -R a+rX "$SANDBOX"
run_unprivileged "$SANDBOX/out"

TAVRIN_PID=""
HOLDER_PID=""
at_exit '[ -n "$TAVRIN_PID" ] && kill -9 $TAVRIN_PID 2>/dev/null; [ -n "$HOLDER_PID" ] && kill $HOLDER_PID 2>/dev/null; kwin_stop; rm -rf "$SANDBOX"'

if ! kwin_start "$SANDBOX/kwin" 1.5 >/dev/null; then
    fail "KWin runs headless with two outputs, scale 1.5 on the second"
    finish
fi
pass "KWin runs headless with two outputs, scale 1.5 on the second"
# KWin's seat has a pointer only while a fake input device exists: one is held for the whole run,
# so that the program finds the pointer when it starts.
"${KWIN_ENV[@]}" "${AS_USER[@]}" "$SANDBOX/bin/fake_input" wait 600000 &
HOLDER_PID=$!

start_tavrin() {
    "${KWIN_ENV[@]}" HOME="$SANDBOX/out" TAVRIN_RESOURCE_DIR="$SANDBOX/resources" \
        "${AS_USER[@]}" "$SANDBOX/bin/tavrin" --log-stderr --seed 15 --trace "$SANDBOX/out/$1.jsonl" \
        >"$WORK/$1.out" 2>"$WORK/$1.err" &
    TAVRIN_PID=$!
    wait_for_line "$WORK/$1.err" 'first frame of' 2 10
}

# ends_on_input DESCRIPTION STEP...: the fake input runs the steps; the program must end with
# status 0 within 1 s of the input.
ends_on_input() {
    local description="$1"
    shift
    "${KWIN_ENV[@]}" "${AS_USER[@]}" "$SANDBOX/bin/fake_input" "$@"
    wait_exit "$TAVRIN_PID" 1000
    check "$description (status $EXIT_STATUS, $WAITED_MS ms after the input)" test "$EXIT_STATUS" = 0
    [ "$EXIT_STATUS" = running ] && kill -9 "$TAVRIN_PID"
    TAVRIN_PID=""
}

start_tavrin sparks
check "it uses layer-shell surfaces" grep -q 'layer-shell surfaces of our own' "$WORK/sparks.err"
wait_for_crossings "$SANDBOX/out/sparks.jsonl" 25
check "sparks cross between the two outputs, both ways (display:frames $CROSSINGS)" test $? -eq 0

# The buffers each output ends with (KWin tells the fractional scale only after the first frame).
buffers=$(grep -oE "output '[^']*' .*(first frame of|frames of) [0-9]+x[0-9]+ pixels.*" "$WORK/sparks.err" |
    sed -E "s/output '([^']*)'.* ([0-9]+x[0-9]+) pixels for ([0-9]+x[0-9]+).*/\1 \2 \3/" |
    awk '{ last[$1] = $0 } END { for (o in last) print last[o] }' | sort | tr '\n' ';')
check "buffers at each output's pixel size, shown at its logical size ($buffers)" \
    test "$buffers" = "Virtual-0 1280x720 1280x720;Virtual-1 1280x720 853x480;"
check "the scaled output is drawn at 1.5 through a viewport" \
    bash -c "grep 'Virtual-1.*frames\? of' '$WORK/sparks.err' | tail -1 | grep -q '1280x720 pixels for 853x480 logical (scale 1.5, through a viewport)'"

# A screenshot of the scaled output: at its pixel size, and drawn (stars are lit).
"${KWIN_ENV[@]}" "${AS_USER[@]}" python3 "$SANDBOX/bin/kwin_screenshot.py" Virtual-1 "$SANDBOX/out/Virtual-1.png" >/dev/null
read -r width height lit < <(png_pixels "$SANDBOX/out/Virtual-1.png")
check "a screenshot of Virtual-1 shows the scene at 1280x720 (${width}x$height, $lit lit)" \
    test "${width}x$height" = 1280x720 -a "${lit:-0}" -gt 100

ends_on_input "a key press ends it" key 30
start_tavrin motion
sleep 0.5
ends_on_input "a pointer motion ends it" move 40 30

if [ "$FAILURES" -gt 0 ]; then
    grep -v ' view=' "$WORK/sparks.err" | sed 's/^/    tavrin: /' | tail -10
    grep -v XKB "$SANDBOX/kwin/kwin.log" | sed 's/^/    kwin: /' | tail -10
fi
finish
