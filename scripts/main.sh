#!/usr/bin/env bash
# Builds the library and runs the main job: the quadratic placer on picorv32
# (or on what the arguments say: see build/examples/qplace/qplace --help).
# The picture goes to qplace-out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
build/examples/qplace/qplace "$@"
