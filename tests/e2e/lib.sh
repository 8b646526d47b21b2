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

# png_pixels FILE: a Python expression's worth of pixel data is awkward in shell, so this prints
# "WIDTH HEIGHT NONBLACK DETAIL" for an 8-bit RGB or RGBA PNG: the pixels that are not black, and
# the mean distance of each pixel from the mean of its 2x2 block (zero for a picture scaled up
# twice from a smaller one, larger the more fine detail it has).
png_pixels() {
    python3 - "$1" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, idat, width = 8, b"", 0
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b"IHDR":
        width, height, depth, ctype = struct.unpack(">IIBB", body[:10])
        channels = {2: 3, 6: 4}[ctype]
    elif kind == b"IDAT":
        idat += body
    pos += 12 + length
raw, stride = zlib.decompress(idat), width * channels
rows, prev = [], bytearray(stride)
for y in range(height):
    f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - channels] if i >= channels else 0
        b, c = prev[i], prev[i - channels] if i >= channels else 0
        if f == 1: line[i] = (line[i] + a) & 255
        elif f == 2: line[i] = (line[i] + b) & 255
        elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(line)
    prev = line
lum = [[sum(r[x * channels:x * channels + 3]) for x in range(width)] for r in rows]
nonblack = sum(1 for r in lum for v in r if v > 0)
detail = 0.0
for y in range(0, height - 1, 2):
    for x in range(0, width - 1, 2):
        block = (lum[y][x], lum[y][x + 1], lum[y + 1][x], lum[y + 1][x + 1])
        mean = sum(block) / 4
        detail += sum(abs(v - mean) for v in block)
print(width, height, nonblack, round(detail / max(nonblack, 1), 3))
PY
}
