#!/usr/bin/env bash
# Builds the debug configuration (AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# every test. Installs what it needs first. Extra arguments go to ctest (e.g. -L unit).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build test bench desktop
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug "$@"
