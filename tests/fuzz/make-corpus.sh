#!/bin/bash
# Makes the seed corpus of the fuzz targets again, in tests/fuzz/corpus/:
#   transform_read_fuzz  the transforms mkmst makes from the sample packages
#                        (scripts/sample-package.sh), turned into the
#                        target's input format by transform_fuzz_input;
#   ini_storage_fuzz     Files.id of a set split by mkdiskset from a medium
#                        of those packages: all ASCII, UTF-8 with the mark
#                        (a name outside ASCII) and the same in Windows-1252
#                        without the mark, as other tools write it; each with
#                        the volumes' digest lines and without (-plain), as
#                        sets made by other tools are;
#   command_line_fuzz    the command lines of the README;
#   pe_image_fuzz        the small images of the PE reader's tests, as
#                        pe_fuzz_input writes them.
# The seeds of findings (finding-*) are kept. Needs the native tree
# (scripts/build.sh native) and the tools of scripts/install-deps.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=${SETUP_BUILD_DIR:-$root/build}/native
corpus=$root/tests/fuzz/corpus
for tool in tools/mkmst/mkmst tools/mkdiskset/mkdiskset transform_fuzz_input pe_fuzz_input; do
  [[ -x $native/$tool ]] || { echo "make-corpus: $native/$tool missing; run scripts/build.sh native" >&2; exit 1; }
done

work=$(mktemp -d /tmp/fuzz-corpus.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Transforms: each language build of the sample against the English one.
for culture in en-US de-DE fr-FR; do
  bash "$root/scripts/sample-package.sh" "$culture" "$work/$culture.msi" >/dev/null
done
target=$corpus/transform_read_fuzz
mkdir -p "$target"
find "$target" -type f ! -name 'finding-*' -delete
for pair in 0007:de-DE 0009:en-US 0012:fr-FR; do
  code=${pair%%:*} culture=${pair#*:}
  "$native/tools/mkmst/mkmst" "$work/en-US.msi" "$work/$culture.msi" "$work/${code}_l.mst" >/dev/null
  "$native/transform_fuzz_input" "$work/${code}_l.mst" "$target/sample-${code}" >/dev/null
done

# Files.id: the first byte of an input picks the store's mode, the codec
# and the read size (see ini_storage_fuzz.cpp).
target=$corpus/ini_storage_fuzz
mkdir -p "$target"
find "$target" -type f ! -name 'finding-*' -delete
medium=$work/medium
mkdir -p "$medium/Bootstrap"
printf 'MZ' >"$medium/SETUP.EXE"
cp "$work/en-US.msi" "$medium/Setup.msi"
cp "$work/0007_l.mst" "$work/0009_l.mst" "$work/0012_l.mst" "$medium/"
printf 'MZ prerequisite' >"$medium/Bootstrap/prereq.exe"
"$native/tools/mkdiskset/mkdiskset" split "$medium" "$work/ascii" >/dev/null
printf 'MZ check' >"$medium/Bootstrap/Prüfung.exe"
"$native/tools/mkdiskset/mkdiskset" split "$medium" "$work/utf8" >/dev/null
tail -c +4 "$work/utf8/disk1/Files.id" | iconv -f UTF-8 -t CP1252 >"$work/ansi.id"
seed() {  # seed NAME MODE-BYTE FILE
  { printf "\\x$2"; cat "$3"; } >"$target/$1"
}
seed keyed-ascii-nt 02 "$work/ascii/disk1/Files.id"
seed keyed-ascii-bytes 00 "$work/ascii/disk1/Files.id"
seed keyed-utf8-nt 02 "$work/utf8/disk1/Files.id"
seed keyed-utf8-9x 04 "$work/utf8/disk1/Files.id"
seed keyed-ansi-nt 02 "$work/ansi.id"
seed keyed-ansi-9x 04 "$work/ansi.id"
seed keyed-utf8-nt-reads-of-7 3a "$work/utf8/disk1/Files.id"
seed numbered-utf8-nt 03 "$work/utf8/disk1/Files.id"
for form in ascii/disk1/Files.id utf8/disk1/Files.id ansi.id; do
  grep -av '^Disk\.' "$work/$form" >"$work/plain.id" || true
  name=$(dirname "$form")
  [[ $name == . ]] && name=ansi || name=${name%%/*}
  seed "keyed-$name-plain-nt" 02 "$work/plain.id"
done
seed keyed-ansi-plain-9x 04 "$work/plain.id"

# Command lines: the arguments after the program name, NUL between them.
target=$corpus/command_line_fuzz
mkdir -p "$target"
find "$target" -type f ! -name 'finding-*' -delete
line() {  # line NAME ARGUMENT...
  local argument
  { printf '%s' "$2"; for argument in "${@:3}"; do printf '\0%s' "$argument"; done; } >"$target/$1"
}
line log /l
line silent /s
line extra-silent /es
line silent-path /s 'C:\Program Files\Sample'
line extra-silent-path -ES 'D:\Apps'
line property 'wi:INSTALLDIR=C:\Program Files\Sample'
line property-quote 'wi:COMMENT=say "hello"' /l
line everything /l /s 'C:\Sample' 'wi:ALLUSERS=1' 'wi:TARGETDIR=C:\Program Files\Sample'
line ignored-before-silent extra 'wi:A' /s
# Programs: PE32 and PE32+, GUI and console, with and without a signature.
target=$corpus/pe_image_fuzz
mkdir -p "$target"
find "$target" -type f ! -name 'finding-*' -delete
"$native/pe_fuzz_input" "$target"

echo "make-corpus: $(find "$corpus" -type f | wc -l) seeds, $(du -sk "$corpus" | cut -f1) KB in $corpus"
