#!/usr/bin/env python3
"""Compares the duplicate sets of `quorvane-cli find --groups ...` with those
of jdupes (or fdupes) restricted to the files `quorvane-cli list` lists.

usage: compare_sets.py OURS.tsv LIST.tsv JDUPES.txt
OURS.tsv: find --groups output; LIST.tsv: list output; JDUPES.txt: sets
separated by blank lines, one path a line. Exits 1 when the sets differ."""
import sys


def unescape(field):
    out, i = [], 0
    while i < len(field):
        c = field[i]
        if c == "\\" and i + 1 < len(field):
            out.append({"t": "\t", "n": "\n", "\\": "\\"}[field[i + 1]])
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def path_of(fields):
    directory, name = unescape(fields[1]), unescape(fields[0])
    return directory + ("" if directory.endswith("/") else "/") + name


def read_ours(path):
    groups = {}
    with open(path, "rb") as f:
        for line in f.read().decode("utf-8", "surrogateescape").splitlines():
            fields = line.split("\t")
            groups.setdefault(fields[0], set()).add(path_of(fields[1:]))
    return {frozenset(g) for g in groups.values()}


def read_listed(path):
    with open(path, "rb") as f:
        return {path_of(line.split("\t")) for line in f.read().decode("utf-8", "surrogateescape").splitlines()}


def read_peer(path, listed):
    sets, current = set(), set()
    with open(path, "rb") as f:
        for line in f.read().decode("utf-8", "surrogateescape").split("\n"):
            if line:
                current.add(line)
                continue
            kept = current & listed
            if len(kept) > 1:
                sets.add(frozenset(kept))
            current = set()
    return sets


def main():
    ours = read_ours(sys.argv[1])
    peer = read_peer(sys.argv[3], read_listed(sys.argv[2]))
    only_ours, only_peer = ours - peer, peer - ours
    print("ours: %d sets, %d files; peer on our files: %d sets, %d files; only ours %d, only peer %d"
          % (len(ours), sum(map(len, ours)), len(peer), sum(map(len, peer)), len(only_ours), len(only_peer)))
    for s in list(only_ours)[:3] + list(only_peer)[:3]:
        print(sorted(s))
    return 0 if not only_ours and not only_peer else 1


if __name__ == "__main__":
    sys.exit(main())
