#!/bin/bash
# What a vendor needs of SETUP.EXE: a 32-bit GUI program that fits on a
# floppy beside the manifest, loads on every system of both families, needs
# nothing but system DLLs, and runs from removable and network media.
# Usage: check_binary.sh SETUP.EXE [PE_POSTLINK]
#   PE_POSTLINK is the build's pe_postlink tool (default: beside SETUP.EXE).
set -uo pipefail
exe=${1:?usage: check_binary.sh SETUP.EXE [PE_POSTLINK]}
tool=${2:-$(dirname "$exe")/pe_postlink}
allowed_list=$(dirname "$0")/allowed_imports.txt
# 160 KiB: the program (about 150 KiB, with both families' paths for names)
# and room for the features still to come, and no more; a floppy holds it
# with room for the manifest.
limit=$((160 * 1024))
status=0
fail() { echo "check_binary: $*"; status=1; }

[[ -f $exe ]] || { echo "check_binary: $exe missing"; exit 1; }
[[ -x $tool ]] || { echo "check_binary: $tool missing"; exit 1; }
size=$(stat -c %s "$exe")
echo "SETUP.EXE: $size bytes (limit $limit)"
((size <= limit)) || fail "larger than $limit bytes"

headers=$(i686-w64-mingw32-objdump -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit PE"
grep -Eq 'Subsystem\s+00000002' <<<"$headers" || fail "not a GUI program"

facts=$("$tool" show "$exe") || { echo "check_binary: $tool cannot read $exe"; exit 1; }
fact() { awk -v k="$1" '$1 == k {print $2}' <<<"$facts"; }
has_bits() {  # NAME VALUE BITS
  local value=$(($2)) bits=$(($3))
  (((value & bits) == bits)) || fail "$1 lacks $(printf 0x%04x "$bits") (has $(printf 0x%04x "$value"))"
}
# IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP | IMAGE_FILE_NET_RUN_FROM_SWAP: Windows
# copies the program to the swap file before it runs from such media.
has_bits characteristics "$(fact characteristics)" 0x0C00
# IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | NX_COMPAT.
has_bits dllcharacteristics "$(fact dllcharacteristics)" 0x0140
[[ $(fact timestamp) == 0 ]] || fail "PE header has a time stamp ($(fact timestamp)): not reproducible"
read -r _ stored _ computed < <(grep '^checksum ' <<<"$facts")
[[ $stored == "$computed" && $stored != 0x00000000 ]] ||
  fail "header checksum $stored, the file sums to $computed"
# LOAD_LIBRARY_SEARCH_SYSTEM32 for the static imports (Windows 10 1607+).
[[ $(fact dependentloadflags) == 0x0800 ]] ||
  fail "load configuration DependentLoadFlags is $(fact dependentloadflags), not 0x0800"

# Only DLLs that Windows always takes from its system folder, and only
# functions that Windows 95 as shipped and NT 4.0 export.
known='^(KERNEL32|USER32|GDI32|ADVAPI32|OLE32|OLEAUT32|COMDLG32|MSVCRT|SHELL32|SHLWAPI|COMCTL32)\.DLL$'
imports=$(awk '$1 == "import" {print toupper($2), $3}' <<<"$facts" | sort -u)
echo "imports: $(cut -d' ' -f1 <<<"$imports" | uniq -c | awk '{printf "%s (%s) ", $2, $1}')"
while read -r dll function; do
  [[ -n $dll ]] || continue
  grep -Eq "$known" <<<"$dll" || fail "imports $dll, not a DLL that is always taken from the system folder"
  row=$(awk -v d="$dll" -v f="$function" '!/^#/ && toupper($1) == d && $2 == f' "$allowed_list")
  if [[ -z $row ]]; then
    fail "imports $dll $function, which $(basename "$allowed_list") does not list"
    continue
  fi
  read -r _ _ oldest9x oldestnt _ <<<"$row"
  [[ $oldest9x == 95 ]] || fail "imports $dll $function, which Windows 95 as shipped lacks ($oldest9x)"
  [[ $oldestnt =~ ^[0-9.]+$ ]] && awk -v v="$oldestnt" 'BEGIN { exit !(v <= 4.0) }' ||
    fail "imports $dll $function, which Windows NT 4.0 lacks ($oldestnt)"
done <<<"$imports"

# The resources the dialogs and messages are made of, and the manifest's
# sections: asInvoker, common controls 6, DPI awareness and the systems it
# was made for (Vista, 7, 8, 8.1, 10/11).
strings -el "$exe" | grep -q 'Language selection' || fail "dialog 129 missing"
manifest=$(strings -a -n 8 "$exe" | sed -n '/<assembly/,/<\/assembly>/p')
expect_manifest() {  # PATTERN DESCRIPTION
  grep -Eq "$1" <<<"$manifest" || fail "manifest without $2"
}
expect_manifest 'requestedExecutionLevel level="asInvoker"' "asInvoker"
expect_manifest 'name="Microsoft.Windows.Common-Controls" version="6\.0\.0\.0"' "common controls 6"
expect_manifest '<dpiAware[^>]*>true</dpiAware>' "DPI awareness"
for id in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
  4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
  8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
  expect_manifest "<supportedOS Id=\"\\{$id\\}\"" "supportedOS $id"
done
exit $status
