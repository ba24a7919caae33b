# SETUP.EXE run from a folder that others can write to, and signed: DLLs
# planted beside it are never loaded, and a signed program verifies and
# installs. Sourced by run.sh after scenarios.sh.

scenarios+=(
  planted_dlls_not_loaded
  planted_dlls_file_dialog
  signed_setup_installs
)

# The DLLs that SETUP.EXE, and the system DLLs it uses, load after it has
# started, on the direct route (found with WINEDEBUG=+loaddll): comctl32
# and uxtheme (the dialogs), msi and what Wine's msi loads (the automation
# object), and dwmapi, which Windows loads for themed windows.
#
# version.dll is not among them: Wine's own user32 imports it, so it is
# loaded before the program's first instruction, and there the program can
# decide nothing. SETUP.EXE must therefore not import it, which
# tests/check_binary.sh verifies on the import table. Its own use of
# version.dll (the engine check) loads it by full path from the system
# folder. The same holds for the other DLLs Wine's system DLLs import before
# the program runs (imm32, win32u, rpcrt4, ...); on Windows they are
# KnownDLLs or dependencies of KnownDLLs.
PLANTED_DLLS=(comctl32 uxtheme dwmapi msi cabinet bcrypt crypt32 dbghelp imagehlp mspatcha
  odbccp32 sxs mpr ws2_32 wininet urlmon wintrust)

# A DLL of each name beside SETUP.EXE that logs "planted|NAME.dll" when
# loaded (tests/tools/planted.c), with Windows' search order forced for each
# name (Wine otherwise prefers its builtin DLLs whatever lies in the folder).
# The direct route must load none of them and install the product.
sc_planted_dlls_not_loaded() {
  make_medium std.msi 0009
  plant_dlls || return
  mkdir -p "$dir/cwd"
  cp "$tools/planted.dll" "$dir/cwd/uxtheme.dll"  # the current folder is no better
  setup_run --answer --cwd "$dir/cwd"
  expect_code 0
  expect_no_dialog
  expect_installed
  expect_log
}

# plant_dlls: the planted DLL under every name of PLANTED_DLLS (and
# comdlg32, which SETUP.EXE loads for the file dialog) beside SETUP.EXE.
plant_dlls() {
  local planted=$tools/planted.dll name
  [[ -f $planted ]] || { fail "no $planted: the planted DLL was not built"; return 1; }
  for name in "${PLANTED_DLLS[@]}" comdlg32; do
    cp "$planted" "$medium/$name.dll"
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$name=n,b"
  done
  export WINEDLLOVERRIDES
}

# The floppy route's free-space dialog and its file dialog (Change), which
# load comdlg32 and what it needs while the program runs: nothing planted is
# loaded there either, and the file dialog opens.
sc_planted_dlls_file_dialog() {
  have_floppy_sets || return 0
  small_temp_drive 1024 || return 0
  medium=$dir/floppy
  link_medium big-set
  plant_dlls || return
  local SETUP_RUN_TIMEOUT=40 caption="No free disk space"
  local p=(--pid-file "$(winpath "$dir/pid")")
  setup_start
  ui "${p[@]}" wait "$caption" >"$dir/space.out" || fail "no free-space dialog"
  ui "${p[@]}" press "$caption" Change >>"$dir/ui.out"
  ui "${p[@]}" wait Open >"$dir/open.out" || fail "Change opened no file dialog"
  ui "${p[@]}" press Open Cancel >>"$dir/ui.out"
  ui "${p[@]}" press "$caption" Exit >>"$dir/ui.out"
  setup_finish
  expect_code 1602
  expect_log
}

# The vendor's way: a certificate (here a throwaway self-signed one), signed
# by scripts/sign.sh, checked with osslsigncode; the signed SETUP.EXE
# installs on the direct route. A copy with one byte changed must fail the
# check, or the check proves nothing. A key or certificate that is missing,
# empty or not given is refused before anything is signed.
sc_signed_setup_installs() {
  command -v osslsigncode >/dev/null || { fail "osslsigncode is not installed"; return; }
  local keys=$dir/keys
  mkdir -p "$keys"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Setup Test Vendor" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$keys/key.pem" -out "$keys/cert.pem" \
    >"$keys/openssl.log" 2>&1 || { fail "openssl could not make a certificate"; return; }
  make_medium std.msi 0009
  # Refused in one line before osslsigncode runs, the file left as it was.
  : >"$keys/empty.pem"
  cp "$medium/SETUP.EXE" "$keys/unsigned.exe"
  local bad args
  for bad in "--cert $keys/cert.pem" "--cert $keys/cert.pem --key" "--key $keys/key.pem" \
    "--cert $keys/cert.pem --key $keys/missing.pem" "--cert $keys/empty.pem --key $keys/key.pem"; do
    read -ra args <<<"$bad"
    bash "$root/scripts/sign.sh" "${args[@]}" "$medium/SETUP.EXE" >"$keys/refused.log" 2>&1
    expect_eq "sign.sh exit code for [$bad]" "$?" 2
    expect_eq "lines sign.sh writes for [$bad]" "$(wc -l <"$keys/refused.log")" 1
    cmp -s "$medium/SETUP.EXE" "$keys/unsigned.exe" || fail "sign.sh $bad changed SETUP.EXE"
  done
  bash "$root/scripts/sign.sh" --cert "$keys/cert.pem" --key "$keys/key.pem" \
    --description "Setup test" "$medium/SETUP.EXE" "$medium/Product.msi" >"$keys/sign.log" 2>&1 ||
    fail "sign.sh failed: $(tail -n 3 "$keys/sign.log" | tr '\n' ' ')"
  local file
  for file in SETUP.EXE Product.msi; do
    osslsigncode verify -CAfile "$keys/cert.pem" -in "$medium/$file" >"$keys/verify-$file.log" 2>&1 ||
      fail "osslsigncode verify of the signed $file failed"
  done
  cp "$medium/SETUP.EXE" "$keys/tampered.exe"
  printf '\x90' | dd of="$keys/tampered.exe" bs=1 seek=1536 conv=notrunc status=none
  osslsigncode verify -CAfile "$keys/cert.pem" -in "$keys/tampered.exe" >"$keys/verify-tampered.log" 2>&1 &&
    fail "osslsigncode verify accepted a changed SETUP.EXE"
  setup_run --answer
  expect_code 0
  expect_no_dialog
  expect_installed
}
