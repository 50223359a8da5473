#!/bin/bash
# The window order under a window manager: Xvfb with openbox, then
# quorvane_delete_look (a search over TREE with a click into the main window,
# the viewer's Delete with its question). Screenshots go to OUTDIR.
# usage: delete_look.sh TREE [OUTDIR=/tmp/delete-look]
# needs: xvfb openbox xdotool; build first:
#   cmake --build build --target quorvane_delete_look
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tree=$1
out=${2:-/tmp/delete-look}
LOOK=${LOOK:-$here/../build/app/quorvane_delete_look}
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c "openbox & sleep 1; '$LOOK' '$tree' '$out'"
