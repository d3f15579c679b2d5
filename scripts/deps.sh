#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing. Safe to run again.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libboost-dev libgtest-dev libgmock-dev
          zlib1g-dev nlohmann-json3-dev libcairo2-dev
          libbenchmark-dev libeigen3-dev
          clang-14 libclang-rt-14-dev)  # the fuzz build: clang, and libFuzzer with clang's sanitizers
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
