#!/bin/bash
# Builds the bundled sample medium: SETUP.EXE beside the English package with
# German, English and French language rows, one transform per language, a
# prerequisite program in Bootstrap\, and an engine update in
# Bootstrap\Msi\WinNT\ that a machine with a current installer never runs.
# The package and its German and French builds come from the one WiX source
# (sample/Product.wxs); each transform is made by the native mkmst from the
# English build and the build of its language (English to itself for 0009).
#
# Usage: scripts/make-sample-medium.sh OUTDIR [win32|win64]
# Needs the build of that architecture (scripts/build.sh ARCH) and the native
# mkmst (scripts/build.sh native).
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
mkmst=${SETUP_BUILD_DIR:-$root/build}/native/tools/mkmst/mkmst
[[ -x $mkmst ]] || { echo "make-sample-medium: $mkmst missing; run scripts/build.sh native" >&2; exit 1; }

mkdir -p "$out"
out=$(cd "$out" && pwd)
cp "$build/SETUP.EXE" "$out/SETUP.EXE"

builds=$(mktemp -d /tmp/sample-builds.XXXXXX)
trap 'rm -rf "$builds"' EXIT
for culture in en-US de-DE fr-FR; do
  bash "$root/scripts/sample-package.sh" "$culture" "$builds/$culture.msi"
done
cp "$builds/en-US.msi" "$out/Product.msi"
"$mkmst" "$out/Product.msi" "$builds/de-DE.msi" "$out/0007_l.mst"
"$mkmst" "$out/Product.msi" "$builds/en-US.msi" "$out/0009_l.mst"
"$mkmst" "$out/Product.msi" "$builds/fr-FR.msi" "$out/0012_l.mst"

mkdir -p "$out/Bootstrap/Msi/WinNT" "$out/Bootstrap/Msi/Win9X"
cp "$build/tests/tools/bootprog.exe" "$out/Bootstrap/prereq.exe"
cp "$build/tests/tools/bootprog.exe" "$out/Bootstrap/Msi/WinNT/engine_update.exe"
cp "$build/tests/tools/bootprog.exe" "$out/Bootstrap/Msi/Win9X/engine_update.exe"
echo "sample medium in $out ($SETUP_ARCH)"
