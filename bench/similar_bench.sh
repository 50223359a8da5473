#!/bin/sh
# Benchmark of the similar-pictures search: builds an evaluation set at run
# time (never stored in the repository) from the benchmark tree's JPEGs,
# scores pair precision and recall over the tolerance, times a first and a
# cached search, and compares with findimagedupes on the same set.
# usage: [FINDIMAGEDUPES=0] bench/similar_bench.sh [BUILD_DIR] [WORK_DIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
work=${2:-/tmp/similar-eval}
cli=$build/cli/quorvane-cli
eval="python3 $here/similar_eval.py"
pics=/tmp/bench-trees/pics

[ -f "$work/truth.tsv" ] || $eval make "$work"
cache=$(mktemp -d)
trap 'rm -rf "$cache"' EXIT

echo "== quorvane, $(wc -l < "$work/truth.tsv") pictures"
XDG_CACHE_HOME=$cache /usr/bin/time -f "first search: %e s, %M KB" "$cli" similar "$work/set" > "$cache/groups.txt"
XDG_CACHE_HOME=$cache /usr/bin/time -f "cached search: %e s, %M KB" "$cli" similar "$work/set" > /dev/null
for t in 0 2 4 6 7 8 9 10 12 14 16; do
    XDG_CACHE_HOME=$cache "$cli" similar --tolerance $t "$work/set" 2> /dev/null > "$cache/g.txt"
    printf 'tolerance %2d: ' $t
    $eval score "$work/truth.tsv" "$cache/g.txt" --quorvane
done

if [ -f /tmp/bench-trees/pics.manifest.tsv ]; then
    echo "== quorvane on the benchmark tree $pics"
    $eval manifest /tmp/bench-trees/pics.manifest.tsv "$pics" > "$cache/pics-truth.tsv"
    XDG_CACHE_HOME=$cache "$cli" similar "$pics" 2> /dev/null > "$cache/g.txt"
    $eval score "$cache/pics-truth.tsv" "$cache/g.txt" --quorvane
fi

if [ "${FINDIMAGEDUPES:-1}" != 0 ] && command -v findimagedupes > /dev/null; then
    echo "== findimagedupes (default threshold)"
    /usr/bin/time -f "first search: %e s, %M KB" findimagedupes -q -f "$cache/fp.db" "$work/set" > "$cache/fid.txt"
    /usr/bin/time -f "cached search: %e s, %M KB" findimagedupes -q -f "$cache/fp.db" "$work/set" > /dev/null
    $eval score "$work/truth.tsv" "$cache/fid.txt" --findimagedupes
fi

if [ -x "$build/similar/similar_group_bench" ]; then
    echo "== grouping synthetic hashes"
    for t in 8 4 12; do
        /usr/bin/time -f "wall %e s, user %U s, sys %S s, peak %M KB" nice -n 10 "$build/similar/similar_group_bench" 1000000 $t
    done
fi
