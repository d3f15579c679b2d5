#!/usr/bin/env bash
# Timing-driven placement over many seeds, the figure the trade-off is set
# by: qplace at the defaults against `--timing-tradeoff 0` (the
# wirelength-only placement, its critical path still analysed), per seed
# and as means of the per-seed changes.
#
#   bench/qplace/timing_seeds.sh QPLACE DESIGN "SEEDS" [qplace options...]
#   e.g. bench/qplace/timing_seeds.sh build/apps/qplace/qplace C7552_lev2 "$(seq 1 12)"
#
# DESIGN is read from $QPLACE_NETS/DESIGN/DESIGN.json (QPLACE_NETS
# defaults to /work/nets), or is a path to a netlist. The options after
# the seeds go to the timing-driven runs only. Every figure is
# deterministic: runs may share a loaded machine.
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 QPLACE DESIGN \"SEEDS\" [qplace options...]" >&2
  exit 2
fi
q=$1; design=$2; seeds=$3; shift 3
net=$design
[ -f "$net" ] || net=${QPLACE_NETS:-/work/nets}/$design/$design.json
if [ ! -f "$net" ]; then
  echo "$0: $net: no such netlist" >&2
  exit 1
fi
name=$(basename "$net" .json)
# The critical path (ns) and the final wirelength of one run.
figures() {
  "$q" "$net" --out "" --no-baseline "$@" 2>&1 |
    awk '/^critical path:/ {cp = $3} /^wirelength:/ {for (i = 1; i <= NF; ++i) if ($i == "final") wl = $(i + 1)}
         END {if (cp == "" || wl == "") exit 1; print cp, wl}'
}
for s in $seeds; do
  echo "$s $(figures --seed "$s" --timing-tradeoff 0) $(figures --seed "$s" "$@")"
done | awk -v d="$name" '
  {cp += $4 / $2; wl += $5 / $3; n++
   printf "%s seed %d: critical path %.2f -> %.2f ns (%+.1f%%), wirelength %d -> %d (%+.1f%%)\n", d, $1, $2, $4, 100 * ($4 / $2 - 1), $3, $5, 100 * ($5 / $3 - 1)}
  END {if (n) printf "%s mean over %d seeds: critical path %+.1f%%, wirelength %+.1f%%\n", d, n, 100 * (cp / n - 1), 100 * (wl / n - 1)}'
