#!/bin/bash
# What a vendor needs of SETUP.EXE: a 32-bit GUI program that fits on a
# floppy beside the manifest and needs nothing but system DLLs.
set -uo pipefail
exe=${1:?usage: check_binary.sh SETUP.EXE}
limit=$((160 * 1024))
status=0
fail() { echo "check_binary: $*"; status=1; }

[[ -f $exe ]] || { echo "check_binary: $exe missing"; exit 1; }
size=$(stat -c %s "$exe")
echo "SETUP.EXE: $size bytes (limit $limit)"
((size <= limit)) || fail "larger than $limit bytes"

headers=$(i686-w64-mingw32-objdump -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit PE"
grep -Eq 'Subsystem\s+00000002' <<<"$headers" || fail "not a GUI program"

allowed='^(KERNEL32|USER32|GDI32|COMCTL32|COMDLG32|OLE32|OLEAUT32|VERSION|ADVAPI32|SHELL32|msvcrt)\.dll$'
while read -r dll; do
  grep -Eqi "$allowed" <<<"$dll" || fail "imports $dll"
done < <(grep 'DLL Name' <<<"$headers" | awk '{print $3}')
echo "imports: $(grep 'DLL Name' <<<"$headers" | awk '{print $3}' | tr '\n' ' ')"

# The resources the dialogs and messages are made of.
strings -el "$exe" | grep -q 'Language selection' || fail "dialog 129 missing"
strings -a "$exe" | grep -q 'asInvoker' || fail "manifest without asInvoker"
exit $status
