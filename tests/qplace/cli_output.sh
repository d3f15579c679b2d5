#!/usr/bin/env bash
# qplace's output folder, run by run: usage: cli_output.sh QPLACE WORKDIR
#  1. a folder below a regular file: an error before any work
#  2. a run that succeeds: its files and nothing else
#  3. a run whose writes fail (a file size limit, which holds for root too):
#     exit 1, the reason, and the folder exactly as the earlier run left it
#  4. standard output closed early (| head -1): the run completes, exit 0
#  5. a picture that cannot be written (a file size limit that the other
#     files fit): a warning, and no earlier picture left to pass for this
#     run's
#  6. a run that fails before its files: nothing in the folder
#  7. standard output on a full device: a warning with the reason, the
#     files written, exit 0
set -u
Q=$1
W=$2
rm -rf "$W"
mkdir -p "$W"
cd "$W" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  for f in out err; do [ -f "$f" ] && { echo "--- $f:"; cat "$f"; }; done
  failures=$((failures + 1))
}
# Folder listing, hidden files included, with a checksum per file.
state() { (cd "$1" && find . -type f | sort | xargs -r md5sum); }

# 1.
echo x > file
"$Q" --generate 500 --out file/sub >out 2>err
rc=$?
[ $rc -eq 1 ] || fail "1: exit status $rc, expected 1"
[ -s out ] && fail "1: work started before the folder was refused"
grep -q "^qplace: error: file/sub: cannot create the folder file: Not a directory$" err ||
  fail "1: no error naming the folder and the reason"

# 2.
"$Q" --generate 500 --out d -q >out 2>err
rc=$?
[ $rc -eq 0 ] || fail "2: exit status $rc"
expected="./bbox.txt ./placement.lct ./placement.png ./placement.svg"
got=$(cd d && find . -type f | sort | tr '\n' ' ')
[ "$got" = "$expected " ] || fail "2: files '$got', expected '$expected '"
before=$(state d)

# 3. The limit is in blocks of 512 or 1024 bytes: a few kB, less than any
# of the files. The signal it raises is ignored, so writes fail with EFBIG.
( trap '' XFSZ; ulimit -f 4; exec "$Q" --generate 500 --seed 2 --out d -q ) >out 2>err
rc=$?
[ $rc -eq 1 ] || fail "3: exit status $rc, expected 1"
grep -q "^qplace: error: d/placement.lct: cannot write: File too large; no file of this run was kept$" err ||
  fail "3: no error naming the file and the reason"
[ "$(state d)" = "$before" ] || fail "3: the folder changed: $(state d)"

# 4.
{ "$Q" --generate 500 --seed 3 --out e 2>err; echo $? >status; } | head -1 >first
[ "$(cat status)" = 0 ] || fail "4: exit status $(cat status) with standard output closed"
[ "$(wc -l <first)" -eq 1 ] || fail "4: head saw no line"
[ -s e/placement.lct ] && [ -s e/bbox.txt ] && [ -s e/placement.svg ] || fail "4: files missing: $(ls -a e)"
[ -s err ] && fail "4: messages on standard error"

# 5. The limit between the other files' sizes and the picture's, measured
# on the same run first.
"$Q" --generate 500 --seed 4 --out m -q >out 2>err
others=$(stat -c %s m/placement.lct m/bbox.txt m/placement.svg | sort -n | tail -n 1)
blocks=$((others / 1024 + 1))
if [ $((blocks * 1024)) -lt "$(stat -c %s m/placement.png)" ]; then
  ( trap '' XFSZ; ulimit -f $blocks; exec "$Q" --generate 500 --seed 4 --out d -q ) >out 2>err
  rc=$?
  [ $rc -eq 0 ] || fail "5: exit status $rc"
  grep -q "^qplace: warning: no PNG: cannot draw or write the PNG: error while writing to output stream (the earlier d/placement.png removed)$" err ||
    fail "5: no warning saying why, and what was removed"
  [ -e d/placement.png ] && fail "5: the earlier picture is still there"
  [ "$(state d | grep -c placement.lct)" = 1 ] && [ "$(state d)" != "$before" ] || fail "5: the files were not replaced"
else
  fail "5: the picture is no larger than the other files: the case needs a larger one"
fi

# 6.
"$Q" --rows 4 --cols 4 --out f >out 2>err
rc=$?
[ $rc -eq 1 ] || fail "6: exit status $rc, expected 1"
grep -q "^qplace: error: the device is too small" err || fail "6: no error on standard error"
[ -z "$(ls -A f)" ] || fail "6: files left: $(ls -A f)"

# 7.
if [ -w /dev/full ]; then
  "$Q" --generate 500 --out g >/dev/full 2>err
  rc=$?
  [ $rc -eq 0 ] || fail "7: exit status $rc"
  grep -q "^qplace: warning: standard output: No space left on device; the log there is incomplete$" err ||
    fail "7: no warning with the reason"
  [ -s g/placement.lct ] && [ -s g/bbox.txt ] || fail "7: files missing: $(ls -a g)"
fi

[ $failures -eq 0 ] || exit 1
echo "all output cases pass"
