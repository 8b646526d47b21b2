# The program drawing into a window another program made (--root with XSCREENSAVER_WINDOW,
# --window-id): it draws into that window and follows its size, ignores input, ends with status 0
# when the window is destroyed, and ends at once on SIGTERM, after the will-stop (a display-sized
# window) or straight away (a preview). Without an X display, --root says so and fails.
. "$(dirname "$0")/lib.sh"

HERE="$(cd "$(dirname "$0")" && pwd)"
run_status 1 "--root without an X display fails" env -u DISPLAY "$TAVRIN" --root
check "... saying there is no X display" grep -q "no X display" "$WORK/err"
run_status 1 "-window-id with an unreachable X display fails" env DISPLAY=:9999 "$TAVRIN" -window-id 0x400001
run_status 2 "a malformed window id is a command-line error" "$TAVRIN" --window-id 0xzz
run_status 2 "a malformed setting value with -root is a command-line error" "$TAVRIN" -root -trail-length 99

if ! command -v Xvfb >/dev/null || ! python3 -c 'import ctypes; ctypes.CDLL("libX11.so.6")' 2>/dev/null; then
    skip "the rest needs Xvfb and libX11"
fi
unset QT_QPA_PLATFORM
start_xvfb server 1280x800

# ended_within SECONDS PID: waits for the process to end; its status lands in $WORK/status.
ended_within() {
    local deadline=$((SECONDS + $1))
    while kill -0 "$2" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
    if kill -0 "$2" 2>/dev/null; then
        kill -9 "$2"
        wait "$2" 2>/dev/null
        return 1
    fi
    wait "$2"
    echo $? >"$WORK/status"
}

# window_command CMD: one command to the window helper, answered with "done".
window_command() {
    echo "$1" >&"${WIN[1]}"
    read -r -t 10 _ <&"${WIN[0]}"
}

# scenario NAME W H ARGS...: a window of W x H, the program started on it with ARGS (the word
# WID is replaced by the window's id); the program's pid in $PROGRAM.
scenario() {
    local name="$1" w="$2" h="$3"
    shift 3
    coproc WIN (python3 "$HERE/x11_window.py" "$w" "$h")
    read -r -t 10 WID <&"${WIN[0]}"
    local args=()
    for a in "$@"; do args+=("${a//WID/$WID}"); done
    XSCREENSAVER_WINDOW="$WID" "$TAVRIN" "${args[@]}" --log-stderr >"$WORK/$name.out" 2>"$WORK/$name.err" &
    PROGRAM=$!
}

# 1. A display-sized window: drawn into (the frame rate corner lights pixels whatever the scene),
# follows a resize, ignores pointer and keys, and ends with status 0 when the window goes.
scenario daemon 800 600 -root -fps
sleep 2.5
window_command "shot $WORK/a.ppm"
lit=$(python3 -c 'import sys; d=open(sys.argv[1],"rb").read().split(b"\n",1)[1]; print(sum(1 for i in range(0,len(d),3) if d[i:i+3]!=bytes(3)))' "$WORK/a.ppm")
check "the view draws into the window ($lit lit pixels)" test "$lit" -gt 50
window_command "resize 640 480"
sleep 1
check "the view follows the window's size" grep -q "resized to 640x480" "$WORK/daemon.err"
window_command "destroy"
if ended_within 3 "$PROGRAM"; then
    check "destroying the window ends the program with status 0" test "$(cat "$WORK/status")" -eq 0
else
    fail "the program outlived its window"
fi
window_command quit
wait "$WIN_PID" 2>/dev/null

# 2. SIGTERM on a display-sized window: the view stops and the process ends at once, status 0
# (a front-end may wait for its hack before it takes the window down).
scenario term 800 600 --window-id WID --trace "$WORK/term-%p.jsonl"
sleep 2
kill -TERM "$PROGRAM"
if ended_within 2 "$PROGRAM"; then
    check "SIGTERM ends a hack with status 0" test "$(cat "$WORK/status")" -eq 0
    check "... after stopping the view" grep -q "stopping the screen saver: SIGTERM" "$WORK/term.err"
    check "... leaving its trace in whole lines" python3 -c '
import json, sys
text = open(sys.argv[1]).read()
sys.exit(0 if text.endswith("\n") and len([json.loads(l) for l in text.splitlines()]) > 10 else 1)' "$WORK/term-$PROGRAM.jsonl"
else
    fail "the hack outlived SIGTERM by 2 s"
fi
window_command quit
wait "$WIN_PID" 2>/dev/null

# 3. The settings tool's preview (--root with --window-id, a small window): SIGTERM ends it at once.
scenario preview 320 240 --root --window-id WID
sleep 2
check "a small window gets a preview" grep -q "preview)" "$WORK/preview.err"
kill -TERM "$PROGRAM"
if ended_within 2 "$PROGRAM"; then
    check "SIGTERM ends a preview at once with status 0" test "$(cat "$WORK/status")" -eq 0
else
    fail "the preview outlived SIGTERM by 2 s"
fi
window_command quit
wait "$WIN_PID" 2>/dev/null
finish
