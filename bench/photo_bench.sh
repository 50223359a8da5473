#!/usr/bin/env bash
# Photo formats: decode time of a 12-megapixel HEIC against libheif's own
# heif-convert, the cost of hostile photo files under 64 KiB (time and peak
# memory of quorvane-cli decode), and the similar search with and without
# turns. Usage: bench/photo_bench.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=${1:?build directory}
work=${2:-$(mktemp -d)}
cli=$build/cli/quorvane-cli
mkdir -p "$work"
cd "$work"

best_of_3() { # prints the fastest wall time of three runs of "$@"
  local best=""
  for _ in 1 2 3; do
    local t
    /usr/bin/time -f "%e" -o time.txt "$@" >/dev/null 2>&1 || true
    t=$(tail -1 time.txt)
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
  done
  echo "$best"
}

echo "== HEIC 12 MP"
[ -f photo12.png ] || convert -size 1000x750 plasma:fractal -blur 0x1 -resize 4000x3000! photo12.png
[ -f photo12.heic ] || heif-enc -q 85 photo12.png -o photo12.heic >/dev/null
echo "quorvane-cli decode (to BMP): $(best_of_3 "$cli" decode photo12.heic out.bmp) s"
echo "heif-convert (to Y4M):        $(best_of_3 heif-convert photo12.heic out.y4m) s"

echo "== hostile photo files (< 64 KiB): seconds, peak KiB"
[ -f flat.png ] || convert -size 6000x6000 xc:white -depth 8 flat.png
[ -f bomb.png ] || convert flat.png bomb.png
[ -f bomb.tif ] || convert flat.png -compress zip bomb.tif
[ -f bomb.webp ] || cwebp -quiet -lossless flat.png -o bomb.webp
[ -f bomb.jxl ] || cjxl --quiet -e 1 flat.png bomb.jxl
[ -f small.heic ] || { convert -size 96x64 gradient: small.png && heif-enc small.png -o small.heic >/dev/null; }
[ -f small.avif ] || avifenc -s 10 small.png small.avif >/dev/null
python3 - <<'PY'
import struct
for name in ("small.heic", "small.avif"):
    data = bytearray(open(name, "rb").read())
    at = data.find(b"ispe")
    while at >= 0:
        data[at + 8:at + 16] = struct.pack(">II", 65535, 65535)
        at = data.find(b"ispe", at + 4)
    open("claim." + name.split(".")[1], "wb").write(data)
PY
: > empty.heic
head -c 300 small.heic > cut.heic
for f in bomb.png bomb.tif bomb.webp bomb.jxl claim.heic claim.avif empty.heic cut.heic; do
  size=$(stat -c %s "$f")
  /usr/bin/time -f "%e %M" -o time.txt "$cli" decode "$f" out.bmp >/dev/null 2>&1 || true
  r=$(tail -1 time.txt)
  echo "$f ($size bytes): $r"
done

echo "== similar, 40 pictures and their turned and mirrored copies"
mkdir -p set
if [ ! -f set/p39-m.jpg ]; then
  for i in $(seq 0 39); do
    convert -size 160x120 plasma:fractal -seed "$i" -resize 640x480! "set/p$i.jpg"
    convert "set/p$i.jpg" -rotate 90 "set/p$i-r.jpg"
    convert "set/p$i.jpg" -flop "set/p$i-m.jpg"
  done
fi
echo "plain:  $(best_of_3 "$cli" similar --no-cache set) s"
echo "turns:  $(best_of_3 "$cli" similar --no-cache --turns set) s"
echo "groups plain: $("$cli" similar --no-cache set 2>/dev/null | cut -f1 | sort -u | wc -l)," \
     "with turns: $("$cli" similar --no-cache --turns set 2>/dev/null | cut -f1 | sort -u | wc -l) (of 40)"
