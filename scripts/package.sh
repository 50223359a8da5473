#!/usr/bin/env bash
# Builds the Debian package of the program into dist/ (quorvane_VERSION_ARCH.deb).
# Reuses build/ (or $BUILD_DIR), building only what the package holds; the
# package's library dependencies are computed by dpkg-shlibdeps.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
dist="$root/dist"
"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$(nproc)" --target quorvane quorvane-cli
mkdir -p "$dist"
(cd "$build" && cpack -G DEB -B "$build/cpack" >/dev/null)
find "$build/cpack" -maxdepth 1 -name 'quorvane_*.deb' -exec cp {} "$dist/" \;
ls -1 "$dist"/quorvane_*.deb
