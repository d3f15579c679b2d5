#!/usr/bin/env bash
# Builds and runs every test: the suite under CTest, then the same suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer, then a short pass of every fuzz
# target (scripts/fuzz.sh). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"
cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBASAPLACE_SANITIZE=ON \
      -DBASAPLACE_BUILD_BENCH=OFF -DBASAPLACE_BUILD_EXAMPLES=OFF -DBASAPLACE_BUILD_APPS=OFF
cmake --build build-san
# fontconfig's configuration, loaded once for the picture's text and kept
# for the process's life, is not counted as a leak (tests/lsan.supp).
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  ctest --test-dir build-san --output-on-failure -j "$jobs"
# A short fuzzing pass (a few seconds a target): the fuzz targets keep
# building and every input kept in fuzz/corpus/ keeps passing.
scripts/fuzz.sh 3
