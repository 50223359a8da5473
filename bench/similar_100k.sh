#!/bin/sh
# The similar-pictures search over many small pictures made at run time by
# similar_100k.py (never stored in the repository): a first search with an
# empty hash cache, then a cached one, each timed by /usr/bin/time (wall,
# CPU, peak memory, and those per picture), then pair precision and recall
# against the generator's truth.
# usage: bench/similar_100k.sh [BUILD_DIR] [TREE] [COUNT] [RUNS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
tree=${2:-/tmp/bench-trees/pics100k}
count=${3:-100000}
runs=${4:-2}
cli=$build/cli/quorvane-cli

[ -f "$tree.truth.tsv" ] || /usr/bin/python3 "$here/similar_100k.py" "$tree" --count "$count"
pictures=$(wc -l < "$tree.truth.tsv")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# timed LABEL COMMAND...: runs COMMAND with its output in $work/groups.txt.
timed() {
    label=$1
    shift
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" > "$work/groups.txt"
    read -r wall user sys rss < "$work/time"
    awk -v l="$label" -v w="$wall" -v u="$user" -v s="$sys" -v m="$rss" -v n="$pictures" 'BEGIN {
        printf "%s: wall %.2f s, CPU %.2f s (user %.2f, sys %.2f), peak %.1f MB; per picture %.1f us wall, %.1f us CPU, %.2f KB\n",
               l, w, u + s, u, s, m / 1024, w * 1e6 / n, (u + s) * 1e6 / n, m / n }'
}

echo "== $pictures pictures in $tree"
for run in $(seq "$runs"); do
    rm -rf "$work/cache"
    XDG_CACHE_HOME=$work/cache timed "first search (empty cache), run $run" nice -n 10 "$cli" similar "$tree"
    XDG_CACHE_HOME=$work/cache timed "cached search, run $run" nice -n 10 "$cli" similar "$tree"
done
printf 'groups %d, pictures in groups %d; ' "$(cut -f1 "$work/groups.txt" | sort -u | wc -l)" "$(wc -l < "$work/groups.txt")"
/usr/bin/python3 "$here/similar_eval.py" score "$tree.truth.tsv" "$work/groups.txt" --quorvane
