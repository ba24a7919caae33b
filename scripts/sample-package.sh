#!/bin/bash
# Builds the sample product's package in one language from the WiX source
# sample/Product.wxs (its strings in sample/CULTURE.wxi), with the language
# rows of sample/UIText.idt, as a vendor's build would: every language build
# holds the same UIText rows, so a transform between two of them changes only
# what the language changes. The summary's template names the language.
#
# Usage: scripts/sample-package.sh CULTURE OUT.msi   (en-US, de-DE, fr-FR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
culture=${1:?usage: sample-package.sh CULTURE OUT.msi}
out=${2:?usage: sample-package.sh CULTURE OUT.msi}
[[ $out == /* ]] || out=$PWD/$out

# wixl finds the product's file and the .wxi relative to the source.
(cd "$root/sample" && wixl -D "Culture=$culture" -o "$out" Product.wxs)
msibuild "$out" -i "$root/sample/UIText.idt"
language=$(msiinfo export "$out" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductLanguage" {print $2}')
info=$(msiinfo suminfo "$out")
msibuild "$out" -s "$(sed -n 's/^Subject: //p' <<<"$info")" "$(sed -n 's/^Author: //p' <<<"$info")" \
  "Intel;$language"
