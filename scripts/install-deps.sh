#!/usr/bin/env bash
# Installs the Debian packages talvox needs, by group:
#   bash scripts/install-deps.sh            the tool: build it and run it
#   bash scripts/install-deps.sh tests      also the tests, benchmarks, fuzzing
#   bash scripts/install-deps.sh package    also what making the .deb needs
#   bash scripts/install-deps.sh all        everything
# Skips apt entirely when everything is already there; otherwise shows apt's
# own progress.
set -eu

# Compiling the library, the talvox command and pap.exe.
build=(cmake ninja-build g++ pkg-config
  libasound2-dev zlib1g-dev libfftw3-dev libsndfile1-dev libsoxr-dev nlohmann-json3-dev
  libcpp-httplib-dev libcairo2-dev)
# Running them: the Python binding and the sound card tools.
runtime=(python3 python3-numpy alsa-utils)
# The tests, benchmarks and fuzz targets, and the tools they check against.
tests=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  python3-scipy python3-pytest librsvg2-bin sox time chromium)
# The editor page's browser test runs on Node.js; a Node.js from elsewhere
# (with its own npm) is used as it is.
command -v node >/dev/null 2>&1 || tests+=(nodejs)
command -v npm >/dev/null 2>&1 || tests+=(npm)
# Making the Debian package (scripts/package.sh).
package=(dpkg-dev fakeroot file)

wanted=("${build[@]}" "${runtime[@]}")
for group in "$@"; do
  case $group in
    tool) ;;
    tests) wanted+=("${tests[@]}") ;;
    package) wanted+=("${package[@]}") ;;
    all) wanted+=("${tests[@]}" "${package[@]}") ;;
    *) echo "install-deps.sh: unknown group '$group' (tool, tests, package, all)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
