#!/bin/bash
# Full-size viewer speed: makes the test pictures with ImageMagick (a 6000x4000
# baseline JPEG, a 4000x3000 progressive JPEG, a 2000x2000 GIF and twenty
# 4000x3000 JPEGs to page through) and runs quorvane_bench_viewer on a real X
# server (Xvfb, 1920x1080) when there is one, else on the offscreen platform.
# usage: viewer_bench.sh [WORKDIR=/tmp/viewer-bench]
# build first: cmake --build build --target quorvane_bench_viewer
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=${1:-/tmp/viewer-bench}
BENCH=${BENCH:-$here/../build/display/quorvane_bench_viewer}
mkdir -p "$work"
photo() { # size, extra options, output
  [ -s "$3" ] || convert -size "$1" gradient:navy-orange -attenuate 0.4 +noise Gaussian \
    -blur 0x1 $2 -quality 90 "$3"
}
photo 6000x4000 "-interlace none" "$work/big.jpg"
photo 4000x3000 "-interlace JPEG" "$work/progressive.jpg"
[ -s "$work/square.gif" ] || convert -size 2000x2000 plasma:fractal -colors 256 "$work/square.gif"
for k in $(seq -w 0 19); do
  if [ ! -s "$work/page$k.jpg" ]; then
    [ "$k" = 00 ] && photo 4000x3000 "-interlace none" "$work/page00.jpg" || cp "$work/page00.jpg" "$work/page$k.jpg"
  fi
done
if command -v xvfb-run > /dev/null; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$BENCH" "$work"
fi
QT_QPA_PLATFORM=offscreen exec "$BENCH" "$work"
