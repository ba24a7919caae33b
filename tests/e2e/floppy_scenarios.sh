# The floppy route under Wine, beyond the plain installation of
# scenarios.sh: the progress dialog as the user sees it, missing disks, leaving
# during the copy, a small or missing temporary folder, an unsafe manifest and
# two runs at once. Sourced by run.sh after scenarios.sh.

scenarios+=(
  floppy_disk2_missing
  floppy_exit_during_copy
  floppy_close_during_copy
  floppy_close_during_prompt
  floppy_temp_too_small
  floppy_temp_missing
  floppy_volume_fills
  floppy_unsafe_manifest_path
  floppy_two_runs_at_once
)

PROGRESS="Extracting files ..."
PROMPT="Please Insert Disk"

# mkdiskset split MEDIUM OUT ARGS...: the native build when there is one
# (faster), else the Windows build under Wine.
mkdiskset_split() {
  local src=$1 out=$2
  shift 2
  local native=${SETUP_BUILD_DIR:-$root/build}/native/tools/mkdiskset/mkdiskset
  if [[ -x $native ]]; then
    "$native" split "$src" "$out" "$@"
  else
    WINEPREFIX=$work/template timeout 120 "$WINE" "$build/tools/mkdiskset/mkdiskset.exe" split \
      "$(winpath "$src")" "$(winpath "$out")" "$@" </dev/null
  fi
}

# Sets shared by the floppy scenarios, built once per suite in $work/pkgs, in
# 1.44 MB volumes:
#   big-set    Setup.msi, Bootstrap\prereq.exe, the German and French
#              transforms but not the English one (so an English user is
#              asked for the language, and the run waits there with every
#              file extracted), and about 40 MB of random bytes (30 disks),
#              so that the copy lasts long enough to be watched, pressed and
#              closed
#   other-set  the same with a different filler of 4 MB under another name
build_floppy_sets() {
  [[ -d $work/pkgs/floppy-set ]] || return 0
  local name filler size
  for name in big other; do
    local src=$work/pkgs/$name-medium
    mkdir -p "$src/Bootstrap"
    cp "$setup_exe" "$src/SETUP.EXE"
    cp "$work/pkgs/std.msi" "$src/Setup.msi"
    cp "$work/pkgs/empty.mst" "$src/0007_l.mst"
    cp "$work/pkgs/empty.mst" "$src/0012_l.mst"
    cp "$tools/bootprog.exe" "$src/Bootstrap/prereq.exe"
    if [[ $name == big ]]; then
      # About 40 MB, sized so that the last of the 30 disks is half full:
      # its label then shows long enough to be seen, whatever the sizes of
      # SETUP.EXE and the other files.
      local disk=1457664 setup_clusters others
      setup_clusters=$((($(stat -c %s "$src/SETUP.EXE") + 511) / 512 * 512))
      others=$(find "$src" -type f ! -name SETUP.EXE -printf '%s\n' | awk '{s += $1} END {print s}')
      filler=filler.bin size=$((disk - setup_clusters - 512 + 28 * disk + disk / 2 - others))
    else
      filler=other.bin size=$((4 * 1024 * 1024))
    fi
    head -c "$size" /dev/urandom >"$src/$filler"
    mkdiskset_split "$src" "$work/pkgs/$name-set" --flat >"$work/pkgs/$name-set.log" 2>&1 ||
      { cat "$work/pkgs/$name-set.log"; return 1; }
  done
}

have_floppy_sets() {
  [[ -d $work/pkgs/big-set && -d $work/pkgs/other-set ]] && return 0
  skip "mkdiskset was not built"
  return 1
}

# link_medium SET [VOLUME...]: $medium becomes the set SET with SETUP.EXE and
# the manifest copied and the volumes linked, leaving out the volumes named.
link_medium() {
  local set=$work/pkgs/$1 f base
  shift
  mkdir -p "$medium"
  for f in "$set"/*; do
    base=$(basename "$f")
    [[ " $* " == *" $base "* ]] && continue
    case $base in
      Disk.*) ln -s "$f" "$medium/$base" ;;
      *) cp -a "$f" "$medium/$base" ;;
    esac
  done
}

# The user's temporary folder in the prefix, as Unix and as Windows path.
temp_dir() { ls -d "$prefix"/drive_c/users/*/Temp 2>/dev/null | grep -v /Public/ | head -n 1; }
temp_win() { printf 'C:\\users\\%s\\Temp' "$(basename "$(dirname "$(temp_dir)")")"; }

