#!/usr/bin/env bash
# Installs the Debian 12 packages Stillora needs to build, run and test.
set -euo pipefail
packages=(
  build-essential git cmake pkg-config
  qt6-base-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev libavdevice-dev
  libavfilter-dev libswresample-dev
  libjpeg62-turbo-dev libgif-dev libdvdread-dev
  libgtest-dev libbenchmark-dev
  ffmpeg fonts-dejavu-core
  dvdauthor genisoimage
  chromium
  # The slideshow's player check: pictures are compared with ImageMagick, the
  # page is served by Python; Ruffle comes from npm (installed below).
  imagemagick python3
  clang libclang-rt-14-dev
)
if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${packages[@]}"
# npm fetches Ruffle for the slideshow check. Machines with a Node.js of their
# own already have npm, and Debian's npm package conflicts with it.
if ! command -v npm >/dev/null; then
  $sudo apt-get install -y -q --no-install-recommends npm ||
    echo "npm could not be installed; the slideshow player check will be skipped" >&2
fi
