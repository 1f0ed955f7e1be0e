#!/usr/bin/env bash
# Installs every Debian package the build and the test run need. Idempotent:
# when everything is present it only asks dpkg and returns. Also the browser
# test's npm packages (tests/preview/package-lock.json).
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
  chromium fonts-dejavu-core
  nodejs
  glslang-dev glslang-tools spirv-tools libegl-dev libgles-dev libgl-dev libegl-mesa0 libgl1-mesa-dri
  libpng-dev
)
# The browser test drives Chromium through playwright-core from npm.
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -ne 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages and not root; run as root or install: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

preview_tests=$(cd "$(dirname "$0")/../tests/preview" && pwd)
if [ ! -f "$preview_tests/node_modules/playwright-core/package.json" ]; then
  echo "setup: installing playwright-core for the browser test" >&2
  npm ci --prefix "$preview_tests" --no-audit --no-fund --loglevel=error >/dev/null
fi
