# Faulty disks on the floppy route: a bad sector that is cleaned or stays, a
# byte that reads back wrong, and a disk of another release. The set is
# served by faultfs (tests/e2e/faultfs.c, built here with libfuse), whose
# control file puts the faults on a disk and takes them off while SETUP.EXE
# waits at its prompt; without /dev/fuse those scenarios are skipped. The
# runs start in the scenario's own folder, as the drive-A scenario does:
# with a faultfs folder as its current folder, Wine's msi.dll cannot open
# the package (message 5), which fusefat's drives do not cause.
# Sourced by run.sh after floppy_scenarios.sh.

scenarios+=(
  disk_bad_sector_cleaned
  disk_bad_sector_stays
  disk_wrong_byte
  disk_of_another_release
)

UNREADABLE="Disk 2 could not be read. Clean it or use another copy of disk 2, insert it and choose Retry."
NOT_THIS_SET="This is not disk 2 of this set. Insert disk 2 of this set and choose Retry."

# Two releases of one product, flat sets in 1.44 MB volumes, built once per
# suite in $work/pkgs: the sample package (no English transform, so an
# English user is asked for the language and the run waits there with every
# file extracted), a prerequisite and 3 MB of filler (three disks). The
# other release has the same names and sizes and another filler.
build_fault_sets() {
  local name seed
  for name in fault other-release; do
    [[ -f $work/pkgs/$name-set/Files.id ]] && continue
    local src=$work/pkgs/$name-medium
    rm -rf "$src" "$work/pkgs/$name-set"
    mkdir -p "$src/Bootstrap"
    cp "$setup_exe" "$src/SETUP.EXE"
    cp "$work/pkgs/std.msi" "$src/Setup.msi"
    cp "$work/pkgs/empty.mst" "$src/0007_l.mst"
    cp "$tools/bootprog.exe" "$src/Bootstrap/prereq.exe"
    head -c $((3 * 1024 * 1024)) /dev/urandom >"$src/filler.bin"
    mkdiskset_split "$src" "$work/pkgs/$name-set" --flat >"$work/pkgs/$name-set.log" 2>&1 || return 1
  done
  [[ -f $work/pkgs/fault-set/Disk.3 ]]
}

have_fault_sets() {
  build_fault_sets && return 0
  fail "the sets of the disk-fault scenarios could not be made: $(tail -n 3 "$work/pkgs/fault-set.log" 2>/dev/null)"
  return 1
}

# serve_with_faults: $medium becomes the fault set served by faultfs, with
# the control file $faults (empty: no fault). Skips where FUSE is missing.
serve_with_faults() {
  [[ -e /dev/fuse ]] || { skip "no /dev/fuse on this machine: a faulty disk cannot be simulated"; return 1; }
  have_fault_sets || return 1
  local faultfs=$work/faultfs
  if [[ ! -x $faultfs ]] &&
    ! cc -O2 -Wall -o "$faultfs" "$root/tests/e2e/faultfs.c" $(pkg-config --cflags --libs fuse 2>/dev/null) \
      >"$dir/faultfs-build.out" 2>&1; then
    skip "faultfs cannot be built (libfuse-dev missing?): $(head -n 1 "$dir/faultfs-build.out")"
    return 1
  fi
  medium=$dir/drive faults=$dir/faults
  mkdir -p "$medium"
  : >"$faults"
  "$faultfs" "$work/pkgs/fault-set" "$faults" "$medium" -o ro >"$dir/faultfs.out" 2>&1 ||
    { fail "faultfs could not serve the set: $(cat "$dir/faultfs.out")"; return 1; }
  trap 'fusermount -u -z "$medium" 2>/dev/null' EXIT
  local i
  for ((i = 0; i < 50; i++)); do
    [[ -e $medium/Files.id ]] && return 0
    sleep 0.1
  done
  fail "the set did not appear through faultfs"
  return 1
}

# prompt_block FILE: the first disk prompt dumped in FILE.
prompt_block() {
  awk '/^window:/ {b = ""; p = 0} {b = b $0 "\n"} /^caption: Please Insert Disk$/ {p = 1}
    /^end$/ && p {printf "%s", b; exit}' "$1"
}

# expect_prompt FILE TEXT: the disk prompt in FILE says TEXT and offers
# Retry and Cancel with the question icon.
expect_prompt() {
  local block
  block=$(prompt_block "$1")
  [[ -n $block ]] || { fail "no disk prompt in $(basename "$1"): $(tr '\n' ' ' <"$1")"; return; }
  expect_eq "prompt text" "$(sed -n 's/^text: //p' <<<"$block")" "$2"
  expect_eq "prompt buttons" "$(grep '^button:' <<<"$block" | sed 's/^button: [0-9]* //' | tr '\n' ',')" \
    "&Retry,Cancel,"
  grep -q '^icon: [0-9]* question$' <<<"$block" || fail "prompt icon: [$(grep '^icon:' <<<"$block")]"
}

