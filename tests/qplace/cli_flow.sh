#!/usr/bin/env bash
# qplace's flow files, run by run: usage: cli_flow.sh QPLACE WORKDIR NETLIST VERSION
#  1. a run writing the placed netlist and the report outside its folder
#  2. that netlist read back with --keep-placement: the same placement file,
#     from a file and from standard input
#  3. a failing run: neither JSON file written, an earlier one left alone
set -u
Q=$1
W=$2
NETLIST=$3
VERSION=$4
rm -rf "$W"
mkdir -p "$W"
cd "$W" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  for f in out err; do [ -f "$f" ] && { echo "--- $f:"; cat "$f"; }; done
  failures=$((failures + 1))
}

# 1. The report goes to a folder made for it.
"$Q" "$NETLIST" --out a --write-json a/placed.json --report-json r/run.json >out 2>err
rc=$?
[ $rc -eq 0 ] || fail "1: exit status $rc"
[ -s a/placed.json ] || fail "1: no placed netlist"
grep -q '"qplace_site": "R' a/placed.json || fail "1: no site in the placed netlist"
grep -q "^  \"version\": \"$VERSION\",$" r/run.json || fail "1: the report does not state version $VERSION"
grep -q '"passed": true' r/run.json || fail "1: the report has no passed check"
grep -q "^files .*a/placed.json, r/run.json$" out || fail "1: the files line does not list the flow's files"
[ -z "$(ls -A a | grep '\.tmp$')" ] || fail "1: temporaries left"

# 2.
"$Q" a/placed.json --keep-placement --out b >out 2>err
rc=$?
[ $rc -eq 0 ] || fail "2: exit status $rc"
grep -q "^rules .* kept where the netlist places them$" out || fail "2: no rules line"
cmp -s a/placement.lct b/placement.lct || fail "2: the placement file differs"
# ... and again from standard input, compressed.
gzip -c a/placed.json | "$Q" - --keep-placement --out s >out 2>err
rc=$?
[ $rc -eq 0 ] || fail "2: from standard input: exit status $rc"
cmp -s a/placement.lct s/placement.lct || fail "2: from standard input: the placement file differs"

# 3.
cp r/run.json before.json
echo "set_io nosuch R0C1A" >bad.pcf
"$Q" "$NETLIST" --out c --constraints bad.pcf --write-json c/placed.json --report-json r/run.json >out 2>err
rc=$?
[ $rc -eq 1 ] || fail "3: exit status $rc, expected 1"
[ -e c/placed.json ] && fail "3: a failed run wrote its placed netlist"
cmp -s before.json r/run.json || fail "3: a failed run replaced the earlier report"
[ -z "$(ls -A c r | grep '\.tmp$')" ] || fail "3: temporaries left"

[ $failures -eq 0 ] && echo "all flow file checks passed"
exit $failures
