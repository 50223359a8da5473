#!/bin/bash
# Real photographs for the picture benchmarks: the largest wallpapers of
# Debian's plasma-workspace-wallpapers and gnome-backgrounds, enlarged with
# ImageMagick to 12 megapixels (4000x3000) and 24 megapixels (6000x4000),
# baseline and progressive, and a thousand hard links for the memory run.
# usage: photo_set.sh [DIR=/tmp/photo-set]   (apt-get install the two packages first)
set -eu
dir=${1:-/tmp/photo-set}
mkdir -p "$dir/links"
mapfile -t sources < <(find /usr/share/wallpapers /usr/share/backgrounds -type f \
  \( -name '*.jpg' -o -name '*.png' -o -name '*.webp' \) -size +1M | sort | head -20)
[ "${#sources[@]}" -ge 20 ] || { echo "fewer than 20 wallpapers: install plasma-workspace-wallpapers and gnome-backgrounds" >&2; exit 1; }
make() { # source, geometry, interlace, output
  [ -s "$4" ] || convert "$1" -resize "$2^" -gravity center -extent "$2" -interlace "$3" -quality 90 "$4"
}
for k in $(seq 0 19); do
  n=$(printf %02d "$k")
  make "${sources[$k]}" 4000x3000 none "$dir/p12_$n.jpg"
  make "${sources[$k]}" 6000x4000 none "$dir/p24_$n.jpg"
  [ "$k" -lt 5 ] && make "${sources[$k]}" 4000x3000 JPEG "$dir/q12_$n.jpg"
done
for k in $(seq 0 999); do
  n=$(printf %04d "$k")
  [ -e "$dir/links/l$n.jpg" ] || ln "$dir/p12_$(printf %02d $((k % 20))).jpg" "$dir/links/l$n.jpg"
done
echo "$dir"
