#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need (only the missing
# ones). Needs root, or sudo, when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libqt6test6 qt6-qpa-plugins
  libmpg123-dev libmp3lame-dev libid3-3.8.3-dev libvorbis-dev libogg-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libtag1-dev libcdio-dev zlib1g-dev
  libasound2-dev fonts-arphic-uming fonts-liberation
  ffmpeg sox lame mpg123 vorbis-tools libcdio-utils flac
  libcddb2-dev
  pulseaudio pulseaudio-utils libasound2-plugins alsa-utils
  xvfb xauth imagemagick
  xdotool
  openbox x11-utils
  qt6-translations-l10n desktop-file-utils librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
    echo "These Debian packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=
fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
