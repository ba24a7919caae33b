#!/bin/bash
# Builds the bundled sample medium: SETUP.EXE beside a real package with
# German, English and French language rows, one transform per language, a
# prerequisite program in Bootstrap\, and an engine update in
# Bootstrap\Msi\WinNT\ that a machine with a current installer never runs.
#
# Usage: scripts/make-sample-medium.sh OUTDIR [win32|win64]
# Needs the build of that architecture (scripts/build.sh ARCH). The transforms
# are written by a Win32 tool, so Wine runs once: in $WINEPREFIX when set,
# else in a throwaway prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-common.sh"

out=${1:?usage: make-sample-medium.sh OUTDIR [win32|win64]}
[[ -n ${2:-} ]] && SETUP_ARCH=$2
wine_select
build=${SETUP_BUILD_DIR:-$root/build}/$SETUP_ARCH
for f in SETUP.EXE tools/win32/bootprog.exe tools/win32/mkmst.exe; do
  [[ -f $build/$f ]] || { echo "make-sample-medium: $build/$f missing; run scripts/build.sh $SETUP_ARCH" >&2; exit 1; }
done

mkdir -p "$out"
out=$(cd "$out" && pwd)
cp "$build/SETUP.EXE" "$out/SETUP.EXE"

# wixl finds the product's file relative to its working folder.
(cd "$root/sample" && wixl -o "$out/Product.msi" Product.wxs)
msibuild "$out/Product.msi" -i "$root/sample/UIText.idt"

scratch=
if [[ -z ${WINEPREFIX:-} || ! -d ${WINEPREFIX:-/nonexistent}/drive_c ]]; then
  scratch=$(mktemp -d /tmp/sample-medium.XXXXXX)
  export WINEPREFIX=$scratch/prefix
  trap 'wine_stop_prefix "$WINEPREFIX"; rm -rf "$scratch"' EXIT
  wine_make_prefix "$WINEPREFIX"
fi
# The transforms carry no changes (see tools/win32/mkmst.cpp), so one file
# serves every language.
# Wine's server outlives the tool; it must not hold the caller's output open.
mkmst_log=$(mktemp)
if ! timeout 60 "$WINE" "$build/tools/win32/mkmst.exe" "$(winpath "$out/0007_l.mst")" \
  </dev/null >"$mkmst_log" 2>&1; then
  cat "$mkmst_log" >&2
  rm -f "$mkmst_log"
  exit 1
fi
rm -f "$mkmst_log"
cp "$out/0007_l.mst" "$out/0009_l.mst"
cp "$out/0007_l.mst" "$out/0012_l.mst"

mkdir -p "$out/Bootstrap/Msi/WinNT" "$out/Bootstrap/Msi/Win9X"
cp "$build/tools/win32/bootprog.exe" "$out/Bootstrap/prereq.exe"
cp "$build/tools/win32/bootprog.exe" "$out/Bootstrap/Msi/WinNT/engine_update.exe"
cp "$build/tools/win32/bootprog.exe" "$out/Bootstrap/Msi/Win9X/engine_update.exe"
echo "sample medium in $out ($SETUP_ARCH)"
