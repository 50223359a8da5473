#!/bin/bash
# Replacing and moving duplicates in the real window under a window manager:
# Xvfb with openbox, then quorvane_replace_look. Screenshots go to OUTDIR.
# usage: replace_look.sh [OUTDIR=/tmp/replace-look]
# needs: xvfb openbox; build first:
#   cmake --build build --target quorvane_replace_look
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-/tmp/replace-look}
LOOK=${LOOK:-$here/../build/app/quorvane_replace_look}
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c "openbox & sleep 1; '$LOOK' '$out'"
