#!/usr/bin/env bash
# Builds the library, installs it into build/prefix, builds the placer qplace
# against that installed copy (as a placement tool outside this tree would)
# and runs it: on picorv32 by default, or on what the arguments say (see
# build-qplace/qplace --help). The picture and the reports go to qplace-out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
cmake --install build --prefix build/prefix > /dev/null
cmake -S apps/qplace -B build-qplace -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_PREFIX_PATH="$PWD/build/prefix" > /dev/null
cmake --build build-qplace > /dev/null
build-qplace/qplace "$@"
