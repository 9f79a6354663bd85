#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent and quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev gcovr
  zlib1g-dev libspeex-dev libsdl2-dev libpng-dev libjpeg62-turbo-dev libgif-dev
  libbenchmark-dev libcurl4-openssl-dev libsoundtouch-dev libisal-dev php-cli espeak-ng xvfb xauth
  qt6-base-dev
  # Export to ordinary video (H.264, VP9, AAC, Opus, FLAC, GIF) through the FFmpeg libraries.
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  clang-14 libclang-rt-14-dev
  # The reference decoders of bench/compare-decoders.sh, and its measure of the player.
  ffmpeg time
  # The static web server the range-streaming tests start on a loopback port of their own.
  nginx-light
  # The Debian package: its icons drawn from the SVG, and the checks of its files.
  librsvg2-bin lintian desktop-file-utils appstream bash-completion
  # Text recognition for searching inside recordings, with the English data.
  libtesseract-dev tesseract-ocr-eng
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
# The package starts a system-wide web server; the tests run their own, so the one the
# installation started is stopped again and left disabled.
if [[ " ${missing[*]} " == *" nginx-light "* ]] && command -v systemctl > /dev/null &&
   systemctl is-active --quiet nginx 2>/dev/null; then
  $sudo systemctl disable --now nginx > /dev/null 2>&1 || true
fi
