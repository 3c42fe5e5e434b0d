#!/usr/bin/env python3
"""Source data of the benchmarks, made of the real files of this machine's /usr as they are: programs,
libraries, headers, scripts, documents and already-compressed files (.gz, .png, .jar ...), taken in an order
shuffled with a fixed seed, so that every run on the same machine gets the same data.

make_rar_trees.py mixed <folder> <bytes>   whole files with their paths under /usr, until that many bytes
make_rar_trees.py file <path> <bytes>      one file: whole files of /usr one after the other
make_rar_trees.py small <folder> <count>   files of 4 KiB cut one after the other from the same stream,
                                           1,000 to a folder
make_rar_trees.py change <folder> <every> <round>   rewrites every every-th file of a tree (in name order)
                                           with its own bytes turned by an offset of that round and the
                                           first byte changed: other contents of the same size and kind
"""
import os
import random
import stat
import sys

SOURCE = "/usr"
SMALL = 4096


def source_files():
    found = []
    for folder, folders, files in os.walk(SOURCE):
        folders.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            try:
                info = os.lstat(path)
            except OSError:
                continue
            if stat.S_ISREG(info.st_mode) and info.st_size > 0 and os.access(path, os.R_OK):
                found.append(path)
    random.Random(20261210).shuffle(found)
    if not found:
        sys.exit("no readable files under " + SOURCE)
    return found


def contents():
    """Yields (path, bytes) of the source files, from the start again when they run out."""
    files, round_ = source_files(), 0
    while True:
        for path in files:
            try:
                with open(path, "rb") as f:
                    yield path, round_, f.read()
            except OSError:
                continue
        round_ += 1


def mixed(root, total):
    left = total
    for path, round_, data in contents():
        if left <= 0:
            return
        data = data[:left]
        target = os.path.join(root, "r%d" % round_, os.path.relpath(path, "/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)
        left -= len(data)


def one_file(path, total):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    left = total
    with open(path, "wb") as f:
        for _, _, data in contents():
            if left <= 0:
                return
            data = data[:left]
            f.write(data)
            left -= len(data)


def small(root, count):
    pending, n = b"", 0
    for _, _, data in contents():
        pending += data
        at = 0
        while len(pending) - at >= SMALL and n < count:
            folder = os.path.join(root, str(n // 1000))
            if n % 1000 == 0:
                os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, "f%d" % n), "wb") as f:
                f.write(pending[at:at + SMALL])
            at += SMALL
            n += 1
        if n == count:
            return
        pending = pending[at:]

def change(root, every, round_):
    files = sorted(os.path.join(folder, name) for folder, _, names in os.walk(root) for name in names)
    for path in files[::every]:
        with open(path, "r+b") as f:
            data = f.read()
            turn = len(data) * (round_ + 1) // (round_ + 2)
            changed = bytearray(data[turn:] + data[:turn])
            changed[0] ^= round_ % 255 + 1
            f.seek(0)
            f.write(changed)

if __name__ == "__main__":
    kind, target, amounts = sys.argv[1], sys.argv[2], [int(a) for a in sys.argv[3:]]
    {"mixed": mixed, "file": one_file, "small": small, "change": change}[kind](target, *amounts)
