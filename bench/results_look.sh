#!/bin/bash
# The result list's groups, added columns and menus in the real window under
# a window manager, in both languages: Xvfb with openbox, then
# quorvane_results_look. Screenshots go to OUTDIR.
# usage: results_look.sh [OUTDIR=/tmp/results-look]
# needs: xvfb openbox; build first:
#   cmake --build build --target quorvane_results_look
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-/tmp/results-look}
LOOK=${LOOK:-$here/../build/app/quorvane_results_look}
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c "openbox & sleep 1; '$LOOK' '$out'"