# Remembers what the temporary folder holds before a run.
snapshot_temp() {  # [FOLDER]
  local t=${1:-$(temp_dir)}
  ls -A "$t" 2>/dev/null | sort >"$dir/temp.before"
}

# Nothing the run made is left in the folder: no extraction folder, no entry
# that was not there before the run.
expect_temp_clean() {  # [FOLDER]
  local t=${1:-$(temp_dir)} new
  new=$(ls -A "$t" 2>/dev/null | sort | comm -13 "$dir/temp.before" - | tr '\n' ' ')
  [[ -z $new ]] || fail "left in the temporary folder: $new"
}

extraction_folders() {  # [FOLDER]
  local t=${1:-$(temp_dir)}
  ls -d "$t"/ST* 2>/dev/null
}

# expect_extracted FOLDER MEDIUM: every file of the medium but SETUP.EXE and
# the set's own files, byte for byte, and nothing else.
expect_extracted() {
  local st=$1 src=$2 f rel
  while IFS= read -r f; do
    rel=${f#"$src/"}
    if [[ ! -f $st/$rel ]]; then
      fail "$(basename "$st")/$rel missing"
    elif ! cmp -s "$f" "$st/$rel"; then
      fail "$(basename "$st")/$rel differs from the medium's file"
    fi
  done < <(find "$src" -type f ! -path "$src/SETUP.EXE")
  local extra
  extra=$(cd "$st" && find . -type f | sed 's|^\./||' | while IFS= read -r rel; do
    [[ -f $src/$rel ]] || printf '%s ' "$rel"
  done)
  [[ -z $extra ]] || fail "extra files in $(basename "$st"): $extra"
}

# The message boxes of a run's dump other than disk prompts, as
# "caption|text" lines in order.
error_boxes() {  # FILE
  message_boxes "$1" | awk '/^caption:/ {c = substr($0, 10)} /^text:/ {t = substr($0, 7)}
    /^end$/ && c != "Please Insert Disk" {print c "|" t}'
}

expect_error_boxes() {  # EXPECTED-LINE...
  local got expected
  got=$(error_boxes "$dir/run.out" | tr '\n' ';')
  expected=$(printf '%s;' "$@")
  [[ $# == 0 ]] && expected=
  [[ $got == "$expected" ]] || fail "messages: got [$got], expected [$expected]"
}

MSG9="Installation Error|Error copying files from disks. Installation failed."

# close_and_time CAPTION: closes the controller once CAPTION is up and checks
# that the process ends within two seconds of the close.
close_and_time() {
  ui --pid-file "$(winpath "$dir/pid")" close-controller "$1" >"$dir/close.out"
  local ms
  ms=$(sed -n 's/^ended: \([0-9]*\) ms after the close$/\1/p' "$dir/close.out")
  echo "close during \"$1\": ended after ${ms:-?} ms" >>"$dir/notes"
  if [[ -z $ms ]]; then
    fail "the run did not end after the close: $(tr '\n' ' ' <"$dir/close.out")"
  elif ((ms > 2000)); then
    fail "the run ended ${ms} ms after the close, more than two seconds"
  fi
}

# Disk 2 is not in the drive. Retry while it is still missing asks again,
# naming disk 2 in the label meanwhile; Retry once it is there goes on and the
# installation runs. In a second run Cancel fails the copy.
sc_floppy_disk2_missing() {
  [[ -d $work/pkgs/floppy-set ]] || { skip "mkdiskset was not built"; return 0; }
  medium=$dir/floppy
  link_medium floppy-set Disk.2
  fake_msiexec 0
  snapshot_temp
  setup_start --answer
  local p=(--pid-file "$(winpath "$dir/pid")")
  ui "${p[@]}" wait "$PROMPT" >"$dir/prompt1.out"
  local block
  block=$(dump_block "$dir/prompt1.out" 1)
  expect_eq "prompt text" "$(sed -n 's/^text: //p' <<<"$block")" "Please insert disk number 2     "
  expect_eq "prompt buttons" "$(grep '^button:' <<<"$block" | sed 's/^button: [0-9]* //' | tr '\n' ',')" \
    "&Retry,Cancel,"
  grep -q '^icon: [0-9]* question$' <<<"$block" || fail "prompt icon: [$(grep '^icon:' <<<"$block")]"
  # Not checked: Wine shows no WS_EX_TOPMOST for a box with MB_TOPMOST alone.
  local first
  first=$(sed -n 's/^window: \([^ ]*\) .*/\1/p' <<<"$block")
  ui "${p[@]}" press "$PROMPT" Retry >>"$dir/ui.out"

  # Still missing: a new prompt for disk 2, and the label already names it.
  local i again=
  for ((i = 0; i < 40; i++)); do
    ui "${p[@]}" list >"$dir/list.out"
    again=$(awk -v f="$first" '/^window:/ {w = $2} /^caption: Please Insert Disk$/ && w != f {print w}' \
      "$dir/list.out")
    [[ -n $again ]] && break
    sleep 0.2
  done
  if [[ -z $again ]]; then
    fail "Retry with disk 2 still missing did not ask again"
  else
    grep -Fxq "text: Please insert disk number 2     " "$dir/list.out" || fail "second prompt text"
    grep -Fxq "static: 1016 Disk Number:     2" "$dir/list.out" ||
      fail "label while disk 2 is asked for: [$(grep '^static: 1016' "$dir/list.out")]"
  fi
  ln -s "$work/pkgs/floppy-set/Disk.2" "$medium/Disk.2"
  ui "${p[@]}" press "$PROMPT" Retry >>"$dir/ui.out"
  setup_finish
  expect_code 0
  expect_error_boxes
  grep -q '^msiexec.exe| /I "C:\\users\\[^\\]*\\Temp\\ST[0-9A-Fa-f]\{6\}\\Setup.msi" TRANSFORMS=' "$blog" ||
    fail "installer not run on the extracted package: $(boot_log | tr '\n' ';')"
  expect_temp_clean

  rm -f "$medium/Disk.2" "$blog"
  setup_start --answer
  ui "${p[@]}" press "$PROMPT" Cancel >>"$dir/ui.out"
  setup_finish
  echo "cancel: exit $code" >>"$dir/notes"
  expect_code 1603
  expect_error_boxes "$MSG9"
  expect_log
  expect_temp_clean
}

# Exit in mid-copy ends the run at once, with no message and no installation.
sc_floppy_exit_during_copy() {
  have_floppy_sets || return 0
  medium=$dir/floppy
  link_medium big-set
  snapshot_temp
  setup_start --answer
  ui --pid-file "$(winpath "$dir/pid")" press "$PROGRESS" Exit >>"$dir/ui.out"
  setup_finish
  expect_code 1602
  expect_error_boxes
  grep -q '^caption: Language selection$' "$dir/run.out" && fail "the run went on to the language dialog"
  expect_log
  expect_temp_clean
}

sc_floppy_close_during_copy() {
  have_floppy_sets || return 0
  medium=$dir/floppy
  link_medium big-set
  snapshot_temp
  setup_start --answer
  close_and_time "$PROGRESS"
  setup_finish
  expect_code 1602
  expect_error_boxes
  grep -q '^caption: Language selection$' "$dir/run.out" && fail "the run went on to the language dialog"
  expect_temp_clean
}

sc_floppy_close_during_prompt() {
  [[ -d $work/pkgs/floppy-set ]] || { skip "mkdiskset was not built"; return 0; }
  medium=$dir/floppy
  link_medium floppy-set Disk.2
  snapshot_temp
  setup_start --answer
  close_and_time "$PROMPT"
  setup_finish
  expect_code 1602
  expect_error_boxes
  expect_temp_clean
}

# small_temp_drive KILOBYTES: a tmpfs of that size as drive T:, made the
# user's TEMP and TMP (Wine takes them from the registry, not from the
# environment). Unmounted when the scenario ends.
small_temp_drive() {
  if [[ $(id -u) != 0 ]]; then
    skip "mounting a small volume needs root"
    return 1
  fi
  small=$dir/small
  mkdir -p "$small"
  mount -t tmpfs -o "size=$1k" tmpfs "$small" || { fail "cannot mount a tmpfs"; return 1; }
  trap 'wine_stop_prefix "$prefix"; umount "$small" 2>/dev/null || umount -l "$small"' EXIT
  ln -s "$small" "$prefix/dosdevices/t:"
  set_temp 'T:\'
}

set_temp() {
  local v
  for v in TEMP TMP; do
    "$WINE" reg add 'HKCU\Environment' /v $v /d "$1" /f </dev/null >/dev/null 2>&1 ||
      fail "cannot set $v"
  done
}

# The set does not fit: the free-space dialog names the folder. OK with the
# same folder asks again; Exit leaves before anything is copied.
sc_floppy_temp_too_small() {
  have_floppy_sets || return 0
  small_temp_drive 1024 || return 0
  medium=$dir/floppy
  link_medium big-set
  snapshot_temp "$small"
  local SETUP_RUN_TIMEOUT=40
  setup_start
  local p=(--pid-file "$(winpath "$dir/pid")") caption="No free disk space"
  ui "${p[@]}" wait "$caption" >"$dir/space.out"
  local block
  block=$(dump_block "$dir/space.out" 1)
  grep -q '^edit: 1014 style=0x[0-9A-F]* T:\\$' <<<"$block" ||
    fail "path field: [$(grep '^edit:' <<<"$block")]"
  grep -q '^static: -\?[0-9]* You have no enough free space for temporary files$' <<<"$block" ||
    fail "dialog text missing"
  expect_eq "buttons" "$(grep '^button:' <<<"$block" | sed 's/^button: //' | tr '\n' ',')" \
    "1 OK,2 Exit,1015 Change,"
  local style
  style=$(sed -n 's/^style: //p' <<<"$block")
  # DS_SYSMODAL is read from the style: Wine does not make such a dialog
  # topmost.
  (((style & 0x90C80082) == 0x90C00082)) ||
    fail "free-space dialog style $style: not a visible, captioned, system-modal popup with a modal frame and no system menu"
  local first
  first=$(sed -n 's/^window: \([^ ]*\) .*/\1/p' <<<"$block")
  ui "${p[@]}" press "$caption" OK >>"$dir/ui.out"
  local i again=
  for ((i = 0; i < 40; i++)); do
    ui "${p[@]}" list >"$dir/list.out"
    again=$(awk -v f="$first" -v c="caption: $caption" '/^window:/ {w = $2} $0 == c && w != f {print w}' \
      "$dir/list.out")
    [[ -n $again ]] && grep -q '^edit: 1014 .* T:\\$' "$dir/list.out" && break
    sleep 0.2
  done
  [[ -n $again ]] || fail "OK with a folder still too small did not ask again"
  ui "${p[@]}" press "$caption" Exit >>"$dir/ui.out"
  setup_finish
  expect_code 1602
  expect_temp_clean "$small"
}

sc_floppy_temp_missing() {
  [[ -d $work/pkgs/floppy-set ]] || { skip "mkdiskset was not built"; return 0; }
  medium=$dir/floppy
  link_medium floppy-set
  set_temp 'C:\no\such\folder'
  setup_run --answer
  expect_code 1603
  expect_message_box "Installation Error" "Error determining free disk space. Installation failed."
  [[ ! -e $prefix/drive_c/no ]] || fail "the missing folder was created"
}

# The volume passes the check, then fills while the copy waits for disk 2:
# the next chunk finds no room (message 11) and the copy fails (message 9).
sc_floppy_volume_fills() {
  [[ -d $work/pkgs/floppy-set ]] || { skip "mkdiskset was not built"; return 0; }
  local total
  total=$(awk -F, '$1 ~ /^[0-9]+$/ {s += $3} END {print s}' "$work/pkgs/floppy-set/Files.id")
  small_temp_drive $(((total + 100000) / 1024 + 256)) || return 0
  medium=$dir/floppy
  link_medium floppy-set Disk.2
  snapshot_temp "$small"
  setup_start --answer
  ui --pid-file "$(winpath "$dir/pid")" wait "$PROMPT" >"$dir/prompt.out" || fail "no prompt for disk 2"
  [[ -n $(extraction_folders "$small") ]] || fail "no extraction folder on the small volume"
  head -c $((64 * 1024 * 1024)) /dev/zero >"$small/fill" 2>/dev/null
  echo "free on T: after filling: $(df -B1 --output=avail "$small" | tail -n 1) bytes" >>"$dir/notes"
  ln -s "$work/pkgs/floppy-set/Disk.2" "$medium/Disk.2"
  ui --pid-file "$(winpath "$dir/pid")" press "$PROMPT" Retry >>"$dir/ui.out"
  setup_finish
  expect_code 1603
  expect_error_boxes "Installation Error|Not enough free space for temporary files." "$MSG9"
  rm -f "$small/fill"
  expect_temp_clean "$small"
}

# A manifest entry that climbs out of the extraction folder, names a drive
# or names a device, fails the copy before anything is written, and the file
# it names, put there beforehand, is left alone.
sc_floppy_unsafe_manifest_path() {
  make_medium -
  printf 'HELLO' >"$medium/Disk.1"
  local t entry
  t=$(temp_dir)
  printf 'precious\n' >"$t/outside.txt"
  snapshot_temp
  for entry in '..\outside.txt' "$(temp_win)\\outside.txt" 'sub\NUL.txt' 'COM1'; do
    printf '1,%s,5\r\n' "$entry" >"$medium/Files.id"
    setup_run --answer
    echo "[$entry]: exit $code" >>"$dir/notes"
    expect_code 1603
    expect_error_boxes "$MSG9"
    [[ $(cat "$t/outside.txt") == precious ]] || fail "[$entry]: the file outside was changed or removed"
    expect_temp_clean
  done
}

# Two media at once: each run extracts into a folder of its own, neither
# touches the other's files, and both end cleanly.
sc_floppy_two_runs_at_once() {
  have_floppy_sets || return 0
  local a=$dir/a b=$dir/b
  medium=$a link_medium big-set
  medium=$b link_medium other-set
  snapshot_temp
  local n jobs=()
  for n in a b; do
    rm -f "$dir/$n.pid" "$dir/$n.exit"
    timeout $((SETUP_RUN_TIMEOUT + 30)) "$WINE" "$tools/uidriver.exe" -t "$SETUP_RUN_TIMEOUT" run \
      --pid-file "$(winpath "$dir/$n.pid")" --exit-file "$(winpath "$dir/$n.exit")" \
      "$(winpath "$dir/$n/SETUP.EXE")" >"$dir/$n.run" 2>&1 </dev/null &
    jobs+=($!)
  done
  for n in a b; do
    ui --pid-file "$(winpath "$dir/$n.pid")" wait "Language selection" >"$dir/$n.lang" ||
      fail "run $n did not reach the language dialog"
  done
  local st folders=0
  for st in $(extraction_folders); do
    ((folders++))
    if [[ -f $st/filler.bin ]]; then
      expect_extracted "$st" "$work/pkgs/big-medium"
    else
      expect_extracted "$st" "$work/pkgs/other-medium"
    fi
  done
  expect_eq "extraction folders while both runs wait" "$folders" 2
  for n in a b; do
    ui --pid-file "$(winpath "$dir/$n.pid")" close-controller >>"$dir/ui.out"
  done
  for n in 0 1; do wait "${jobs[$n]}"; done
  for n in a b; do
    expect_eq "exit code of run $n" "$(tr -d '\r\n' <"$dir/$n.exit" 2>/dev/null)" 1602
  done
  expect_temp_clean
}
