#!/usr/bin/env python3
"""Takes a screenshot of one KWin output through KWin's org.kde.KWin.ScreenShot2 D-Bus interface
and writes it as a PNG.

usage: kwin_screenshot.py OUTPUT-NAME FILE.png

Needs DBUS_SESSION_BUS_ADDRESS of KWin's bus, KWin started with
KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 (else it refuses callers without a desktop file that
grants the interface), and OpenGL compositing (llvmpipe will do: the screenshot effect is not
loaded under the QPainter compositor, KWIN_COMPOSE=Q). Prints "WIDTHxHEIGHT" of the image.
The image is taken at the output's pixel size ("native-resolution"), so a 1280x720 output at
scale 1.5 gives 1280x720, not its 853x480 logical size.
"""
import os
import struct
import sys
import zlib

import dbus


def write_png(path, width, height, rows):
    """rows: list of bytes objects, RGB 8 bits per channel."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def main():
    name, path = sys.argv[1], sys.argv[2]
    bus = dbus.SessionBus()
    shot = dbus.Interface(bus.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"),
                          "org.kde.KWin.ScreenShot2")
    read_end, write_end = os.pipe()
    options = dbus.Dictionary({"native-resolution": True}, signature="sv")
    results = shot.CaptureScreen(name, options, dbus.types.UnixFd(write_end))
    os.close(write_end)  # KWin holds its own copy; EOF comes when it has written the image
    data = b""
    while chunk := os.read(read_end, 1 << 20):
        data += chunk
    os.close(read_end)
    width, height, stride = int(results["width"]), int(results["height"]), int(results["stride"])
    # KWin 5.27 sends a QImage's bytes: Format_ARGB32(_Premultiplied) or RGB32, i.e. B G R A
    # bytes on a little-endian machine.
    if len(data) < stride * height:
        sys.exit(f"short image: {len(data)} bytes for {width}x{height} stride {stride}")
    rows = []
    for y in range(height):
        line = data[y * stride:y * stride + width * 4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        rows.append(bytes(rgb))
    write_png(path, width, height, rows)
    print(f"{width}x{height} format={int(results.get('format', -1))}")


if __name__ == "__main__":
    main()
