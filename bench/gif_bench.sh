#!/bin/bash
# GIF decoding speed: our reader (every image of each file decoded, image 1's
# bitmap built, one process) against giflib DGifSlurp and Qt's QImageReader
# from the shared benchmark kit, interleaved rounds, warm page cache.
# usage: bench/gif_bench.sh [PICS_ROOT=/tmp/bench-trees/pics] [RUNS=5] [OUTDIR=/tmp/bench-results-gif]
# Env: KIT (shared kit, default ../../shared/bench), ANCHORS (default /tmp/bench-build),
#      BUILD (our build dir, default /tmp/build-gif-bench), GIF_BENCH (a prebuilt gif_bench),
#      ACCEPTED_ONLY=1 (time only the files our reader accepts, for a like-for-like batch).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
root=$(realpath "${1:-/tmp/bench-trees/pics}"); runs=${2:-5}; outdir=${3:-/tmp/bench-results-gif}
KIT=${KIT:-$(realpath "$repo/../shared/bench")}
ANCHORS=${ANCHORS:-/tmp/bench-build}
BUILD=${BUILD:-/tmp/build-gif-bench}
if [ -z "${GIF_BENCH:-}" ]; then
  cmake -S "$repo" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANE_FORMATS_ONLY=ON \
        -DQUORVANE_BUILD_TESTS=OFF > "$BUILD.cmake.log"
  cmake --build "$BUILD" --target gif_bench -j2 > "$BUILD.build.log"
  GIF_BENCH="$BUILD/formats/gif/gif_bench"
fi
mkdir -p "$outdir"
gifs="$outdir/gifs.lst"; cmds="$outdir/gif.cmds"; out="$outdir/gif.csv"; work="$outdir/gif.work"
find "$root" -type f -iname '*.gif' | LC_ALL=C sort > "$gifs"
if [ "${ACCEPTED_ONLY:-0}" = 1 ]; then
  "$GIF_BENCH" - < "$gifs" 2>&1 >/dev/null | sed -n 's/: [^:]*$//p' > "$outdir/refused.lst" || true
  grep -vxF -f "$outdir/refused.lst" "$gifs" > "$gifs.accepted" || true
  mv "$gifs.accepted" "$gifs"
fi
rm -f "$out"
{
  printf 'gif-giflib-slurp\t%q - < %q > /dev/null\n' "$ANCHORS/gifslurp" "$gifs"
  printf 'gif-qt\t%q - < %q > /dev/null\n' "$ANCHORS/qtimg" "$gifs"
  printf 'gif-quorvane\t%q - < %q > /dev/null 2>&1\n' "$GIF_BENCH" "$gifs"
  printf 'gif-quorvane-hook\t%q --hook - < %q > /dev/null 2>&1\n' "$GIF_BENCH" "$gifs"
} > "$cmds"
read -r _ gf _ _ _ gpx _ < <("$ANCHORS/gifslurp" - < "$gifs")
cut -f1 "$cmds" | while read -r label; do
  printf '%s\t%s\t%s\n' "$label" "$gf" "$(echo "$gpx / 1000000" | bc -l)"
done > "$work"
echo "our reader: $("$GIF_BENCH" - < "$gifs" 2>&1 | tail -1)"
"$GIF_BENCH" - < "$gifs" 2>&1 >/dev/null | sed 's/^/  refused: /' || true
cat "$gifs" | tr '\n' '\0' | xargs -0 cat > /dev/null
"$KIT/rr.sh" "$cmds" "$runs" "$out" 2>/dev/null
echo "## $(basename "$root"): $gf GIFs, $(echo "scale=1; $gpx / 1000000" | bc) MPix, $(nproc) cores, $(date -u +%Y-%m-%d)"
"$KIT/summarize.py" "$out" --base gif-quorvane --work "$work"
