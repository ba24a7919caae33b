#!/bin/bash
# Sets the code page of a language build: the code page Windows Installer
# reads the package's texts in. wixl writes every package in code page 0,
# which holds ASCII only, so a build with "für" or "Français" needs one.
#
# Usage: scripts/set-codepage.sh PACKAGE.msi [CODEPAGE]
#   CODEPAGE  defaults to the one that holds every text of the package, its
#             language's first (mkmst --codepage PACKAGE.msi); a package whose
#             texts are all ASCII is left as it is
# Needs the native mkmst (scripts/build.sh native) when CODEPAGE is not given.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

help() { awk '/^# Usage:/ {on = 1} on && !/^#/ {exit} on {sub(/^# ?/, ""); print}' "$0"; }
case ${1:-} in
  -h | --help) help; exit 0 ;;
  --version) echo "set-codepage.sh $(sed -n 's/^project(.* VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")"; exit 0 ;;
esac
(($# == 1 || $# == 2)) || { help >&2; exit 2; }
package=$1
[[ -f $package ]] || { echo "set-codepage: $package: no such file" >&2; exit 1; }
codepage=${2:-}
if [[ -z $codepage ]]; then
  mkmst=${SETUP_BUILD_DIR:-$root/build}/native/tools/mkmst/mkmst
  [[ -x $mkmst ]] || { echo "set-codepage: $mkmst missing; run scripts/build.sh native" >&2; exit 1; }
  codepage=$("$mkmst" --codepage "$package")
fi
[[ $codepage =~ ^[0-9]+$ ]] || { echo "set-codepage: $codepage is not a code page number" >&2; exit 2; }
if [[ $codepage == 0 ]]; then
  echo "set-codepage: $package: every text is ASCII, code page left as it is"
  exit 0
fi

idt=$(mktemp -d)
trap 'rm -rf "$idt"' EXIT
printf '\n\n%s\t_ForceCodepage\n' "$codepage" >"$idt/_ForceCodepage.idt"
msibuild "$package" -i "$idt/_ForceCodepage.idt"
now=$(msiinfo export "$package" _ForceCodepage | tr -d '\r' | awk -F'\t' '$2 == "_ForceCodepage" {print $1}')
[[ $now == "$codepage" ]] || { echo "set-codepage: $package still has code page ${now:-0}" >&2; exit 1; }
echo "set-codepage: $package: code page $codepage"
