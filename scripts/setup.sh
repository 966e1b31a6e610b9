#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks and builds the project into build/.
# Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
# With QTOR_CHECKS=1 (scripts/test.sh) it also installs the style checkers and the validators.
set -euo pipefail
cd "$(dirname "$0")/.."

# dpkg-dev and file: cpack -G DEB takes the package's dependencies from dpkg-shlibdeps;
# poppler-utils: the report's tests read its PDF back (pdftotext, pdfinfo, pdffonts);
# mosquitto, openssl and python3-jsonschema: the plant link's tests run a real broker with a
# certificate authority of their own and check each payload against the documented schema.
packages=(g++ cmake make libgtest-dev libgmock-dev qt6-base-dev qt6-serialport-dev qt6-tools-dev
          libqt6opengl6-dev libqcustomplot-dev fonts-dejavu-core poppler-utils libsodium-dev
          pkg-config dpkg-dev file libmosquitto-dev mosquitto openssl python3-jsonschema)
if [ "${QTOR_CHECKS:-0}" = 1 ]; then
  packages+=(clang-format-14 clang-tidy-14 desktop-file-utils appstream man-db librsvg2-bin python3
             git)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

build=${1:-build}
shift || true
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" -j "$(nproc)"
