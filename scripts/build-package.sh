#!/bin/bash
# Builds a product's package in one language from its WiX source, as the
# vendor's flow does for each culture: wixl with -D Culture=CULTURE (the
# source includes the culture's strings, CULTURE.wxi beside it), the
# UIText rows that name the languages (the same in every build, so that a
# transform between two builds changes only what the language changes), and
# the language in the summary's template. The code page is set apart
# (scripts/set-codepage.sh).
#
# Usage: scripts/build-package.sh SOURCE.wxs CULTURE OUT.msi [UITEXT.idt]
set -euo pipefail
help() { awk '/^# Usage:/ {on = 1} on && !/^#/ {exit} on {sub(/^# ?/, ""); print}' "$0"; }
case ${1:-} in -h | --help) help; exit 0 ;; esac
(($# == 3 || $# == 4)) || { help >&2; exit 2; }
source_file=$1 culture=$2 out=$3 uitext=${4:-}
[[ -f $source_file ]] || { echo "build-package: $source_file: no such file" >&2; exit 1; }
[[ -z $uitext || -f $uitext ]] || { echo "build-package: $uitext: no such file" >&2; exit 1; }
[[ $out == /* ]] || out=$PWD/$out
[[ -z $uitext || $uitext == /* ]] || uitext=$PWD/$uitext

# wixl finds the product's files and the .wxi relative to the source.
(cd "$(dirname "$source_file")" && wixl -D "Culture=$culture" -o "$out" "$(basename "$source_file")")
[[ -z $uitext ]] || msibuild "$out" -i "$uitext"
language=$(msiinfo export "$out" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductLanguage" {print $2}')
info=$(msiinfo suminfo "$out")
msibuild "$out" -s "$(sed -n 's/^Subject: //p' <<<"$info")" "$(sed -n 's/^Author: //p' <<<"$info")" \
  "Intel;$language"
