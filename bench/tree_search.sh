#!/bin/bash
# Times quorvane-cli "list", "find --size --cc" and "find --size --all-bytes"
# against find -printf, jdupes -r -z, fdupes, rmlint and rdfind on a tree from the
# shared generator, interleaved (A B C D A B C D ...), medians of RUNS; wall,
# CPU and peak RSS. Warm cache (one unrecorded warm-up round), or with COLD=1
# the page cache dropped before every run (root). All bytes runs with an
# empty contents cache (a fresh XDG_CACHE_HOME) every time. Before timing,
# it checks that find --size --all-bytes reports exactly jdupes -r -z's sets
# on the files our scan lists (bench/compare_sets.py).
# PEERS=0 leaves fdupes, rmlint and rdfind out of the rounds. The load
# average is sampled every 5 s during the rounds and printed after the table
# (the machine may be shared).
# usage: bench/tree_search.sh [CLI=build/cli/quorvane-cli] [ROOT=/tmp/bench-trees/medium] [RUNS=5]
# Writes /tmp/bench-results/search-<tree>-<warm|cold>.csv and prints the table.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
kit=${BENCH_KIT:-$repo/../shared/bench}
[ -d "$kit" ] || kit=/work/shared/bench
cli=$(realpath "${1:-$repo/build/cli/quorvane-cli}")
root=${2:-/tmp/bench-trees/medium}
runs=${3:-5}
outdir=${OUTDIR:-/tmp/bench-results}
mode=warm; [ "${COLD:-0}" = 1 ] && mode=cold
[ -x "$cli" ] || { echo "no quorvane-cli at $cli (build first: scripts/build.sh)" >&2; exit 1; }
if [ ! -d "$root" ]; then
  python3 "$kit/make_tree.py" "$root" --files 100000 --dirs 5000 --max-bytes 1.8G --seed 1
fi
root=$(realpath "$root")
mkdir -p "$outdir"
name=$(basename "$root")
cmds="$outdir/search-$name-$mode.cmds"
out="$outdir/search-$name-$mode.csv"
rm -f "$out"
cd /tmp # rmlint writes nothing with -o, but keep stray output out of the repo
"$cli" find --size --all-bytes --groups "$root" > "$outdir/ours-$name.tsv" 2>/dev/null
"$cli" list "$root" > "$outdir/list-$name.tsv" 2>/dev/null
jdupes -r -z -q "$root" > "$outdir/jdupes-$name.txt"
python3 "$here/compare_sets.py" "$outdir/ours-$name.tsv" "$outdir/list-$name.tsv" "$outdir/jdupes-$name.txt"
{
  printf 'find\tfind %q -type f -printf "%%s %%T@ %%p\\n" > /dev/null\n' "$root"
  printf 'quorvane-list\t%q list %q > /dev/null 2>&1\n' "$cli" "$root"
  printf 'quorvane-find-size-cc\t%q find --size --cc %q > /dev/null 2>&1\n' "$cli" "$root"
  # A fresh contents cache each run, so that All bytes reads every file as
  # the peers do (the warm-up round would otherwise fill the cache).
  printf 'quorvane-find-size-all-bytes\tc=$(mktemp -d); XDG_CACHE_HOME=$c %q find --size --all-bytes %q > /dev/null 2>&1; rm -rf "$c"\n' "$cli" "$root"
  printf 'jdupes-z\tjdupes -r -z -q %q > /dev/null\n' "$root"
  if [ "${PEERS:-1}" = 1 ]; then # fdupes and rmlint are slow on a loaded machine
    printf 'fdupes\tfdupes -r -q %q > /dev/null\n' "$root"
    printf 'rmlint\trmlint %q -o fdupes:/dev/null\n' "$root"
    printf 'rdfind\trdfind -makeresultsfile false %q > /dev/null\n' "$root"
  fi
} > "$cmds"
# Fill the page cache once so that every command meets a warm cache.
[ "$mode" = warm ] && find "$root" -type f -print0 | xargs -0 cat > /dev/null
loadlog="$outdir/search-$name-$mode.load"
: > "$loadlog"
( while :; do cut -d' ' -f1 /proc/loadavg >> "$loadlog"; sleep 5; done ) &
sampler=$!
"$kit/rr.sh" "$cmds" "$runs" "$out"
kill "$sampler"
echo "## $name, $mode cache, $(nproc) cores, $(date -u +%Y-%m-%d)"
python3 "$kit/summarize.py" "$out" --base jdupes-z
sort -n "$loadlog" | awk '{ v[NR] = $1 } END { if (NR) printf "load average during the rounds: min %s, median %s, max %s (%d samples)\n", v[1], v[int((NR + 1) / 2)], v[NR], NR }'
