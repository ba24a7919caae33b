#!/bin/bash
# The vendor's flow in one command: from the product's WiX source and its
# cultures to a checked CD folder (which also serves the floppy set) and,
# optionally, floppy images, with SETUP.EXE, the package and the transforms
# signed. One line per step; the first step that fails ends the run with its
# own message.
#
# Usage: scripts/make-medium.sh --out DIR [OPTIONS] SOURCE.wxs CULTURE...
#   SOURCE.wxs      the product's WiX source, built once per culture with
#                   wixl -D Culture=CULTURE (the culture's strings in
#                   CULTURE.wxi beside it); every build shares the product code
#   CULTURE         en-US, de-DE, fr-FR, ...; the first is the package's own
#                   language, each one gets the transform <code>_l.mst
#   --out DIR       the CD folder: SETUP.EXE, Setup.msi, the transforms (a new
#                   or empty folder)
#   --uitext FILE   the UIText rows that name the languages (Lang0009 English,
#                   ...), imported into every build
#   --bootstrap DIR prerequisites, copied to Bootstrap\ (engine updates in
#                   DIR/Msi/WinNT and DIR/Msi/Win9X)
#   --floppies DIR  also the floppy set as 1.44 MB images DIR/diskN.img
#   --cert FILE --key FILE [--password-file FILE] [--timestamp URL]
#                   sign SETUP.EXE, the package and the transforms
#                   (scripts/sign.sh); unsigned, the check warns
#   --setup FILE    the SETUP.EXE to ship (default build/win32/SETUP.EXE)
# Needs the native tools and the product (scripts/build.sh native win32).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SETUP_BUILD_DIR:-$root/build}

