# mkdiskset check against what SETUP.EXE really does under Wine, and the
# images of mkdiskset split --images served as a real floppy drive A:.
# Sourced by run.sh after floppy_scenarios.sh.

scenarios+=(
  check_agrees_with_wine
  floppy_images_in_drive_a
)

mkdiskset_native() {
  printf '%s' "${SETUP_BUILD_DIR:-$root/build}/native/tools/mkdiskset/mkdiskset"
}

# check_says MEDIUM N: mkdiskset check fails with message N among its errors.
check_says() {
  local out=$dir/check-$(basename "$1").out
  "$(mkdiskset_native)" check "$1" >"$out" 2>&1
  local status=$?
  expect_eq "check exit code for $(basename "$1")" "$status" 1
  grep -q "^error (message $2):" "$out" || fail "check of $(basename "$1") names no message $2: $(tr '\n' ' ' <"$out")"
  echo "check of $(basename "$1"): $(grep '^error' "$out" | tr '\n' ' ')" >>"$dir/notes"
}

# Three media the check refuses, each run as the customer would: a set whose
# manifest names the package Product.msi (message 4), a package without an
# English row under /s (8), the English row's transform missing under /s
# (12). The sample medium, with its real transforms, checks clean but for
# its program (the unsigned build that Wine runs here).
sc_check_agrees_with_wine() {
  [[ -x $(mkdiskset_native) ]] || { skip "the native mkdiskset was not built"; return 0; }
  fake_msiexec 0

  local src=$dir/src4
  mkdir -p "$src"
  cp "$setup_exe" "$src/SETUP.EXE"
  cp "$work/pkgs/std.msi" "$src/Setup.msi"
  cp "$work/pkgs/empty.mst" "$src/0009_l.mst"
  "$(mkdiskset_native)" split "$src" "$dir/m4" --flat >"$dir/split.out" 2>&1 || fail "split: $(cat "$dir/split.out")"
  sed -i 's/,Setup\.msi,/,Product.msi,/' "$dir/m4/Files.id"
  check_says "$dir/m4" 4
  medium=$dir/m4
  setup_run --answer
  expect_message_box "Installation Error" "Installation package not found"
  expect_code 1603

  medium=$dir/m8
  make_medium noenglish.msi 0007 0012
  check_says "$medium" 8
  setup_run --answer /s
  expect_message_box "Installation Error" "A wrong language was selected"
  expect_code 1603

  medium=$dir/m12
  make_medium std.msi 0007 0012
  check_says "$medium" 12
  setup_run --answer /s
  expect_message_box "Installation Error" "Language not found. Installation is impossible."
  expect_code 1603
  expect_log

  # The sample medium holds the SETUP.EXE that Wine runs here, unsigned:
  # nothing else is wrong with it.
  "$(mkdiskset_native)" check "$work/pkgs/sample" >"$dir/check-sample.out" 2>&1
  local status=$? errors=0
  [[ $SETUP_ARCH == win32 ]] || errors=1
  expect_eq "check exit code for the sample medium" "$status" "$errors"
  expect_line "$dir/check-sample.out" "Result: $errors error(s), 1 warning(s)" "sample medium check"
  grep -q '^warning: SETUP.EXE is not signed' "$dir/check-sample.out" ||
    fail "the sample medium's check does not warn of the unsigned SETUP.EXE"
  ((errors == 0)) || grep -q '^error: SETUP.EXE is built for x86-64' "$dir/check-sample.out" ||
    fail "the sample medium's check does not name the x86-64 build"
}

# insert_image N: the image of disk N is in drive A: (read-only).
insert_image() {
  fusermount -u -z "$drive_a" 2>/dev/null
  fusefat -o ro "$dir/images/disk$1.img" "$drive_a" >>"$dir/fusefat.out" 2>&1 ||
    { fail "fusefat could not serve disk $1"; return 1; }
  local i
  for ((i = 0; i < 50; i++)); do
    [[ -e $drive_a/Disk.$1 ]] && { inserted=$1; return 0; }
    sleep 0.1
  done
  fail "disk $1 did not appear in drive A:"
  return 1
}

