#!/bin/sh
# Fills and sorts a large result list in the real main window (offscreen)
# and, given a tree, runs "List All" and "Find Duplicates" through their
# buttons; prints wall/CPU seconds per step and the peak memory.
#   bench/app_list_bench.sh [ROWS] [TREE]      (defaults: 1000000, no tree)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
rows=${1:-1000000}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvane_bench_list -j2
set -- --rows "$rows" ${2:+--tree "$2"}
nice -n 19 /usr/bin/time -v "$build/app/quorvane_bench_list" "$@" 2>&1 |
  grep -E 'wall|rows:|Maximum resident|Elapsed'
