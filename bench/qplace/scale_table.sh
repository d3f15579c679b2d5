#!/usr/bin/env bash
# The scale table: qplace's whole run on netlists and on generated designs,
# one case a process (for its peak memory), one markdown row each: units,
# the processor seconds of each phase as qplace's `time:` line gives them
# (both threads counted; generation from its own line), the elapsed time
# with the process's user and system seconds, the peak resident memory, the
# final wirelength against a random legal placement and against global
# placement, and the critical path.
#
#   bench/qplace/scale_table.sh QPLACE CASE... [-- qplace options...]
#   e.g. bench/qplace/scale_table.sh build/apps/qplace/qplace data/picorv32/picorv32.json.gz 10000 100000 1000000
#
# A CASE is a netlist file or a number of components to generate. Each run
# writes its files into a temporary folder, removed afterwards. Times vary
# with the machine's load: say it with the figures.
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 QPLACE CASE... [-- qplace options...]" >&2
  exit 2
fi
q=$1; shift
cases=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do cases+=("$1"); shift; done
[ $# -gt 0 ] && shift
command -v /usr/bin/time >/dev/null || { echo "$0: /usr/bin/time is needed (Debian package time)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "| case | units | generate | pack | global | legalize | detail | timing | check | report | elapsed (user + system) | peak MiB | final | final/random | final/global | critical path |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for c in "${cases[@]}"; do
  if [ -f "$c" ]; then args=("$c"); else args=(--generate "$c"); fi
  rm -rf "$work/out"
  if ! /usr/bin/time -v -o "$work/time" "$q" "${args[@]}" --out "$work/out" "$@" > "$work/log" 2> "$work/err"; then
    echo "$0: $c: qplace failed:" >&2
    cat "$work/err" >&2
    exit 1
  fi
  python3 - "$c" "$work/log" "$work/time" <<'PY'
import re, sys
case, log, tim = sys.argv[1:]
L = open(log).read()
T = open(tim).read()
def one(pattern, text, default='-'):
    m = re.search(pattern, text, re.M)
    return m.group(1) if m else default
name = re.sub(r'\.json(\.gz)?$', '', case.rsplit('/', 1)[-1])
name = f'{int(name):,} generated' if name.isdigit() else name
phases = dict(re.findall(r'(\w+)=([\d.]+)', one(r'^time:(.*)$', L, '')))
elapsed = one(r'Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): ([\d:.]+)', T, '0').split(':')
wall = sum(float(x) * 60 ** i for i, x in enumerate(reversed(elapsed)))
user = float(one(r'User time \(seconds\): ([\d.]+)', T, '0'))
system = float(one(r'System time \(seconds\): ([\d.]+)', T, '0'))
peak = int(one(r'Maximum resident set size \(kbytes\): (\d+)', T, '0')) // 1024
final = one(r'final (\d+) \(final/global', L)
units = int(one(r'^pack\s+[\d.]+ s\s+(\d+) units', L, '0'))
cells = [name, f'{units:,}',
         one(r'generated \d+ components in ([\d.]+) s', L)]
cells += [phases.get(k, '-') for k in ('pack', 'global', 'legalize', 'detail', 'timing', 'check', 'report')]
cells += [f'{wall:.1f} s ({user:.1f} + {system:.1f})', f'{peak:,}',
          f'{int(final):,}' if final != '-' else '-',
          one(r'final/random ([\d.]+)', L), one(r'final/global ([\d.]+)', L),
          one(r'^critical path: ([\d.]+ ns)', L)]
print('| ' + ' | '.join(cells) + ' |')
PY
done
