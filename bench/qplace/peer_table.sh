#!/usr/bin/env bash
# peer_table.sh QPLACE PEER_DIR DIR:TOP... [-- qplace options...]
#
# The comparison with the open-source peer placer on every design given: one markdown table
# row each (see PEER_DIR/README.md for the columns), printed as it comes, then the geometric
# mean of the last column. PEER_DIR is the peer comparison folder (compare.sh and the peer's
# files; ../shared/peer from the project root). Each DIR holds a design's Verilog (.v, .sv,
# .vh); TOP is its top module. DIR:TOP:fast maps the design's logic with ABC's fast LUT mapping,
# for both placers alike: the default mapping's SAT sweeping runs for hours on the wide XOR
# trees of CRC logic (eth_mac_10g).
#
# The peer's files are used from a copy with the changes that real designs need: SystemVerilog
# sources are read too (read_verilog -sv), memory images (.hex) are copied, and asynchronous resets and sets are made
# synchronous (async2sync) before the plain flip-flop mapping, which cannot map them (aes,
# whose every register has one, stops there otherwise). Both placers still place the very same
# netlist.
#
# Needs the Debian packages yosys and nextpnr-generic (compare.sh installs them when missing);
# not part of the test command: a design takes minutes on the peer's side.
set -euo pipefail
[ $# -ge 3 ] || { sed -n 2,19p "$0" | sed 's/^# \{0,1\}//'; exit 2; }
qplace=$(readlink -f "$1"); peer=$(readlink -f "$2"); shift 2
designs=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do designs+=("$1"); shift; done
[ $# -gt 0 ] && shift
w=$(mktemp -d /tmp/peer-table.XXXXXX)
trap 'rm -rf "$w"' EXIT
cp "$peer"/* "$w"/
sed -i 's/^yosys dfflegalize/yosys async2sync\nyosys dfflegalize/' "$w/synth_plain.tcl"
sed -i 's/^yosys dfflegalize/yosys async2sync\nyosys dfflegalize/; s/^dfflegalize/async2sync\ndfflegalize/' "$w/synth_generic.tcl"
sed -i 's|cp "\$src"/\*.v "\$w/src"/;|cp "$src"/*.v "$w/src"/ 2>/dev/null \|\| true; cp "$src"/*.sv "$w/src"/ 2>/dev/null \|\| true;|' "$w/compare.sh"
sed -i "s|files=\$(ls src/\*.v \| tr '\\\\n' ' ')|files=\$(ls src/*.v src/*.sv 2>/dev/null \| tr '\\\\n' ' ' \|\| true)|" "$w/compare.sh"
sed -i 's/read_verilog -Isrc/read_verilog -sv -Isrc/g' "$w/compare.sh"
# A synthesis that fails says why (the comparison stops there without a word otherwise).
for log in syn_plain syn_peer; do
  sed -i "s|>$log.log 2>&1\$|>$log.log 2>\\&1 \|\| { echo \"synthesis failed (see \$w/$log.log):\"; tail -n 3 $log.log; exit 1; }|" "$w/compare.sh"
done
# Memory images ($readmemh files) beside the sources, where yosys looks for them.
sed -i 's|^cd "\$w"$|cp "$src"/*.hex "$w"/ 2>/dev/null \|\| true\ncd "$w"|' "$w/compare.sh"
mkdir "$w/fast"
cp "$w"/* "$w/fast"/ 2>/dev/null || true
sed -i 's/abc -lut/abc -fast -lut/' "$w/fast/synth_plain.tcl" "$w/fast/synth_generic.tcl"
echo "| design | LUTs | FFs | qplace final (/random) | qplace s | peer HeAP (/random) | s | peer +SA (/random) | s | qplace/peer+SA |"
echo "|---|---|---|---|---|---|---|---|---|---|"
ratios=()
for d in "${designs[@]}"; do
  IFS=: read -r dir top mapping <<<"$d"
  from=$w
  [ "${mapping:-}" = fast ] && from=$w/fast
  out=$(bash "$from/compare.sh" "$qplace" "$dir" "$top" "$@" 2>&1 || true)
  row=$(grep '^|' <<<"$out" || true)
  if [ -z "$row" ]; then
    echo "| $top | failed |"
    # Why, on standard error: the comparison's last words.
    { echo "peer_table.sh: $dir ($top): the comparison printed no row; its last lines:"; tail -n 5 <<<"$out"; } >&2
    continue
  fi
  echo "$row"
  ratios+=("$(echo "$row" | awk -F'|' '{gsub(/ /, "", $11); print $11}')")
done
[ ${#ratios[@]} -gt 0 ] && python3 -c "
import math, sys
r = [float(x) for x in sys.argv[1:]]
print('geometric mean of qplace/peer+SA over %d designs: %.3f' % (len(r), math.exp(sum(map(math.log, r)) / len(r))))" "${ratios[@]}"
