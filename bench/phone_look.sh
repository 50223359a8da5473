#!/bin/bash
# Makes a folder of phone-like photos from the photo set (photo_set.sh) and
# looks at it in the real window under Xvfb: a portrait photo stored on its
# side with an orientation tag and its copy, a JPEG and its HEIC copy, a
# camera RAW (DNG) with its JPEG, found by the similar-pictures search with
# "More picture formats", then shown in the preview, the slides (grey, then
# in colour) and the viewer. Prints what each screenshot shows.
# usage: bench/phone_look.sh [SET=/tmp/photo-set] [OUTDIR=/tmp/phone-look]
# build first: cmake --build build --target quorvane_phone_look
set -eu
here=$(cd "$(dirname "$0")" && pwd)
set_dir=${1:-/tmp/photo-set}
out=${2:-/tmp/phone-look}
look=${LOOK:-$here/../build/app/quorvane_phone_look}
"$here/photo_set.sh" "$set_dir" > /dev/null
photos="$out/photos"
rm -rf "$out"
mkdir -p "$photos"
# A phone writes a portrait photo (here 1125 x 1500, "TOP" at its top) as a
# landscape picture lying on its side, with Orientation 6 ("turn 90 degrees
# clockwise to show").
convert "$set_dir/p12_01.jpg" -resize x1500 -gravity center -crop 1125x1500+0+0 +repage \
  -gravity north -fill white -pointsize 160 -annotate +0+60 TOP -rotate -90 "$photos/IMG_0001.jpg"
exiftool -q -overwrite_original -Orientation#=6 -DateTimeOriginal='2024:07:14 18:02:11' \
  -Model='Look Phone' "$photos/IMG_0001.jpg"
cp "$photos/IMG_0001.jpg" "$photos/IMG_0001 copy.jpg"
convert "$set_dir/p12_02.jpg" -resize 2000x1500 "$photos/IMG_0002.jpg"
heif-enc -q 80 -o "$photos/IMG_0002.heic" "$photos/IMG_0002.jpg" > /dev/null
convert "$set_dir/p12_03.jpg" -resize 3000x2000! "$photos/DSC_0003.jpg"
# The RAW carries, as cameras do, a medium preview and a thumbnail besides
# the full-size one.
convert "$photos/DSC_0003.jpg" -resize 1616x1077 "$out/medium.jpg"
convert "$photos/DSC_0003.jpg" -resize 160x107 "$out/thumb.jpg"
python3 "$here/make_dng.py" "$photos/DSC_0003.jpg" "$photos/DSC_0003.dng" "$out/medium.jpg" "$out/thumb.jpg"
ls -l "$photos"
exec xvfb-run -a -s "-screen 0 1600x1000x24" "$look" "$photos" "$out"
