# Shared helpers of the end-to-end tests. Each test script is run as `bash test_x.sh <tavrin>`;
# it sources this file, runs its checks and ends with `finish`.

TAVRIN="${1:-}"
if [ -z "$TAVRIN" ] || [ ! -x "$TAVRIN" ]; then
    echo "usage: bash $0 <path-to-tavrin>" >&2
    exit 1
fi

WORK="$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT

# Keep every run away from the user's own settings and display.
export XDG_CONFIG_HOME="$WORK/config"
unset DISPLAY WAYLAND_DISPLAY

FAILURES=0

fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

pass() {
    echo "ok: $*"
}

# check DESCRIPTION CONDITION...: passes when the command succeeds.
check() {
    local description="$1"
    shift
    if "$@"; then pass "$description"; else fail "$description"; fi
}

# run_status EXPECTED DESCRIPTION COMMAND...: runs the command with its output in $WORK/out and
# $WORK/err and checks its exit status.
run_status() {
    local expected="$1" description="$2"
    shift 2
    "$@" >"$WORK/out" 2>"$WORK/err"
    local status=$?
    if [ "$status" -eq "$expected" ]; then
        pass "$description (status $status)"
    else
        fail "$description: status $status, expected $expected"
        sed 's/^/    stdout: /' "$WORK/out" | head -5
        sed 's/^/    stderr: /' "$WORK/err" | head -5
    fi
}

# png_size FILE: prints "WIDTHxHEIGHT" of a PNG file, or nothing when it is not one.
png_size() {
    python3 - "$1" <<'PY'
import struct, sys
with open(sys.argv[1], "rb") as f:
    head = f.read(24)
if head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR":
    w, h = struct.unpack(">II", head[16:24])
    print(f"{w}x{h}")
PY
}

finish() {
    if [ "$FAILURES" -gt 0 ]; then
        echo "$FAILURES check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

# png_pixels FILE: prints "WIDTH HEIGHT LIT" for an 8-bit RGB or RGBA PNG, LIT being the pixels
# that are not black.
png_pixels() {
    python3 "$(dirname "${BASH_SOURCE[0]}")/png_read.py" "$1"
}
