"""Reads 8-bit RGB and RGBA PNG files without extra modules. As a program, prints
"WIDTH HEIGHT LIT" for a file: its size and the pixels that are not black."""
import struct
import sys
import zlib


def load(path):
    """The picture's brightness (the sum of its colour bytes) as rows of numbers."""
    data = open(path, "rb").read()
    pos, idat, width, height, channels = 8, b"", 0, 0, 3
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, _, ctype = struct.unpack(">IIBB", body[:10])
            channels = {2: 3, 6: 4}[ctype]
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride = zlib.decompress(idat), width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b, c = prev[i], prev[i - channels] if i >= channels else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return [[sum(r[x * channels:x * channels + 3]) for x in range(width)] for r in rows]


if __name__ == "__main__":
    lum = load(sys.argv[1])
    print(len(lum[0]) if lum else 0, len(lum), sum(1 for r in lum for v in r if v > 0))
