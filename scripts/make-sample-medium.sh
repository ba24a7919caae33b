#!/bin/bash
# Builds the bundled sample medium for the demo and the tests: the vendor's
# one command (scripts/make-medium.sh) on the sample's WiX source in English,
# German and French, then, for the runs under Wine, the SETUP.EXE of the
# architecture Wine runs here and test stand-ins: a prerequisite program in
# Bootstrap\ and an engine update in Bootstrap\Msi\WinNT\ that a machine with
# a current installer never runs. A vendor's medium holds no stand-in: see
# scripts/make-medium.sh.
#
# Usage: scripts/make-sample-medium.sh OUTDIR [win32|win64]
# Needs the product and the build of that architecture (scripts/build.sh
# win32 ARCH) and the native tools (scripts/build.sh native).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-common.sh"

out=${1:?usage: make-sample-medium.sh OUTDIR [win32|win64]}
[[ -n ${2:-} ]] && SETUP_ARCH=$2
wine_select
build=${SETUP_BUILD_DIR:-$root/build}/$SETUP_ARCH
for f in SETUP.EXE tests/tools/bootprog.exe; do
  [[ -f $build/$f ]] || { echo "make-sample-medium: $build/$f missing; run scripts/build.sh $SETUP_ARCH" >&2; exit 1; }
done

bash "$root/scripts/make-medium.sh" --out "$out" --uitext "$root/sample/UIText.idt" \
  "$root/sample/Product.wxs" en-US de-DE fr-FR
out=$(cd "$out" && pwd)
cp "$build/SETUP.EXE" "$out/SETUP.EXE"
mkdir -p "$out/Bootstrap/Msi/WinNT" "$out/Bootstrap/Msi/Win9X"
cp "$build/tests/tools/bootprog.exe" "$out/Bootstrap/prereq.exe"
cp "$build/tests/tools/bootprog.exe" "$out/Bootstrap/Msi/WinNT/engine_update.exe"
cp "$build/tests/tools/bootprog.exe" "$out/Bootstrap/Msi/Win9X/engine_update.exe"
echo "sample medium in $out ($SETUP_ARCH, with test stand-ins in Bootstrap\\)"
