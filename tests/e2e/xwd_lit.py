"""Reads an xwd dump of a 24/32-bit TrueColor screen on standard input and prints, for each
rectangle given as X,Y,W,H on the command line, how many of its pixels are not black."""
import struct
import sys

data = sys.stdin.buffer.read()
fields = struct.unpack(">25I", data[:100])
header_size, width, height = fields[0], fields[4], fields[5]
byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
if bits_per_pixel not in (24, 32):
    sys.exit("only 24- and 32-bit pixels are read, not %d" % bits_per_pixel)
step = bits_per_pixel // 8
pixels = data[header_size + 12 * ncolors:]
black = bytes(3)
for rect in sys.argv[1:]:
    x0, y0, w, h = (int(v) for v in rect.split(","))
    lit = 0
    for y in range(y0, min(y0 + h, height)):
        row = pixels[y * bytes_per_line + step * x0:y * bytes_per_line + step * min(x0 + w, width)]
        # The colour bytes are the low three of each pixel, whichever the byte order.
        start = 1 if byte_order == 1 and step == 4 else 0
        lit += sum(1 for i in range(0, len(row), step) if row[i + start:i + start + 3] != black)
    print(lit)
