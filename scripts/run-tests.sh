#!/usr/bin/env bash
# Builds the dev preset (debug, with tests) and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --test-dir "build/$preset" --output-on-failure -j2 --timeout 300
