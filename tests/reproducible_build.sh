#!/bin/bash
# Builds SETUP.EXE (32-bit, the product) twice, in two build folders of
# different names and depths, and compares the two files byte for byte: the
# same sources must give the same program, whatever folder it is built in.
# Usage: tests/reproducible_build.sh   (prints the time it took)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/setup-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT
start=$(date +%s)
status=0
for dir in "$work/a" "$work/second/build-b"; do
  if ! SETUP_BUILD_DIR=$dir bash "$root/scripts/build.sh" win32:setup >"$work/log" 2>&1; then
    cat "$work/log"
    echo "reproducible_build: the build in $dir failed"
    exit 1
  fi
done
first=$work/a/win32/SETUP.EXE second=$work/second/build-b/win32/SETUP.EXE
if cmp -s "$first" "$second"; then
  echo "reproducible_build: identical ($(stat -c %s "$first") bytes)"
else
  echo "reproducible_build: the two builds differ:"
  cmp -l "$first" "$second" | head -n 10
  status=1
fi
echo "reproducible_build: took $(($(date +%s) - start)) s"
exit $status
