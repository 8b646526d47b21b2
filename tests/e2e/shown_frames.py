"""Whether a screenshot shows exactly what a saver drew. The saver must be stopped (SIGSTOP): its
frames are then read from its shared-memory buffers (the "tavrin-frame" mappings of
/proc/PID/maps, read through /proc/PID/mem, which takes the rights to trace it).

usage: shown_frames.py PID SCREENSHOT.png X,Y,W,H...
prints for each rectangle of the screenshot (one output, in pixels) "exact" when a buffer of the
saver of that size holds the very same pixels, else "N" (the fewest pixels that differ from one
of them, or -1 when it has no buffer of that size); exits with status 1 unless all are exact."""
import sys

import gi
gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf


def buffers(pid):
    """The saver's frames, each as the bytes of its mapping (XRGB8888, then up to a page more)."""
    frames = []
    with open(f"/proc/{pid}/maps") as maps, open(f"/proc/{pid}/mem", "rb") as memory:
        for line in maps:
            if "tavrin-frame" in line:
                start, end = (int(v, 16) for v in line.split()[0].split("-"))
                memory.seek(start)
                frames.append(memory.read(end - start))
    return frames


def area(picture, x, y, width, height):
    """The rectangle of the screenshot as XRGB8888 bytes (blue, green, red, unused), unused 0."""
    channels, stride, pixels = picture.get_n_channels(), picture.get_rowstride(), picture.get_pixels()
    out = bytearray(width * height * 4)
    for row in range(height):
        line = pixels[(y + row) * stride + x * channels:(y + row) * stride + (x + width) * channels]
        at = row * width * 4
        for colour, offset in ((0, 2), (1, 1), (2, 0)):
            out[at + offset:at + width * 4:4] = line[colour::channels]
    return bytes(out)


def differing(a, b):
    return sum(1 for i in range(0, len(a), 4) if a[i:i + 3] != b[i:i + 3])


def main():
    pid, picture = int(sys.argv[1]), GdkPixbuf.Pixbuf.new_from_file(sys.argv[2])
    frames, all_exact = buffers(pid), True
    for rectangle in sys.argv[3:]:
        x, y, width, height = (int(v) for v in rectangle.split(","))
        shown = area(picture, x, y, width, height)
        candidates = [f[:len(shown)] for f in frames if len(shown) <= len(f) < len(shown) + 4096]
        # The unused byte of the saver's pixels is not compared.
        exact = any(f[0::4] == shown[0::4] and f[1::4] == shown[1::4] and f[2::4] == shown[2::4]
                    for f in candidates)
        print("exact" if exact else min((differing(f, shown) for f in candidates), default=-1))
        all_exact = all_exact and exact
    sys.exit(0 if all_exact else 1)


if __name__ == "__main__":
    main()
