#!/usr/bin/env bash
# Regenerates data/picorv32/picorv32.json.gz, the LUT-4 netlist of the picorv32
# core that the main command places, from data/picorv32/picorv32.v with yosys
# (Debian package `yosys`, installed here when missing). The main command
# itself reads the shipped netlist and needs no yosys.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v yosys >/dev/null; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq yosys
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
yosys -q -p "read_verilog data/picorv32/picorv32.v; synth -top picorv32 -flatten; abc -lut 4; opt_clean; write_json $out/picorv32.json"
gzip -9 -n -c "$out/picorv32.json" > data/picorv32/picorv32.json.gz
echo "wrote data/picorv32/picorv32.json.gz ($(stat -c %s data/picorv32/picorv32.json.gz) bytes)"
