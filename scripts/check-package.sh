#!/usr/bin/env bash
# Tries the Debian package as a new user would (needs root; it installs the
# package on this machine): builds it with package.sh, installs it with
# apt-get, asks both programs for --version and --help, starts the installed
# program under Xvfb with a fresh home folder, and saves a screenshot of the
# screen as dist/screenshot.png. Removes the package again unless --keep.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
keep=0
[ "${1:-}" = "--keep" ] && keep=1

"$root/scripts/package.sh"
deb="$(ls -1t "$root"/dist/quorvane_*.deb | head -n1)"
echo "== $deb"
dpkg-deb --field "$deb" Package Version Depends
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
[ "$keep" = 1 ] || trap 'DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quorvane >/dev/null' EXIT

echo "== installed files"
dpkg -L quorvane | while read -r f; do if [ -f "$f" ]; then echo "$f"; fi; done
echo "== quorvane --version (no display)"
env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/quorvane --version
echo "== quorvane-cli --version / --help"
/usr/bin/quorvane-cli --version
/usr/bin/quorvane-cli --help | sed -n 1,5p
echo "== man quorvane-cli"
MANWIDTH=80 man -P cat quorvane-cli 2>/dev/null | sed -n 1,8p

echo "== the window under Xvfb"
home="$(mktemp -d)"
shot="$root/dist/screenshot.png"
rm -f "$shot"
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    /usr/bin/quorvane & pid=$!
    sleep 6
    if command -v xwininfo >/dev/null; then xwininfo -root -tree | grep -i "quorvane" || echo "no window found"; fi
    import -window root "$1"
    kill $pid; wait $pid 2>/dev/null || true' _ "$shot"
rm -rf "$home"
[ -s "$shot" ] && echo "screenshot: $shot"
