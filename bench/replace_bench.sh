#!/bin/sh
# Hard-linking every duplicate of a tree: quorvane-cli (search with All bytes,
# the copy check, then the link under a temporary name renamed over) against
# jdupes -L on a second copy of the same tree. The source tree is only read.
# usage: bench/replace_bench.sh [CLI] [SOURCE_TREE] [WORK_DIR]
set -eu
cli=${1:-build/cli/quorvane-cli}
source=${2:-/tmp/bench-trees/medium}
work=${3:-/tmp/actions-tree}
rm -rf "$work"
mkdir -p "$work"
cp -a "$source" "$work/ours"
cp -a "$source" "$work/jdupes"
sync
links() { find "$1" -type f -links +1 | wc -l; }
ours() {
  /usr/bin/time -f "quorvane-cli: %e s wall, %U s user, %S s sys, %M KiB" \
    "$cli" find --size --all-bytes --keep first --action hardlink "$work/ours" >/dev/null 2>"$work/ours.err" || true
  tail -2 "$work/ours.err"
  echo "quorvane-cli names sharing a file: $(links "$work/ours")"
}
theirs() {
  /usr/bin/time -f "jdupes -L: %e s wall, %U s user, %S s sys, %M KiB" \
    jdupes -r -q -L "$work/jdupes" >/dev/null
  echo "jdupes names sharing a file: $(links "$work/jdupes")"
}
echo "files: $(find "$work/ours" -type f | wc -l)"
# JDUPES_FIRST=1 runs jdupes first, so that neither side always gets the
# other's warmed caches.
if [ "${JDUPES_FIRST:-0}" = 1 ]; then theirs; ours; else ours; theirs; fi
