"""Fills a folder of spark sockets as a careless or hostile process of the same user might:
`hostile_folder.py FOLDER OUT JUNK STALE SILENT` makes JUNK entries that are not sockets (files,
folders and links, every tenth named like one of ours), STALE sockets named like ours whose process
ended, and SILENT ones named like ours that never read, their queues full. It writes the names of
each kind to OUT/<kind>.names, prints "ready" and holds the silent sockets until its input ends."""
import os
import random
import socket
import sys

folder, out = sys.argv[1:3]
counts = dict(zip(("junk", "stale", "silent"), map(int, sys.argv[3:6])))
random.seed(11)
names = {kind: [f"{number + i}-{random.getrandbits(32):08x}" for i in range(n)]
         for (kind, n), number in zip(counts.items(), (900000, 800000, 700000))}
names["junk"] = [name if i % 10 == 0 else f"junk-{i}" for i, name in enumerate(names["junk"])]
for i, name in enumerate(names["junk"]):
    path = os.path.join(folder, name)
    if i % 100 == 1:
        os.mkdir(path)
    elif i % 100 == 2:
        os.symlink("/dev/null", path)
    else:
        open(path, "w").close()
held = []
for kind in ("stale", "silent"):
    for name in names[kind]:
        s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        s.bind(os.path.join(folder, name))
        if kind == "stale":
            s.close()
            continue
        # A socket's datagrams to itself are not held to its queue's limit: it fills the queue past
        # what anyone else may add.
        s.setblocking(False)
        try:
            while True:
                s.sendto(bytes(584), os.path.join(folder, name))
        except BlockingIOError:
            held.append(s)
for kind, listed in names.items():
    with open(os.path.join(out, kind + ".names"), "w") as f:
        f.write("".join(n + "\n" for n in listed))
print("ready", flush=True)
sys.stdin.read()
