#!/bin/bash
# Pictures in the window with the loader, on real photos: makes the set
# (photo_set.sh), times djpeg's own decode at 1/2 of the same files, then runs
# quorvane_bench_pictures under Xvfb (1920x1080) when there is one.
# usage: picture_bench.sh [DIR=/tmp/photo-set] [cold|preview|slides|viewer|memory]
# build first: cmake --build build --target quorvane_bench_pictures
set -eu
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:-/tmp/photo-set}
BENCH=${BENCH:-$here/../build/app/quorvane_bench_pictures}
"$here/photo_set.sh" "$dir" > /dev/null
median_ms() { # command...: the median wall time of 5 runs, in ms
  for run in 1 2 3 4 5; do
    start=$(date +%s%N); "$@" > /dev/null; end=$(date +%s%N)
    echo $(((end - start) / 1000))
  done | sort -n | sed -n 3p | awk '{printf "%.1f", $1 / 1000}'
}
for prefix in p12 q12; do
  total=0
  for k in 00 01 02 03 04; do
    echo "djpeg -scale 1/2 -dct fast $prefix"_"$k.jpg: $(median_ms djpeg -scale 1/2 -dct fast -outfile /dev/null "$dir/${prefix}_$k.jpg") ms"
  done
done
if command -v xvfb-run > /dev/null; then
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$BENCH" "$dir" "${2:-}"
fi
QT_QPA_PLATFORM=offscreen exec "$BENCH" "$dir" "${2:-}"
