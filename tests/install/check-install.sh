#!/usr/bin/env bash
# Installs the build tree given as $1 into a temporary DESTDIR with prefix
# /usr and checks what arrives: exactly the two programs (and the helper that
# draws metafiles for quorvane-cli), the desktop entry,
# the AppStream file, the icons and the manual page, each usable. The desktop
# validators run when they are installed. Prints every failure; exit 1 on any.
set -uo pipefail
build="$1"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
root="$stage/usr"

# The whole installed tree, and nothing else.
sizes="16 22 24 32 48 64 128 256"
expected=(bin/quorvane bin/quorvane-cli libexec/quorvane/quorvane-metafile
  share/applications/quorvane.desktop
  share/metainfo/com.marrowfen.quorvane.metainfo.xml
  share/man/man1/quorvane-cli.1
  share/icons/hicolor/scalable/apps/quorvane.svg)
for s in $sizes; do expected+=("share/icons/hicolor/${s}x${s}/apps/quorvane.png"); done
actual="$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)"
wanted="$(printf '%s\n' "${expected[@]}" | sort)"
[ "$actual" = "$wanted" ] || fail "installed files differ from the expected list:
$(diff <(echo "$wanted") <(echo "$actual"))"

for p in bin/quorvane bin/quorvane-cli libexec/quorvane/quorvane-metafile; do
  [ -x "$root/$p" ] || fail "$p is not executable"
done

# Each PNG is as wide and as high as its folder says (IHDR at byte 16).
for s in $sizes; do
  png="$root/share/icons/hicolor/${s}x${s}/apps/quorvane.png"
  [ -f "$png" ] || continue
  dims="$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ' | sed 's/^ //')"
  read -r w0 w1 w2 w3 h0 h1 h2 h3 <<<"$dims"
  w=$(((w0 << 24) | (w1 << 16) | (w2 << 8) | w3)) h=$(((h0 << 24) | (h1 << 16) | (h2 << 8) | h3))
  [ "$w" = "$s" ] && [ "$h" = "$s" ] || fail "icon ${s}x${s} is ${w}x${h}"
done
grep -q '<svg .*viewBox="0 0 256 256"' "$root/share/icons/hicolor/scalable/apps/quorvane.svg" ||
  fail "the scalable icon has no 256 by 256 view box"

# Both programs answer --version from the installed path without a display.
for p in quorvane quorvane-cli; do
  out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/$p" --version 2>&1)" ||
    fail "$p --version failed"
  [[ "$out" =~ ^[Qq]uorvane(-cli)?\ [0-9]+\.[0-9]+ ]] || fail "$p --version printed: $out"
done

# Every option the help names is documented in the manual page.
man="$root/share/man/man1/quorvane-cli.1"
help="$("$root/bin/quorvane-cli" --help)" || fail "quorvane-cli --help failed"
manText="$(sed 's/\\-/-/g' "$man")"
for option in $(grep -oE -- '--[a-z0-9][a-z0-9-]*' <<<"$help" | sort -u); do
  grep -qF -- "$option" <<<"$manText" || fail "the manual page does not document $option"
done
for section in NAME SYNOPSIS DESCRIPTION OPTIONS OUTPUT "EXIT STATUS"; do
  grep -q "^\.SH \"*$section" "$man" || fail "the manual page has no $section section"
done
if command -v groff >/dev/null; then
  warnings="$(groff -man -ww -z -Tutf8 "$man" 2>&1)"
  [ -z "$warnings" ] || fail "groff warns on the manual page: $warnings"
fi

desktop="$root/share/applications/quorvane.desktop"
grep -qx 'Exec=quorvane' "$desktop" || fail "the desktop entry does not start quorvane"
grep -qx 'Icon=quorvane' "$desktop" || fail "the desktop entry names another icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
  echo "desktop-file-validate not installed: the desktop entry is not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --explain "$root/share/metainfo/com.marrowfen.quorvane.metainfo.xml" ||
    fail "appstreamcli validate"
else
  echo "appstreamcli not installed: the AppStream file is not validated"
fi

[ "$failures" -eq 0 ] && echo "installed tree complete" || exit 1
