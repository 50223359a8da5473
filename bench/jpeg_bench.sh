#!/bin/bash
# JPEG decode speed: our TJPEGImage (quorvane-jpeg-bench, one process) against
# libjpeg-turbo in one process (jpegscan) and Qt's reader (qtimg), on the JPEGs
# of a picture tree, at each scale with the same settings, interleaved rounds.
# usage: jpeg_bench.sh PICS_ROOT [RUNS=5] [OUTDIR=/tmp/bench-results]
# env: OURS (quorvane-jpeg-bench), BUILD (anchors, default /tmp/bench-build),
#      KIT (the peer benchmark kit with rr.sh and summarize.py).
# Prints the kit's table and, per scale, the median over rounds of the
# per-round ratio ours / jpegscan for wall and for CPU (user + sys) time.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(realpath "$1"); runs=${2:-5}; outdir=${3:-/tmp/bench-results}
BUILD=${BUILD:-/tmp/bench-build}
KIT=${KIT:-$here/../../shared/bench}
OURS=${OURS:-$here/../build/formats/jpeg/quorvane-jpeg-bench}
mkdir -p "$outdir"
jpgs="$outdir/jpeg-bench-files.lst"
find "$root" -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) | LC_ALL=C sort > "$jpgs"
cmds="$outdir/jpeg-bench.cmds"; out="$outdir/jpeg-bench.csv"
rm -f "$out"
# scale label : jpegscan and our options : qtimg options
{
  for s in "1/8-grey-fast:-s 8 -g -f:-s 8" "1/4-fast:-s 4 -f:-s 4" "1/2-fast:-s 2 -f:-s 2" "full:-s 1:"; do
    IFS=: read -r label opts qopts <<< "$s"
    printf 'jpegscan-%s\t%q %s - < %q > /dev/null\n' "$label" "$BUILD/jpegscan" "$opts" "$jpgs"
    printf 'ours-%s\t%q %s - < %q > /dev/null\n' "$label" "$OURS" "$opts" "$jpgs"
    printf 'qt-%s\t%q %s - < %q > /dev/null\n' "$label" "$BUILD/qtimg" "$qopts" "$jpgs"
  done
} > "$cmds"
"$OURS" -s 8 - < "$jpgs" | grep -q 'failed 0' || echo "warning: some JPEG files failed to decode" >&2
xargs -d '\n' cat < "$jpgs" > /dev/null # warm the page cache
"$KIT/rr.sh" "$cmds" "$runs" "$out"
echo "## $(basename "$root"): $(wc -l < "$jpgs") JPEGs, $(nproc) cores, $(date -u +%Y-%m-%d)"
"$KIT/summarize.py" "$out"
python3 - "$out" <<'PY'
import csv, statistics as st, sys
rows = list(csv.DictReader(open(sys.argv[1])))
t = {(r["label"], r["round"]): r for r in rows}
print("\n| scale | ours / jpegscan, wall | ours / jpegscan, cpu | qt / jpegscan, wall |")
print("|---|---|---|---|")
for scale in ["1/8-grey-fast", "1/4-fast", "1/2-fast", "full"]:
    rounds = sorted({r["round"] for r in rows if r["label"] == "ours-" + scale})
    if not rounds:
        continue
    def ratio(label, field):
        vals = []
        for n in rounds:
            a, b = t[(label + scale, n)], t[("jpegscan-" + scale, n)]
            f = (lambda r: float(r["wall_s"])) if field == "wall" else (lambda r: float(r["user_s"]) + float(r["sys_s"]))
            vals.append(f(a) / f(b))
        return "%.3f [%.3f-%.3f]" % (st.median(vals), min(vals), max(vals))
    print("| %s | %s | %s | %s |" % (scale, ratio("ours-", "wall"), ratio("ours-", "cpu"), ratio("qt-", "wall")))
PY
