#!/usr/bin/env bash
# Photo evaluation: pair precision and recall of the similar search over a
# set made at run time from the installed wallpapers and symbolic icons (every
# photo format, the eight turns and mirrors, transparent icons; see
# similar_eval.py photos), with the options off and on (the last row with
# every option: more formats, turns and crops); the groups over ten
# members among the icons of /usr/share/icons and how far apart the alpha
# masks they join are; a 24-megapixel DNG's preview, step by step; and a
# 12-megapixel HEIC against heif-convert. Needs rsvg-convert (librsvg2-bin),
# the format encoders and desktop-base's wallpapers.
# usage: bench/photo_eval.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?build directory}" && pwd)
work=${2:-/tmp/photo-eval}
cli=$build/cli/quorvane-cli
eval="python3 $here/similar_eval.py"
convert=$(command -v convert-im6.q16 || command -v convert)
mkdir -p "$work"

[ -f "$work/eval/truth.tsv" ] || $eval photos "$work/eval"
# An "-rtl" icon mirrors its twin: with turns the two are one picture.
[ -f "$work/eval/mirrors.tsv" ] || $eval mirrors "$work/eval"
echo "== similar, $(wc -l < "$work/eval/truth.tsv") pictures"
for opts in "" "--more-formats" "--more-formats --turns" "--more-formats --turns --crops"; do
  # shellcheck disable=SC2086 # the options are meant to split into words
  /usr/bin/time -f "%e s wall, %U s user, %M KB" -o "$work/time.txt" \
    "$cli" similar --no-cache $opts "$work/eval/set" > "$work/groups.txt" 2>/dev/null
  echo "options [${opts:-none}] ($(tail -1 "$work/time.txt")):"
  mirrors=()
  [[ $opts == *--turns* ]] && mirrors=(--mirrors "$work/eval/mirrors.tsv")
  $eval score "$work/eval/truth.tsv" "$work/groups.txt" --quorvane "${mirrors[@]}"
done

echo "== /usr/share/icons with every option, --more-formats --turns, then --more-formats alone (wall and user time)"
for opts in "--more-formats --turns --crops" "--more-formats --turns" "--more-formats"; do
  # shellcheck disable=SC2086 # the options are meant to split into words
  /usr/bin/time -f "%e s wall, %U s user" -o "$work/time.txt" \
    "$cli" similar --no-cache $opts /usr/share/icons > "$work/icons.txt" 2>/dev/null
  echo "options [$opts] ($(tail -1 "$work/time.txt"))"
done
cut -f1 "$work/icons.txt" | sort | uniq -c | awk '{n++; if ($1 > 10) big++; if ($1 > m) m = $1}
  END {print n " groups, " big " over 10 members, the largest of " m}'
python3 - "$work/icons.txt" "$convert" <<'PY'
# For each group over ten members: the largest share of 32 x 32 alpha-mask
# pixels (one file a name) on which two of its icons differ by over half.
import collections, itertools, os, subprocess, sys
groups = collections.defaultdict(list)
for line in open(sys.argv[1], encoding="utf-8", errors="surrogateescape"):
    g, name, folder = line.split("\t")[:3]
    groups[g].append(os.path.join(folder, name))
def mask(path):
    return subprocess.run([sys.argv[2], path, "-alpha", "extract", "-resize", "32x32!", "-depth", "8", "gray:-"],
                          capture_output=True).stdout
apart = 0
big = [m for m in groups.values() if len(m) > 10]
for members in big:
    names = {}
    for p in sorted(members, key=os.path.getsize, reverse=True):
        names.setdefault(os.path.basename(p).split(".")[0], p)
    masks = {n: mask(p) for n, p in names.items()}
    worst, pair = 0.0, ""
    for a, b in itertools.combinations(masks, 2):
        if len(masks[a]) == len(masks[b]) == 1024:
            share = sum(abs(x - y) > 128 for x, y in zip(masks[a], masks[b])) / 1024
            if share > worst:
                worst, pair = share, "%s / %s" % (a, b)
    if worst > 0.03:
        apart += 1
        print("  %d members: masks differ on %.1f %% (%s)" % (len(members), 100 * worst, pair))
print("%d of %d groups over 10 members join masks differing on more than 3 %% of pixels" % (apart, len(big)))
PY

echo "== RAW: a 6000 x 4000 DNG with a full-size JPEG preview"
cmake --build "$build" --target quorvane_bench_raw_preview > /dev/null
wall=/usr/share/wallpapers/Lines/contents/images/3840x2160.svg
[ -f "$work/wall6000.png" ] || rsvg-convert -w 6000 -h 4000 "$wall" -o "$work/wall6000.png"
for noise in 0.12 0.3; do # about 0.8 MB and 5.7 MB of preview
  dng=$work/cam24-$noise.dng
  if [ ! -f "$dng" ]; then
    "$convert" "$work/wall6000.png" -attenuate $noise +noise Gaussian -quality 92 "$work/preview.jpg"
    python3 "$here/make_dng.py" "$work/preview.jpg" "$dng"
  fi
  "$build/formats/photo/quorvane_bench_raw_preview" "$dng" 10 0 2000 1080 500
done

echo "== HEIC 12 MP: quorvane-cli decode against heif-convert, median of 5 (wall, user, sys s)"
heic=$work/photo12.heic
if [ ! -f "$heic" ]; then
  rsvg-convert -w 4000 -h 3000 "$wall" -o "$work/w12.png"
  "$convert" "$work/w12.png" -attenuate 0.1 +noise Gaussian -alpha off "$work/w12n.png"
  heif-enc -q 80 "$work/w12n.png" -o "$heic" > /dev/null
fi
median() {
  for _ in 1 2 3 4 5; do
    /usr/bin/time -f "%e %U %S" -o "$work/time.txt" "$@" > /dev/null 2>&1
    tail -1 "$work/time.txt"
  done | sort -n | sed -n 3p
}
echo "quorvane-cli decode to BMP:  $(median "$cli" decode "$heic" "$work/out.bmp")"
# Y4M is written from libheif's YCbCr planes as decoded (no RGB conversion,
# 18 MB); PNG adds libheif's RGB conversion and zlib; decode converts to RGBA
# and writes a 48 MB BMP.
echo "heif-convert to Y4M:         $(median heif-convert "$heic" "$work/out.y4m")"
echo "heif-convert to PNG:         $(median heif-convert "$heic" "$work/out.png")"
