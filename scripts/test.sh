#!/usr/bin/env bash
# Sets up, builds and runs every test; then again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
scripts/setup.sh build
(cd build && ctest --output-on-failure -j 2)
if [ "${QTOR_SKIP_SANITIZERS:-0}" != 1 ]; then
  scripts/setup.sh build-asan -DQTOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
  # Qt's and the fonts' own allocations at exit are not ours to chase.
  export ASAN_OPTIONS=detect_leaks=0
  export UBSAN_OPTIONS=print_stacktrace=1
  (cd build-asan && ctest --output-on-failure -j 2)
fi
