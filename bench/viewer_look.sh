#!/bin/bash
# Screenshots of the viewer under Xvfb (1280x800): makes a few pictures with
# ImageMagick and runs quorvane_viewer_look, which saves OUTDIR/*.png.
# usage: viewer_look.sh [OUTDIR=/tmp/viewer-look]
# build first: cmake --build build --target quorvane_viewer_look
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-/tmp/viewer-look}
LOOK=${LOOK:-$here/../build/app/quorvane_viewer_look}
pics=$(mktemp -d)
trap 'rm -rf "$pics"' EXIT
mkdir -p "$out"
convert -size 3000x2000 gradient:darkgreen-gold -fill white -pointsize 200 \
  -draw "text 100,300 'top left'" -draw "text 2100,1900 'bottom right'" \
  -stroke red -strokewidth 20 -fill none -draw "rectangle 10,10 2990,1990" "$pics/big.jpg"
convert -size 640x480 gradient:navy-skyblue -fill white -pointsize 60 -draw "text 40,260 'second.jpg'" "$pics/second.jpg"
convert -size 1600x600 gradient:purple-pink -fill white -pointsize 80 -draw "text 40,330 'third.jpg'" "$pics/third.jpg"
convert -size 300x200 xc:orange -fill black -pointsize 40 -draw "text 20,110 'small.gif'" "$pics/small.gif"
echo "not a picture" > "$pics/notes.txt"
xvfb-run -a -s "-screen 0 1280x800x24" "$LOOK" "$pics" "$out"
