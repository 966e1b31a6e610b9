#!/usr/bin/env bash
# Sets up, builds and starts the program on the in-process simulated sensor.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
exec build/bin/qtor-kmb --demo "$@"
