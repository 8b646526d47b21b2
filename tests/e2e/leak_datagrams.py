"""Datagrams at a hack's spark socket, as another process of the same user could send them.
`leak_datagrams.py SOCKET DISPLAY-IDENTITY leak X Y W H COUNT` sends one valid leak for the
display with that frame, entering through its left side; `... burst` sends what a hostile
process might: the largest datagrams the kernel lets it send, datagrams of every other size, of
the right size with broken values or random bytes, and with file descriptors passed along.
Prints what it sent."""
import array
import math
import os
import random
import socket
import struct
import sys

DISPLAY_FIELD = 512


def datagram(display, frame, edge=1, fraction=0.5, count=10, center=0.0, spread=1.0, version=2, length=None):
    name = display.encode()
    head = struct.pack("<II", version, len(name) if length is None else length) + name.ljust(DISPLAY_FIELD, b"\0")
    return (head + struct.pack("<dddd", *frame) + struct.pack("<i", edge) + struct.pack("<d", fraction)
            + struct.pack("<i", count) + struct.pack("<dd", center, spread))


def largest(sender, path):
    """The largest datagram the kernel takes, found by halving from 64 MiB."""
    sender.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 30)
    size = 64 << 20
    while size > 4096:
        try:
            sender.sendto(b"\xff" * size, path)
            return size
        except OSError:
            size = size * 3 // 4
    return 0


def main():
    path, display, what = sys.argv[1], sys.argv[2], sys.argv[3]
    sender = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    sender.settimeout(10)
    if what == "leak":
        x, y, w, h, count = map(float, sys.argv[4:9])
        sender.sendto(datagram(display, (x, y, w, h), count=int(count)), path)
        print(f"one leak of {int(count)} sparks")
        return
    random.seed(7)
    good = datagram(display, (0.0, 0.0, 1.0, 1.0))
    size = largest(sender, path)
    for _ in range(19):
        sender.sendto(b"\xff" * size, path)
    sent = 20
    for _ in range(300):
        sender.sendto(os.urandom(random.randrange(0, 4 * len(good))), path)
        sender.sendto(os.urandom(len(good)), path)
        sent += 2
    frame = (0.0, 0.0, 1920.0, 1080.0)
    broken = [datagram(display, frame, version=1), datagram(display, frame, length=DISPLAY_FIELD + 1),
              datagram("x11:elsewhere:0.0", frame), datagram(display, frame, edge=9),
              datagram(display, frame, count=0), datagram(display, (math.nan, 0.0, 1920.0, 1080.0)),
              datagram(display, frame, spread=math.inf), good[:-1], good + b"\0"]
    for _ in range(30):
        for d in broken:
            sender.sendto(d, path)
            sent += 1
    with open("/dev/null") as null:
        descriptors = array.array("i", [null.fileno()] * 8)
        for _ in range(50):
            sender.sendmsg([good], [(socket.SOL_SOCKET, socket.SCM_RIGHTS, descriptors)], 0, path)
            sent += 1
    print(f"{sent} hostile datagrams, 20 of them of {size} bytes")


main()