# wait_prompt TEXT: waits for a disk prompt saying TEXT that is not one of
# the prompts already answered ($answered), dumps it to $dir/prompt.out and
# remembers it. False when none came.
answered=" "
wait_prompt() {
  local i w
  for ((i = 0; i < 150; i++)); do
    ui --pid-file "$(winpath "$dir/pid")" list >"$dir/list.out"
    w=$(awk -v t="text: $1" '/^window:/ {w = $2} $0 == t {print w}' "$dir/list.out" | head -n 1)
    if [[ -n $w && $answered != *" $w "* ]]; then
      answered+="$w "
      cp "$dir/list.out" "$dir/prompt.out"
      return 0
    fi
    kill -0 "$setup_job" 2>/dev/null || break
    sleep 0.2
  done
  fail "no disk prompt [$1]; dialogs: $(grep -E '^(caption|text):' "$dir/list.out" | tr '\n' ' ')"
  return 1
}

press_prompt() { ui --pid-file "$(winpath "$dir/pid")" press "$PROMPT" "$1" >>"$dir/ui.out"; }

# The run waits at the language dialog: every file extracted is the
# medium's, byte for byte. Then German is chosen and the product installed.
# (The runs that get here start without --answer, which would press OK in
# the language dialog at once.)
finish_installed() {
  local p=(--pid-file "$(winpath "$dir/pid")") st
  if ui "${p[@]}" wait "Language selection" >"$dir/lang.out"; then
    st=$(extraction_folders)
    if [[ -z $st || $(wc -l <<<"$st") != 1 ]]; then
      fail "expected one extraction folder at the language dialog, found [$st]"
    else
      expect_extracted "$st" "$work/pkgs/fault-medium"
    fi
    ui select "Language selection" 1000 Deutsch >>"$dir/ui.out"
    ui press "Language selection" OK >>"$dir/ui.out"
  else
    fail "the run did not reach the language dialog"
  fi
  setup_finish
  expect_code 0
  expect_error_boxes
  expect_log "prereq.exe|"
  expect_installed
  expect_temp_clean
}

# fault_cleaned_at_prompt CONTROL-LINE: disk 2 has the fault; the copy asks
# for disk 2 again, naming it, before anything has run; the fault is taken
# off, and Retry goes on and the product installs.
fault_cleaned_at_prompt() {
  serve_with_faults || return 0
  echo "$1" >"$faults"
  snapshot_temp
  setup_start --cwd "$dir"
  wait_prompt "$UNREADABLE" || { setup_finish; return 0; }
  expect_prompt "$dir/prompt.out" "$UNREADABLE"
  expect_log
  : >"$faults"
  press_prompt Retry
  finish_installed
}

# A bad sector on disk 2, cleaned before Retry: the copy goes on from where
# it stopped.
sc_disk_bad_sector_cleaned() { fault_cleaned_at_prompt "eio Disk.2 700000 700511"; }

# A bad sector that stays: Retry meets it again, Cancel fails the copy with
# message 9, and nothing is run or left behind.
sc_disk_bad_sector_stays() {
  serve_with_faults || return 0
  echo "eio Disk.2 700000 700511" >"$faults"
  snapshot_temp
  setup_start --answer --cwd "$dir"
  wait_prompt "$UNREADABLE" || { setup_finish; return 0; }
  press_prompt Retry
  if wait_prompt "$UNREADABLE"; then
    expect_prompt "$dir/prompt.out" "$UNREADABLE"
    press_prompt Cancel
  fi
  setup_finish
  expect_code 1603
  expect_error_boxes "$MSG9"
  expect_log
  expect_not_installed
  expect_temp_clean
}

# One byte of disk 2 reads back inverted, without any read error: disk 2 is
# asked for again once it has been read to its end, and read again it gives
# the right bytes.
sc_disk_wrong_byte() { fault_cleaned_at_prompt "flip Disk.2 800000"; }

# Disk 2 of another release, with the same names and sizes, is refused as
# soon as it is opened; the right disk 2 then goes on.
sc_disk_of_another_release() {
  have_fault_sets || return 0
  medium=$dir/floppy
  link_medium fault-set Disk.2
  ln -s "$work/pkgs/other-release-set/Disk.2" "$medium/Disk.2"
  snapshot_temp
  setup_start --cwd "$dir"
  wait_prompt "$NOT_THIS_SET" || { setup_finish; return 0; }
  expect_prompt "$dir/prompt.out" "$NOT_THIS_SET"
  expect_log
  ln -sfn "$work/pkgs/fault-set/Disk.2" "$medium/Disk.2"
  press_prompt Retry
  finish_installed
}