# The images of mkdiskset split --images as Wine's floppy drive A:. Each
# prompt is answered by changing the image and pressing Retry; the first time
# disk 2 is asked for, the wrong disk goes in and the prompt must come again.
sc_floppy_images_in_drive_a() {
  [[ -e /dev/fuse ]] || { skip "no /dev/fuse on this machine: the images cannot be served as drive A:"; return 0; }
  command -v fusefat >/dev/null || { skip "fusefat is not installed"; return 0; }
  [[ -x $(mkdiskset_native) ]] || { skip "the native mkdiskset was not built"; return 0; }
  local src=$dir/src
  mkdir -p "$src/Bootstrap"
  cp "$setup_exe" "$src/SETUP.EXE"
  cp "$work/pkgs/std.msi" "$src/Setup.msi"
  cp "$work/pkgs/empty.mst" "$src/0007_l.mst"
  cp "$tools/bootprog.exe" "$src/Bootstrap/prereq.exe"
  head -c $((3 * 1024 * 1024)) /dev/urandom >"$src/spans.bin"
  "$(mkdiskset_native)" split "$src" "$dir/images" --images >"$dir/split.out" 2>&1 ||
    { fail "split: $(cat "$dir/split.out")"; return 0; }
  local disks
  disks=$(ls "$dir/images"/disk*.img | wc -l)
  ((disks >= 3)) || fail "expected at least three images, got $disks"

  drive_a=$dir/drive_a
  mkdir -p "$drive_a"
  trap 'fusermount -u -z "$drive_a" 2>/dev/null' EXIT
  ln -sfn "$drive_a" "$prefix/dosdevices/a:"
  "$WINE" reg add 'HKLM\Software\Wine\Drives' /v 'a:' /d floppy /f </dev/null >/dev/null 2>&1
  insert_image 1 || return 0
  snapshot_temp
  medium=$drive_a
  rm -f "$dir/exit" "$dir/pid"
  timeout $((SETUP_RUN_TIMEOUT + 30)) "$WINE" "$tools/uidriver.exe" -t "$SETUP_RUN_TIMEOUT" run \
    --cwd "$(winpath "$dir")" --pid-file "$(winpath "$dir/pid")" --exit-file "$(winpath "$dir/exit")" \
    'A:\SETUP.EXE' >"$dir/run.raw" 2>&1 </dev/null &
  setup_job=$!

  local p=(--pid-file "$(winpath "$dir/pid")") handled=" " asked=() wrong=0 i w n
  for ((i = 0; i < 300; i++)); do
    ui "${p[@]}" list >"$dir/list.out"
    grep -q '^caption: Language selection$' "$dir/list.out" && break
    w=$(awk '/^window:/ {w = $2} /^caption: Please Insert Disk$/ {print w; exit}' "$dir/list.out")
    if [[ -n $w && $handled != *" $w "* ]]; then
      handled+="$w "
      n=$(sed -n 's/^text: Please insert disk number \([0-9]*\).*/\1/p' "$dir/list.out" | head -n 1)
      asked+=("$n")
      if [[ $n == 2 && $wrong == 0 ]]; then
        wrong=1
        insert_image 3 || break
      else
        insert_image "$n" || break
      fi
      ui "${p[@]}" press "$PROMPT" Retry >>"$dir/ui.out"
    fi
    kill -0 "$setup_job" 2>/dev/null || break
    sleep 0.2
  done
  local expected
  expected="2 2 $(seq 3 "$disks" | tr '\n' ' ')"
  expect_eq "disks asked for" "${asked[*]} " "$expected"

  local st
  st=$(extraction_folders)
  if [[ $(wc -l <<<"$st") != 1 || -z $st ]]; then
    fail "expected one extraction folder at the language dialog, found [$st]"
  else
    expect_extracted "$st" "$src"
    cmp -s "$st/spans.bin" "$src/spans.bin" || fail "spans.bin, which spans the disks, differs"
  fi
  ui select "Language selection" 1000 Deutsch >>"$dir/ui.out"
  ui press "Language selection" OK >>"$dir/ui.out"
  setup_finish
  expect_code 0
  expect_error_boxes
  expect_log "prereq.exe|"
  expect_installed
  expect_temp_clean
}
