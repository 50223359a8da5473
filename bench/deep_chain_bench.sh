#!/bin/bash
# Peak memory of quorvane-cli list on a chain of directories DEPTH levels
# deep with names of NAMELEN characters and no file at all: the scan keeps
# each directory's name and parent link, so memory grows with the depth,
# not with the sum of the path lengths. Built and removed with descriptors
# (the paths exceed PATH_MAX).
# usage: bench/deep_chain_bench.sh [CLI=build/cli/quorvane-cli] [DEPTH=20000] [NAMELEN=16]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cli=$(realpath "${1:-$here/../build/cli/quorvane-cli}")
depth=${2:-20000}
namelen=${3:-16}
root=$(mktemp -d /tmp/deep-chain.XXXXXX)
python3 - "$root" "$depth" "$namelen" <<'PY'
import os, sys
root, depth, n = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
name = "d" * n
fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
for _ in range(depth):
    os.mkdir(name, dir_fd=fd)
    child = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
    os.close(fd)
    fd = child
os.close(fd)
PY
/usr/bin/time -f "%e s wall, %U+%S s cpu, %M KiB peak RSS" "$cli" list "$root" > /dev/null 2> /tmp/deep-chain.err || true
echo "depth $depth, names of $namelen: $(tail -1 /tmp/deep-chain.err)"
python3 - "$root" "$depth" "$namelen" <<'PY'
import os, sys
root, depth, n = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
name = "d" * n
fds = [os.open(root, os.O_RDONLY | os.O_DIRECTORY)]
for _ in range(depth):
    fds.append(os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fds[-1]))
    if len(fds) > 64:  # keep few descriptors: reopen through ".." later
        os.close(fds.pop(-2))
fd = fds.pop()
for _ in range(depth):
    parent = os.open("..", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
    os.close(fd)
    fd = parent
    os.rmdir(name, dir_fd=fd)
os.close(fd)
for f in fds:
    os.close(f)
PY
rmdir "$root"
