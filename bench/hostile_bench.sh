#!/usr/bin/env bash
# Times every hostile input through "quorvane-cli decode" (JPEG files also
# with --progressive) under a 3 GiB address-space limit, and prints one row
# per run: file, size, exit status, wall seconds, CPU seconds, peak RSS.
# The cost rule: a file under 64 KiB within 1 s of CPU and 512 MiB; larger
# files at most linearly more.
# usage: bench/hostile_bench.sh [BUILD_DIR]   (needs /usr/bin/time)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
cmake --build "$build" --target quorvane-cli make_hostile_inputs >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/tests/formats/hostile/make_hostile_inputs" "$work" >/dev/null

printf '| input | bytes | options | status | wall s | cpu s | peak RSS MiB |\n'
printf '|---|---|---|---|---|---|---|\n'
run() {
  local file="$1"; shift
  local stats="$work/time.txt"
  local status=0
  ( ulimit -v $((3 * 1024 * 1024)); /usr/bin/time -v -o "$stats" \
      "$build/cli/quorvane-cli" decode "$@" "$file" "$work/out.bmp" >/dev/null 2>"$work/err.txt" ) || status=$?
  local wall cpu rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,t,":"); s=0; for(i=1;i<=n;i++) s=s*60+t[i]; print s}' "$stats")
  cpu=$(awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} END {printf "%.2f", u+s}' "$stats")
  rss=$(awk -F': ' '/Maximum resident/ {printf "%.0f", $2/1024}' "$stats")
  printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$(basename "$file")" "$(stat -c %s "$file")" \
    "${*:-}" "$status" "$wall" "$cpu" "$rss"
}
for file in "$work"/*; do
  case "$file" in *.bmp|*.txt) continue ;; esac
  run "$file"
  case "$file" in *.jpg) run "$file" --progressive ;; esac
done
