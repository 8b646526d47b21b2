#!/usr/bin/env bash
# Makes the picture at the top of README: two displays side by side, each 1920x1080 pixels at
# scale 2 (so that stars and sparks are drawn at twice their size), drawn by the program itself
# (--render with a fixed layout, seed and default settings) at a frame where the sparks of a bounce
# on the shared edge are on both displays, scaled down to a third and each framed by a bezel that
# shows where it ends. Python's standard library reads and writes the PNG files.
#
#     bash scripts/readme-picture.sh [path/to/tavrin] [picture.png]
#
# The defaults are the Release build's program and resources/readme/two-displays.png.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
tavrin="${1:-$here/build/release/tavrin}"
picture="${2:-$here/resources/readme/two-displays.png}"
# The logo bounces off the shared edge on the left display at frame 1653 of seed 1; two frames later
# its sparks are on both sides of that edge.
seed=1
frame=1655

[ -x "$tavrin" ] || { echo "readme-picture.sh: no program at $tavrin (build it, or pass its path)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-picture.XXXXXX")
trap 'rm -rf "$work"' EXIT
cat >"$work/screens.json" <<'EOF'
{"screens":[{"name":"Left","x":0,"y":0,"width":960,"height":540,"dpr":2},
            {"name":"Right","x":960,"y":0,"width":960,"height":540,"dpr":2}]}
EOF
# --every FRAME: the one frame wanted is the only one written.
XDG_CONFIG_HOME="$work/config" "$tavrin" --render "$work/out" --frames "$frame" --every "$frame" \
    --screens "$work/screens.json" --seed "$seed" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
mkdir -p "$(dirname "$picture")"
python3 - "$picture" "$work/out/display0-frame$(printf %05d "$frame").png" \
    "$work/out/display1-frame$(printf %05d "$frame").png" <<'PY'
import struct
import sys
import zlib

SCALE = 3         # each pixel of the picture is the mean of SCALE x SCALE pixels of a display
BEZEL = 6         # pixels of frame around each display
BEZEL_RGB = (38, 38, 38)


def read_png(path):
    """Rows of RGB bytes of an 8-bit RGB or RGBA PNG file (alpha dropped)."""
    data = open(path, "rb").read()
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or ctype not in (2, 6) or interlace:
                sys.exit(f"{path}: not an 8-bit RGB or RGBA picture")
            n = 3 if ctype == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride = zlib.decompress(idat), width * n
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind == 1:
            for i in range(n, stride):
                line[i] = (line[i] + line[i - n]) & 255
        elif kind == 2:
            line = bytearray((a + b) & 255 for a, b in zip(line, prev))
        elif kind == 3:
            for i in range(stride):
                line[i] = (line[i] + ((line[i - n] if i >= n else 0) + prev[i]) // 2) & 255
        elif kind == 4:
            for i in range(stride):
                a = line[i - n] if i >= n else 0
                b, c = prev[i], prev[i - n] if i >= n else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line if n == 3 else bytearray(v for i, v in enumerate(line) if i % 4 != 3))
        prev = line
    return width, height, rows


# Means are taken in linear light, so that a spark one pixel wide keeps its brightness.
TO_LINEAR = [((v / 255 + 0.055) / 1.055) ** 2.4 if v > 10 else v / 255 / 12.92 for v in range(256)]
FROM_LINEAR = [round(255 * (1.055 * (i / 4095) ** (1 / 2.4) - 0.055 if i / 4095 > 0.0031308 else 12.92 * i / 4095))
               for i in range(4096)]


def scaled(width, height, rows):
    out = []
    for y in range(height // SCALE):
        sums = [0.0] * (width * 3)
        for line in rows[y * SCALE:(y + 1) * SCALE]:
            sums = [s + TO_LINEAR[v] for s, v in zip(sums, line)]
        row = bytearray()
        for x in range(width // SCALE):
            for c in range(3):
                total = sum(sums[(x * SCALE + k) * 3 + c] for k in range(SCALE))
                row.append(FROM_LINEAR[round(4095 * total / (SCALE * SCALE))])
        out.append(row)
    return out


displays = [scaled(*read_png(path)) for path in sys.argv[2:]]
h = len(displays[0])
bezel = bytes(BEZEL_RGB)
rows = [bezel * (sum(len(d[0]) // 3 for d in displays) + BEZEL * 2 * len(displays))] * BEZEL
for y in range(h):
    rows.append(b"".join(bezel * BEZEL + bytes(d[y]) + bezel * BEZEL for d in displays))
rows += rows[:BEZEL]
width = len(rows[0]) // 3


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


# Each row filtered by its left neighbour (Sub): the black sky compresses to almost nothing.
raw = bytearray()
for row in rows:
    raw.append(1)
    raw += bytes(row[:3]) + bytes((row[i] - row[i - 3]) & 255 for i in range(3, len(row)))
with open(sys.argv[1], "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
print(f"{sys.argv[1]}: {width}x{len(rows)}")
PY
