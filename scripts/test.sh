#!/usr/bin/env bash
# Sets up, builds (warnings as errors) and runs every test; checks the style, builds the Debian
# package and checks it; then builds and tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
export QTOR_CHECKS=1
scripts/setup.sh build -DQTOR_WERROR=ON
(cd build && ctest --output-on-failure -j 2)
scripts/check-style.sh build
scripts/check-package.sh build
if [ "${QTOR_SKIP_SANITIZERS:-0}" != 1 ]; then
  scripts/setup.sh build-asan -DQTOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DQTOR_WERROR=ON
  # Qt's and the fonts' own allocations at exit are not ours to chase.
  export ASAN_OPTIONS=detect_leaks=0
  export UBSAN_OPTIONS=print_stacktrace=1
  (cd build-asan && ctest --output-on-failure -j 2)
fi
