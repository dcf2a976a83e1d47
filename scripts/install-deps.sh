#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running talvox
# need. Skips apt entirely when everything is already there.
set -eu
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libasound2-dev alsa-utils zlib1g-dev libpng-dev libfftw3-dev
  clang libclang-rt-14-dev python3 python3-numpy python3-scipy python3-pytest
  librsvg2-bin sox time libcpp-httplib-dev nlohmann-json3-dev libcairo2-dev chromium)
# The editor page's browser test runs on Node.js; a Node.js from elsewhere
# (with its own npm) is used as it is.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
