"""Fills a folder of spark sockets as a careless or hostile process of the same user might:
`hostile_folder.py FOLDER OUT JUNK STALE SILENT` makes JUNK entries that are not live sockets (files,
folders and links, every tenth named like one of ours), STALE sockets named like ours whose process
ended, and SILENT sockets named like ours that never read, their queues filled to the brim. It
writes the names of each kind to OUT/<kind>.names (junk, stale, silent), prints "ready", and holds
the silent sockets open until its standard input ends."""
import os
import random
import socket
import sys

folder, out = sys.argv[1:3]
junk, stale, silent = map(int, sys.argv[3:6])
random.seed(11)


def like_ours(number):
    return f"{number}-{random.getrandbits(32):08x}"


def socket_at(name):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    s.bind(os.path.join(folder, name))
    return s


def fill(name):
    """Sends datagrams of the real size until the socket's queue takes no more. Each sender's own
    buffer fills too, so the queue is full when a fresh sender cannot add one."""
    datagram = bytes(584)
    while True:
        sender = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        sender.setblocking(False)
        sent = 0
        try:
            while True:
                sender.sendto(datagram, os.path.join(folder, name))
                sent += 1
        except BlockingIOError:
            pass
        sender.close()  # what it sent stays queued at the receiver
        if sent == 0:
            return


names = {"junk": [], "stale": [], "silent": []}
for i in range(junk):
    name = like_ours(900000 + i) if i % 10 == 0 else f"junk-{i}"
    path = os.path.join(folder, name)
    if i % 100 == 1:
        os.mkdir(path)
    elif i % 100 == 2:
        os.symlink("/dev/null", path)
    else:
        with open(path, "w") as f:
            f.write("x")
    names["junk"].append(name)
for i in range(stale):
    name = like_ours(800000 + i)
    socket_at(name).close()
    names["stale"].append(name)
held = []
for i in range(silent):
    name = like_ours(700000 + i)
    held.append(socket_at(name))
    fill(name)
    names["silent"].append(name)
for kind, listed in names.items():
    with open(os.path.join(out, kind + ".names"), "w") as f:
        f.write("".join(n + "\n" for n in listed))
print("ready", flush=True)
sys.stdin.read()