help() { awk '/^# Usage:/ {on = 1} on && !/^#/ {exit} on {sub(/^# ?/, ""); print}' "$0"; }
refuse() { echo "make-medium: $*" >&2; exit 2; }
value() {
  [[ $# -ge 2 && -n $2 && $2 != --* ]] || refuse "$1 needs a value (make-medium.sh --help tells more)"
  printf '%s' "$2"
}
absolute() { [[ $1 == /* ]] && printf '%s' "$1" || printf '%s' "$PWD/$1"; }

out= uitext= bootstrap= floppies= setup_exe=$build/win32/SETUP.EXE signing=() cultures=() source_file=
while (($#)); do
  case $1 in
    --out) out=$(absolute "$(value "$@")"); shift 2 ;;
    --uitext) uitext=$(absolute "$(value "$@")"); shift 2 ;;
    --bootstrap) bootstrap=$(absolute "$(value "$@")"); shift 2 ;;
    --floppies) floppies=$(absolute "$(value "$@")"); shift 2 ;;
    --setup) setup_exe=$(absolute "$(value "$@")"); shift 2 ;;
    --cert | --key | --password-file | --timestamp) signing+=("$1" "$(value "$@")"); shift 2 ;;
    -h | --help) help; exit 0 ;;
    --version) echo "make-medium.sh $(sed -n 's/^project(.* VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")"; exit 0 ;;
    -*) refuse "unknown option $1 (make-medium.sh --help tells more)" ;;
    *) if [[ -z $source_file ]]; then source_file=$(absolute "$1"); else cultures+=("$1"); fi; shift ;;
  esac
done
[[ -n $out ]] || refuse "no --out DIR for the CD folder (make-medium.sh --help tells more)"
[[ -n $source_file ]] || refuse "no WiX source (make-medium.sh --help tells more)"
((${#cultures[@]})) || refuse "no culture: name at least the package's own (en-US)"
[[ ! -e $out ]] || [[ -d $out && -z $(ls -A "$out") ]] || refuse "$out exists and is not an empty folder"
[[ -z $floppies ]] || [[ ! -e $floppies ]] || [[ -d $floppies && -z $(ls -A "$floppies") ]] ||
  refuse "$floppies exists and is not an empty folder"
mkmst=$build/native/tools/mkmst/mkmst mkdiskset=$build/native/tools/mkdiskset/mkdiskset
for tool in "$mkmst" "$mkdiskset"; do
  [[ -x $tool ]] || refuse "$tool missing; run scripts/build.sh native"
done
[[ -f $setup_exe ]] || refuse "$setup_exe missing; run scripts/build.sh win32"
if ((${#signing[@]})); then
  [[ " ${signing[*]} " == *" --cert "* ]] || refuse "--key needs --cert CERT.pem, the code-signing certificate"
  [[ " ${signing[*]} " == *" --key "* ]] || refuse "--cert needs --key KEY.pem, the certificate's private key"
fi

work=$(mktemp -d /tmp/make-medium.XXXXXX)
trap 'rm -rf "$work"' EXIT
# step NAME COMMAND...: runs the command; on failure shows its output,
# takes back what the run wrote (the folders were new or empty) and ends.
step() {
  local name=$1 folder
  shift
  if ! "$@" >"$work/step.log" 2>&1; then
    echo "make-medium: $name failed:" >&2
    sed 's/^/  /' "$work/step.log" >&2
    for folder in "$out" "$floppies"; do
      [[ -n $folder && -d $folder ]] && find "$folder" -mindepth 1 -delete
    done
    exit 1
  fi
}
property() {  # PACKAGE NAME
  msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v n="$2" '$1 == n {print $2}'
}

# 1. One build per culture, in the code page its texts need.
codes=()
for culture in "${cultures[@]}"; do
  msi=$work/$culture.msi
  step "build $culture" bash "$root/scripts/build-package.sh" "$source_file" "$culture" "$msi" ${uitext:+"$uitext"}
  language=$(property "$msi" ProductLanguage)
  [[ $language =~ ^[0-9]+$ ]] || { echo "make-medium: build $culture failed: it has no ProductLanguage" >&2; exit 1; }
  code=$(printf '%04d' $((language & 0x3FF)))
  [[ " ${codes[*]} " != *" $code "* ]] ||
    { echo "make-medium: build $culture failed: another culture has the language code $code too (one transform each)" >&2; exit 1; }
  codes+=("$code")
  echo "make-medium: build $culture: language $language, transform ${code}_l.mst"
  step "code page of $culture" bash "$root/scripts/set-codepage.sh" "$msi"
  echo "make-medium: code page of $culture: $(sed 's/^set-codepage: [^:]*: //' "$work/step.log")"
done

# 2. The transforms: the package turned into each culture's build.
mkdir -p "$out"
base=$work/${cultures[0]}.msi
transforms=()
for i in "${!cultures[@]}"; do
  transforms+=("${codes[$i]}_l.mst")
  step "transform ${codes[$i]}_l.mst" "$mkmst" "$base" "$work/${cultures[$i]}.msi" "$out/${codes[$i]}_l.mst"
done
echo "make-medium: transforms: ${transforms[*]}"

# 3. The CD folder. Its package is named Setup.msi, the name the floppy
# route takes, so that the same folder serves the floppy set.
step "CD folder" cp "$setup_exe" "$out/SETUP.EXE"
step "CD folder" cp "$base" "$out/Setup.msi"
if [[ -n $bootstrap ]]; then
  step "CD folder" mkdir "$out/Bootstrap"
  step "CD folder" cp -R "$bootstrap/." "$out/Bootstrap/"
fi
echo "make-medium: CD folder $out: SETUP.EXE, Setup.msi, ${transforms[*]}${bootstrap:+, Bootstrap\\}"

# 4. Signing, before anything is checked or split, so that every medium
# carries the signed files.
if ((${#signing[@]})); then
  step "signing" bash "$root/scripts/sign.sh" "${signing[@]}" "$out/SETUP.EXE" "$out/Setup.msi" \
    "${transforms[@]/#/$out/}"
  echo "make-medium: signed SETUP.EXE, Setup.msi, ${transforms[*]}"
else
  echo "make-medium: not signed (no --cert and --key)"
fi

# 5. The floppy images, then 6. the check of every medium made.
media=("$out")
if [[ -n $floppies ]]; then
  step "floppy images" "$mkdiskset" split "$out" "$floppies" --images
  echo "make-medium: floppy images: $(ls "$floppies"/disk*.img | wc -l) in $floppies"
  media+=("$floppies")
fi
for medium in "${media[@]}"; do
  step "check of $medium" "$mkdiskset" check "$medium"
  echo "make-medium: check of $medium: $(sed -n 's/^Result: //p' "$work/step.log")"
  grep '^warning: ' "$work/step.log" | sed 's/^/  /' || true
done
