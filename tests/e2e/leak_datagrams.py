"""Datagrams at a hack's spark socket, as another process of the same user could send them.
`leak_datagrams.py SOCKET DISPLAY-IDENTITY leak X Y W H COUNT` sends one valid leak for the
display with that frame, entering by its left side; `... burst` sends the largest datagrams the
kernel takes, datagrams of other sizes, of the right size with broken values or random bytes,
and with file descriptors passed along, and says what it sent."""
import array
import os
import random
import socket
import struct
import sys


def datagram(display, frame, edge=1, count=10, spread=1.0, version=3, length=None, token=0x7e57):
    name = display.encode()
    return (struct.pack("<IQI", version, token, len(name) if length is None else length) + name.ljust(504, b"\0")
            + struct.pack("<4didi2d", *frame, edge, 0.5, count, 0.0, spread))


path, display, what = sys.argv[1:4]
sender = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
sender.settimeout(10)
if what == "leak":
    sender.sendto(datagram(display, tuple(map(float, sys.argv[4:8])), count=int(sys.argv[8])), path)
    sys.exit(0)
frame = (0.0, 0.0, 1920.0, 1080.0)
good = datagram(display, frame)
sender.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 30)
size = 64 << 20
while True:  # the largest the kernel takes
    try:
        sender.sendto(b"\xff" * size, path)
        break
    except OSError:
        size = size * 3 // 4
for _ in range(19):
    sender.sendto(b"\xff" * size, path)
broken = [datagram(display, frame, version=2), datagram(display, frame, length=505), datagram(display, frame, token=0),
          good[:-1], good + b"\0",
          datagram("x11:elsewhere:0.0", frame), datagram(display, frame, edge=9), datagram(display, frame, count=0),
          datagram(display, (float("nan"), 0.0, 1.0, 1.0)), datagram(display, frame, spread=float("inf"))]
random.seed(7)
for _ in range(300):
    sender.sendto(os.urandom(random.randrange(4 * len(good))), path)
    sender.sendto(os.urandom(len(good)), path)
for d in broken * 30:
    sender.sendto(d, path)
with open("/dev/null") as null:
    for _ in range(50):
        sender.sendmsg([good], [(socket.SOL_SOCKET, socket.SCM_RIGHTS, array.array("i", [null.fileno()] * 8))], 0, path)
print(f"{20 + 600 + 30 * len(broken) + 50} hostile datagrams, 20 of them of {size} bytes")
