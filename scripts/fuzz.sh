#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ (clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-fuzz/), replays every seed corpus, then
# fuzzes each target in turn for the given number of seconds (default 60), one
# process at a time. New inputs go to build-fuzz/found/<target>/ (with the
# run's log beside them), failing inputs to build-fuzz/crashes/. Exits
# non-zero when a seed fails or a target finds anything.
# Usage: scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
seconds=${1:-60}
shift || true
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
      -DBASAPLACE_FUZZ=ON -DBASAPLACE_BUILD_TESTS=OFF -DBASAPLACE_BUILD_BENCH=OFF \
      -DBASAPLACE_BUILD_EXAMPLES=OFF -DBASAPLACE_BUILD_APPS=OFF >/dev/null
cmake --build build-fuzz
ctest --test-dir build-fuzz --output-on-failure

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
failed=()
mkdir -p build-fuzz/crashes
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/found/$t"
  log="build-fuzz/found/$t.log"
  echo "== $t: ${seconds} s"
  # A target may have a dictionary of the tokens of its input format.
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  # The first folder receives what the run finds; the seeds stay as they are.
  if ! "build-fuzz/fuzz/$t" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/crashes/$t-" "${dict[@]}" \
        "build-fuzz/found/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
    failed+=("$t")
    tail -n 40 "$log"
  fi
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^Done [0-9]+ runs|^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found failures in: ${failed[*]} (inputs in build-fuzz/crashes/)"
  exit 1
fi
