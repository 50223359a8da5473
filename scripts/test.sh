#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs the whole test suite.
# The picture format libraries are then built once more with AddressSanitizer
# and UndefinedBehaviorSanitizer and their tests run again; CTest's summary of
# that run is the last line printed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
status=0
(cd "$build" && ctest -j2 --output-on-failure) || status=1

san="${SAN_BUILD_DIR:-$root/build-sanitize}"
cmake -S "$root" -B "$san" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_FORMATS_ONLY=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all" \
  -DCMAKE_C_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer" >/dev/null
cmake --build "$san" -j "$(nproc)"
(cd "$san" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -j2 --output-on-failure) || status=1
exit $status
