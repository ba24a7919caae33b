#!/bin/bash
# Builds the sample product's package in one language from the WiX source
# sample/Product.wxs (its strings in sample/CULTURE.wxi), with the language
# rows of sample/UIText.idt, in the code page its texts need.
#
# Usage: scripts/sample-package.sh CULTURE OUT.msi   (en-US, de-DE, fr-FR)
# Needs the native mkmst (scripts/build.sh native), which names the code page.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
culture=${1:?usage: sample-package.sh CULTURE OUT.msi}
out=${2:?usage: sample-package.sh CULTURE OUT.msi}

bash "$root/scripts/build-package.sh" "$root/sample/Product.wxs" "$culture" "$out" "$root/sample/UIText.idt"
bash "$root/scripts/set-codepage.sh" "$out" >/dev/null
