#!/usr/bin/env bash
# Builds the library and runs the main job: a placement-sized linear system solved for x and y.
# Arguments are passed to the program (the first one is the number of cells).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
build/examples/qpsolve "$@"
