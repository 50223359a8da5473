#!/bin/bash
# Times quorvane-cli "list" and "find --size --cc" against find -printf and
# jdupes on the medium tree, interleaved (A B C D A B C D ...), warm cache,
# one unrecorded warm-up round, medians of RUNS; wall, CPU and peak RSS.
# usage: bench/tree_search.sh [CLI=build/cli/quorvane-cli] [ROOT=/tmp/bench-trees/medium] [RUNS=5]
# The tree is built with the shared generator when ROOT does not exist yet.
# Writes /tmp/bench-results/search-<tree>.csv and prints the table.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
kit=${BENCH_KIT:-$repo/../shared/bench}
cli=$(realpath "${1:-$repo/build/cli/quorvane-cli}")
root=${2:-/tmp/bench-trees/medium}
runs=${3:-5}
outdir=${OUTDIR:-/tmp/bench-results}
[ -x "$cli" ] || { echo "no quorvane-cli at $cli (build first: scripts/build.sh)" >&2; exit 1; }
if [ ! -d "$root" ]; then
  python3 "$kit/make_tree.py" "$root" --files 100000 --dirs 5000 --max-bytes 1.8G --seed 1
fi
root=$(realpath "$root")
mkdir -p "$outdir"
name=$(basename "$root")
cmds="$outdir/search-$name.cmds"
out="$outdir/search-$name.csv"
rm -f "$out"
{
  printf 'find\tfind %q -type f -printf "%%s %%T@ %%p\\n" > /dev/null\n' "$root"
  printf 'quorvane-list\t%q list %q > /dev/null 2>&1\n' "$cli" "$root"
  printf 'jdupes\tjdupes -r -q %q > /dev/null\n' "$root"
  printf 'quorvane-find-size-cc\t%q find --size --cc %q > /dev/null 2>&1\n' "$cli" "$root"
} > "$cmds"
# Fill the page cache once so that every command meets a warm cache.
find "$root" -type f -print0 | xargs -0 cat > /dev/null
"$kit/rr.sh" "$cmds" "$runs" "$out"
echo "## $name, warm cache, $(nproc) cores, $(date -u +%Y-%m-%d)"
python3 "$kit/summarize.py" "$out" --base find
