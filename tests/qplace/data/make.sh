#!/usr/bin/env bash
# Regenerates the yosys netlists of this folder from their Verilog (yosys is
# needed only here; the tests read the JSON). Run from anywhere:
#   bash tests/qplace/data/make.sh
set -euo pipefail
cd "$(dirname "$0")"
lut="abc -lut 4; opt_clean"
y() { yosys -q -p "$1" 2>&1 | grep -v '^Warning\|^    ' || true; }
# Storage cells of every family, mapped as the placer's users map.
y "read_verilog regs.v; synth -flatten -top regs; $lut; write_json regs.json"
y "read_verilog -icells latches.v; synth -flatten -top latches; $lut; write_json latches.json"
# Gate cells: every gate instantiated, kept as it stands; the same logic
# mapped to LUTs (the wide multiplexers first turned into plain logic) to
# check the gates against; an RTL design mapped to gates and to LUTs.
y "read_verilog -icells gates.v; hierarchy -top gates; proc; write_json gates.json"
y "read_verilog -icells gates.v; hierarchy -top gates; techmap -map +/simcells.v t:\$_MUX4_ t:\$_MUX8_ t:\$_MUX16_; synth -flatten -top gates; $lut; write_json gates_lut.json"
y "read_verilog alu.v; synth -flatten -top alu -noabc; abc -g AND,NAND,OR,NOR,XOR,XNOR,ANDNOT,ORNOT,MUX,NMUX,AOI3,OAI3,AOI4,OAI4; opt_clean; write_json alu_gates.json"
y "read_verilog alu.v; synth -flatten -top alu; $lut; write_json alu_lut.json"
# What cannot be placed: memories and word-level cells, a tristate buffer,
# a hierarchy left unflattened.
y "read_verilog memory.v; synth -flatten -top memory -run begin:fine; write_json memory.json"
y "read_verilog tribuf.v; proc; tribuf; synth -flatten -top tribuf; $lut; write_json tribuf.json"
y "read_verilog hier.v; synth -top hier; $lut; write_json hier.json"
# Ports without an I/O site, and nets with two drivers.
y "read_verilog ports.v; synth -flatten -top ports; $lut; write_json ports.json"
y "read_verilog drivers.v; synth -flatten -top drivers; $lut; write_json drivers.json"
