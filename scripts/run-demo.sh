#!/usr/bin/env bash
# Builds the release preset and runs the main job: the sample drawing built, one reference's grip
# dragged, the drawing written as DXF and SVG, then read back and listed.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release
build/release/bin/kxblock demo --out build/demo && build/release/bin/kxblock info build/demo/demo.dxf
