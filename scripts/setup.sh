#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Safe to run again: it installs only what is missing. Needs root (or sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
  qt6-image-formats-plugins
  libjpeg62-turbo-dev libjpeg-turbo-progs libgif-dev libxxhash-dev libpng-dev rapidjson-dev liburing-dev
  gifsicle python3-pil imagemagick
  libheif-dev libjxl-dev libwebp-dev libtiff-dev libraw-dev libbrotli-dev zlib1g-dev
  libheif-examples libavif-bin libjxl-tools webp libimage-exiftool-perl
  btrfs-progs xfsprogs
  fonts-arphic-uming fonts-arphic-ukai fonts-liberation2
  qt6-l10n-tools qt6-tools-dev qt6-tools-dev-tools qt6-translations-l10n
  xvfb xauth
  desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
