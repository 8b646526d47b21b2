# The command line: help, version, usage errors and the missing display.
. "$(dirname "$0")/lib.sh"

run_status 0 "--help" "$TAVRIN" --help
check "--help describes the modes" grep -q -- "--render DIR --frames N" "$WORK/out"
check "--help names the ways to show the saver on Wayland" \
    bash -c "grep -q -- '--no-layer-shell ' '$WORK/out' && grep -q -- '--no-own-wayland ' '$WORK/out'"

run_status 0 "--version" "$TAVRIN" --version
check "--version prints name, version and build" grep -Eq '^tavrin 1\.0\.0 \(build [0-9]+\)$' "$WORK/out"

run_status 0 "--help wins over other options" "$TAVRIN" --window --help

run_status 2 "unknown option" "$TAVRIN" --frobnicate
check "unknown option is named" grep -q "unknown option '--frobnicate'" "$WORK/err"
check "unknown option hints at --help" grep -q -- "--help" "$WORK/err"

# Malformed values and combinations: each is refused with status 2 and a message, never a crash.
while IFS='|' read -r description args; do
    # shellcheck disable=SC2086
    run_status 2 "$description" "$TAVRIN" $args
    check "$description says what is wrong" test -s "$WORK/err"
done <<'CASES'
stray argument|hello
--render without --frames|--render out
--frames without --render|--frames 3
--frames 0|--render out --frames 0
--frames not a number|--render out --frames 3x
--frames negative|--render out --frames -3
--frames too large|--render out --frames 99999999999999999999
--every 0|--render out --frames 3 --every 0
--size without x|--render out --frames 1 --size 640
--size zero side|--render out --frames 1 --size 0x480
--size too large|--render out --frames 1 --size 100000x10
--size and --screens|--render out --frames 1 --size 64x64 --screens s.json
--window bad size|--window 800x
--window and --render|--window --render out --frames 1
--seed negative|--render out --frames 1 --seed -1
--seed not a number|--window --seed abc
--help with a value|--help=yes
value missing at the end|--render
--window-id not a number|--window-id 12ab
--window-id empty hex|--window-id 0x
--window-id zero|--window-id 0
--window-id beyond 32 bits|--window-id 0x100000000
--window-id missing|--root --window-id
--root and --window|-root -window
--root and --render|--root --render out --frames 1
--fps with --render|--fps --render out --frames 1
single-dash unknown option|-frobnicate
single-dash value out of range|-root -star-count 5
single-dash switch with a value|-no-trails=1
--layer-shell with --window|--layer-shell --window
--background with --root|--background --root
--output without a name|--output
--output with --window|--output DP-1 --window
--output with --no-own-wayland|--output DP-1 --no-own-wayland
--no-own-wayland with --settings|--no-own-wayland --settings
--no-layer-shell with --background|--no-layer-shell --background
--after without --idle-watch|--after 5
--after 0|--idle-watch --after 0
--after not a time|--idle-watch --after 5m
--after beyond a day|--idle-watch --after 1441
--idle-watch with --window|--idle-watch --window
--idle-watch with --output|--idle-watch --output DP-1
--idle-status with --idle-watch|--idle-status --idle-watch
--idle-status with a setting|--idle-status --no-trails
--half-rate with --render|--half-rate --render out --frames 1
--half-rate with --idle-watch|--half-rate --idle-watch
CASES

# Single-dash forms, as X programs take them, read like their two-dash forms.
run_status 0 "single-dash settings" "$TAVRIN" -show-settings -no-trails -trail-length 5 -glow-size=20
check "-no-trails is applied" grep -Eq 'EnableFadeTrails.*(0|false|off|NO)' "$WORK/out"
check "-trail-length 5 is applied" grep -Eq 'TrailLength.*5' "$WORK/out"
check "-glow-size=20 is applied" grep -Eq 'GlowSize.*20' "$WORK/out"
check "the settings file is left alone" test ! -e "$XDG_CONFIG_HOME/org.tavrin.screensaver.conf"
run_status 0 "every hack option is known" "$TAVRIN" -root -fps -window-id 0x600008 -help

# No display: one line, status 1, before Qt could abort.
run_status 1 "no display" env -u QT_QPA_PLATFORM "$TAVRIN"
check "no display is said in one line" test "$(wc -l <"$WORK/err")" -eq 1
check "no display names the variables" grep -q "DISPLAY" "$WORK/err"
run_status 1 "no display with --window" env -u QT_QPA_PLATFORM "$TAVRIN" --window
run_status 1 "X11 platform asked for without a display" env QT_QPA_PLATFORM=xcb "$TAVRIN" --window

# The Wayland modes without a compositor: one line, status 1.
run_status 1 "--background without Wayland" env -u WAYLAND_DISPLAY -u WAYLAND_SOCKET "$TAVRIN" --background
check "--background says it needs a compositor" grep -q "'--background' needs a Wayland compositor" "$WORK/err"
run_status 1 "--layer-shell with a compositor that is not there" \
    env XDG_RUNTIME_DIR="$WORK" WAYLAND_DISPLAY=nothing-here "$TAVRIN" --layer-shell
check "--layer-shell says why" grep -q "cannot connect to the Wayland compositor" "$WORK/err"

# The idle watcher outside a desktop session: one line, status 1.
run_status 1 "--idle-watch without a session" env -u WAYLAND_DISPLAY -u DISPLAY "$TAVRIN" --idle-watch --after 5s
check "--idle-watch says it needs a session" grep -q "no session to watch" "$WORK/err"
run_status 3 "--idle-status without a session" env -u WAYLAND_DISPLAY -u DISPLAY "$TAVRIN" --idle-status
check "--idle-status says there is no session" grep -q "No desktop session here" "$WORK/out"

# An X display that does not answer: Qt's fatal error becomes one line and status 1.
run_status 1 "unreachable X display" env -u QT_QPA_PLATFORM DISPLAY=:987 "$TAVRIN" --window
check "unreachable display is said in one line" test "$(wc -l <"$WORK/err")" -eq 1
check "unreachable display is named" grep -q "cannot open the display" "$WORK/err"

finish
