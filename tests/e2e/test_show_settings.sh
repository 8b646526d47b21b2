# --show-settings: the eleven settings in effect, read from the settings file without changing it.
. "$(dirname "$0")/lib.sh"

FILE="$XDG_CONFIG_HOME/org.tavrin.screensaver.conf"

settings_lines() { grep -E '^[A-Za-z]+=' "$WORK/out"; }

# --- No file: the defaults. ---
run_status 0 "--show-settings without a settings file" "$TAVRIN" --show-settings
check "eleven settings" test "$(settings_lines | wc -l)" -eq 11
check "defaults in the table's order" test "$(settings_lines | tr '\n' ' ')" = \
"EnableFadeTrails=true EnableNeonGlow=true EnableCollisionFlash=true EnableColorDrift=true EnableStarfield=true \
EnableCollisionSparks=true EnableCrossMonitorSparks=true EnableBallCurve=true TrailLength=15 GlowSize=15 StarCount=50 "
check "names the settings file" grep -q "$FILE" "$WORK/out"
check "reading creates no file" test ! -e "$FILE"

# --- Stored values are shown within their limits; other lines are left alone. ---
mkdir -p "$XDG_CONFIG_HOME"
cat >"$FILE" <<'CONF'
# my settings
EnableStarfield=false
EnableBallCurve=no
TrailLength=1000
GlowSize=7
StarCount=-4
SomethingElse=1
CONF
cp "$FILE" "$WORK/before.conf"
run_status 0 "--show-settings with a settings file" "$TAVRIN" --show-settings
check "a stored false is shown" grep -qx "EnableStarfield=false" "$WORK/out"
check "'no' reads as false" grep -qx "EnableBallCurve=false" "$WORK/out"
check "an unset key keeps its default" grep -qx "EnableNeonGlow=true" "$WORK/out"
check "TrailLength is held to its upper limit" grep -qx "TrailLength=30" "$WORK/out"
check "GlowSize within limits is kept" grep -qx "GlowSize=7" "$WORK/out"
check "StarCount is held to its lower limit" grep -qx "StarCount=10" "$WORK/out"
check "the file is unchanged" cmp -s "$FILE" "$WORK/before.conf"

# --- Settings on the command line win over the file for this run and leave the file alone. ---
run_status 0 "--show-settings with settings given on the command line" \
    "$TAVRIN" --show-settings --stars --no-trails --trail-length 4 --glow-size 9 --glow-size 10
check "--stars wins over the file's false" grep -qx "EnableStarfield=true" "$WORK/out"
check "--no-trails switches a default off" grep -qx "EnableFadeTrails=false" "$WORK/out"
check "--trail-length wins over the file" grep -qx "TrailLength=4" "$WORK/out"
check "the last of two values wins" grep -qx "GlowSize=10" "$WORK/out"
check "settings not given still come from the file" grep -qx "StarCount=10" "$WORK/out"
check "the file is unchanged by command-line settings" cmp -s "$FILE" "$WORK/before.conf"
run_status 2 "a setting beyond its limits is refused" "$TAVRIN" --show-settings --star-count 201
check "the refusal gives the limits" grep -q "10 to 200" "$WORK/err"
run_status 2 "a switch takes no value" "$TAVRIN" --show-settings --stars=no

# --- A corrupt file: still eleven settings, status 0, and the file untouched. ---
{
    printf 'TrailLength=\377\376garbage\n'
    head -c 2048 /dev/urandom
    printf '\n=5\nGlowSize=12abc\nStarCount=99999999999999999999999\nEnableNeonGlow=maybe\n'
} >"$FILE"
cp "$FILE" "$WORK/corrupt.conf"
run_status 0 "--show-settings with a corrupt settings file" "$TAVRIN" --show-settings
check "eleven settings from a corrupt file" test "$(settings_lines | wc -l)" -eq 11
check "unusable numbers show within limits" \
    sh -c "grep -E '^(TrailLength|GlowSize|StarCount)=' '$WORK/out' | awk -F= '\$2 < 3 || \$2 > 200 { exit 1 }'"
check "the corrupt file is unchanged" cmp -s "$FILE" "$WORK/corrupt.conf"

# --- A folder where the file should be: it cannot be read, the defaults are shown. ---
rm -f "$FILE"
mkdir "$FILE"
run_status 0 "--show-settings when the settings file is a folder" "$TAVRIN" --show-settings
check "defaults when unreadable" grep -qx "TrailLength=15" "$WORK/out"
check "the folder is left in place" test -d "$FILE"

finish
