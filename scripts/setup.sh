#!/usr/bin/env bash
# Installs every Debian package the build and the test run need. Idempotent:
# when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
  cmake ninja-build make
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev mingw-w64-tools
  wine wine64 libwine-dev
  xvfb xauth
  googletest
  clang-14 libclang-rt-14-dev
  python3 python3-pil
  ffmpeg
  wixl msitools
  chromium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages and not root; run as root or install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
