#!/usr/bin/env python3
"""Source data for bench/rar_speed.sh.

make_rar_trees.py mixed <folder> <bytes>   half text, half random, files of 4 KiB to 16 MiB in 16 folders
make_rar_trees.py file <path> <bytes>      one file, text and random in turns of 1 MiB
make_rar_trees.py small <folder> <count>   files of 4 KiB of text, 1,000 to a folder
Text is cut from the headers and documentation of this machine.
"""
import os
import sys

MIB = 1 << 20
SIZES = [4096, 65536, 262144, MIB, 4 * MIB, 16 * MIB]


def corpus():
    chunks, total = [], 0
    for top in ("/usr/include", "/usr/share/doc"):
        for folder, _, files in sorted(os.walk(top)):
            for name in sorted(files):
                if not name.endswith((".h", ".txt", ".html")) and name != "copyright":
                    continue
                try:
                    with open(os.path.join(folder, name), "rb") as f:
                        data = f.read(2 * MIB)
                except OSError:
                    continue
                chunks.append(data)
                total += len(data)
                if total > 64 * MIB:
                    return b"".join(chunks)
    text = b"".join(chunks)
    if len(text) < 16 * MIB:
        sys.exit("too little text on this machine for the corpus")
    return text


class Text:
    def __init__(self):
        self.text, self.at = corpus(), 0

    def take(self, size):
        if self.at + size > len(self.text):
            self.at = 0
        piece = self.text[self.at:self.at + size]
        self.at += size
        return piece if len(piece) == size else (piece * (size // max(len(piece), 1) + 1))[:size]


def mixed(root, total):
    text = Text()
    for kind in ("text", "random"):
        left, n = total // 2, 0
        while left > 0:
            size = min(SIZES[n % len(SIZES)], left)
            folder = os.path.join(root, kind, str(n % 16))
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, "file%d.%s" % (n, "txt" if kind == "text" else "bin")), "wb") as f:
                f.write(text.take(size) if kind == "text" else os.urandom(size))
            left -= size
            n += 1


def one_file(path, total):
    text = Text()
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        for n in range(0, total, MIB):
            size = min(MIB, total - n)
            f.write(text.take(size) if (n // MIB) % 2 == 0 else os.urandom(size))


def small(root, count):
    text = Text()
    for n in range(count):
        folder = os.path.join(root, str(n // 1000))
        if n % 1000 == 0:
            os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "f%d.txt" % n), "wb") as f:
            f.write(text.take(4096))


if __name__ == "__main__":
    kind, target, amount = sys.argv[1], sys.argv[2], int(sys.argv[3])
    {"mixed": mixed, "file": one_file, "small": small}[kind](target, amount)
