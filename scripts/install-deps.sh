#!/usr/bin/env bash
# Installs, with apt-get, whatever of the build and test tools is missing, then builds the audio
# libraries the Windows program links (scripts/build-codecs.sh: once, then kept in the user's cache).
# Safe to run again.
#   scripts/install-deps.sh                   the tools and the libraries
#   scripts/install-deps.sh --packages-only   the tools alone (what build-codecs.sh itself needs)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth x11-utils imagemagick fonts-ipafont-gothic fonts-wine locales fp-utils
  # scripts/build-codecs.sh: apt-get source, and the libraries' configure scripts
  dpkg-dev pkg-config
  # The conversion tests: their media, made at test time, and the decoder that reads the MP3s back
  sox flac ffmpeg vorbis-tools opus-tools
  # The tags' tests read an MP3's ID3 tags back with a reader of their own
  python3-mutagen
  # Wine's Media Foundation decodes AAC, ALAC and WAV through GStreamer
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ "${1:-}" = "--packages-only" ] || "$root/scripts/build-codecs.sh"
