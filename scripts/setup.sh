#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine and prepares
# the tests' Wine prefix inside the build tree. Safe to run again: when
# everything is in place it only checks and returns.
#   usage: scripts/setup.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export MARROWFIN_BUILD=${1:-${MARROWFIN_BUILD:-$here/build}}

packages=(wine wine64 libwine-dev g++-mingw-w64-x86-64 g++-mingw-w64-i686
          mingw-w64-tools xvfb xauth x11-utils fp-utils xdotool imagemagick cmake
          nsis python3 openssl nlohmann-json3-dev ccache
          # tools of the tests and benchmarks only; the program never calls them
          ffmpeg aria2 nginx clang-format clang-tidy)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
      "${missing[@]}" >/dev/null
  # The tests start their own nginx; the package's service would hold port 80,
  # which the tests' own server needs.
  if [[ " ${missing[*]} " == *" nginx "* ]]; then
    $sudo service nginx stop >/dev/null 2>&1 || true
  fi
fi

source "$here/scripts/env.sh"
mkdir -p "$build"
prepare_prefix "$test_prefix" virtual-desktop
