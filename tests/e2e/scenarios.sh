# The end-to-end scenarios. Each sc_NAME runs in its own copy of the template
# prefix (see run_scenario in lib.sh); the user is English unless it says
# otherwise. Exit codes: msiexec's own code when it ran, 1603 after one of the
# bootstrapper's messages, 1602 when the user left before the installation,
# 1604 after the engine update.

scenarios=(
  german_default_transform
  renamed_program
  english_user_chooses_language
  close_language_dialog
  single_language_no_dialog
  no_language_rows
  silent_takes_english_row
  silent_without_english_row
  failing_package
  missing_transform
  bootstrap_arguments_and_msi_folders
  bootstrap_failure_stops_walk
  bootstrap_program_cannot_start
  bootstrap_program_asks_for_restart
  bootstrap_package_installed
  installdir_with_blank_and_log
  log_from_read_only_medium
  engine_update_winnt
  engine_update_win9x
  no_package
  msiexec_cannot_start
  msiexec_exit_3010
  msiexec_exit_1602
  msiexec_exact_arguments
  floppy_set_installs
  floppy_disk_refused
  floppy_unreadable_manifest
)

# The product is installed in the user's language when its transform lies
# beside the package: no question asked, even though three are offered. On
# the sample medium, whose transforms mkmst made from the language builds,
# that is the German product: its folder, and its name among the installed
# programs.
sc_german_default_transform() {
  german_user
  cp -a "$work/pkgs/sample" "$medium"
  mkdir -p "$dir/cwd"
  setup_run --answer --cwd "$dir/cwd" /l
  expect_code 0
  expect_no_dialog
  expect_product Beispielprodukt Beispielprodukt
  expect_eq "comment among the installed programs" "$(installed_program Comments)" \
    "Vom Beispielmedium für Sie installiert"
  expect_not_installed
  expect_log "prereq.exe|"
  expect_line "$dir/cwd/setup.log" "Property(S): TRANSFORMS = $(winpath "$medium")\\0007_l.mst" \
    "installer log"
}

# Vendors rename the program: its own folder is still the medium, with the
# transforms and the Bootstrap folder beside it.
sc_renamed_program() {
  german_user
  make_medium std.msi 0007 0009
  add_program Bootstrap/prereq.exe
  mv "$medium/SETUP.EXE" "$medium/MySetup.exe"
  setup_name=MySetup.exe setup_run --answer
  expect_code 0
  expect_no_dialog
  expect_installed
  expect_log "prereq.exe|"
}

# No transform for English: the user picks from the offered languages, shown
# sorted with the first preselected, and the choice decides the transform.
sc_english_user_chooses_language() {
  make_medium three.msi 0007 0010 0012
  mkdir -p "$dir/cwd"
  setup_start --cwd "$dir/cwd" /l
  ui --pid-file "$(winpath "$dir/pid")" wait "Language selection" >"$dir/ui.out"
  local block
  block=$(dump_block "$dir/ui.out" 1)
  if [[ -z $block ]]; then
    fail "no language dialog"
  else
    grep -q '^static: -\?[0-9]* Please select the language :$' <<<"$block" || fail "prompt text missing"
    expect_eq "entries" "$(sed -n 's/^entry: [0-9]* //p' <<<"$block" | tr '\n' ',')" "Deutsch,Espanol,Francais,"
    grep -q '^combo: 1000 .* count=3 sel=0$' <<<"$block" || fail "combo 1000 not preselected on entry 0: $(grep '^combo:' <<<"$block")"
    expect_eq "buttons" "$(grep '^button:' <<<"$block" | tr '\n' ',')" "button: 1 OK,"
    local style exstyle cstyle
    style=$(sed -n 's/^style: //p' <<<"$block")
    exstyle=$(sed -n 's/^exstyle: //p' <<<"$block")
    cstyle=$(sed -n 's/^combo: 1000 style=\(0x[0-9A-F]*\) .*/\1/p' <<<"$block")
    (((style & 0x00080000) == 0)) || fail "dialog has a system menu (style $style)"
    (((style & 0x00C00000) == 0x00C00000)) || fail "dialog has no caption bar (style $style)"
    (((exstyle & 0x1) != 0)) || fail "dialog has no modal frame (exstyle $exstyle)"
    (((cstyle & 0x3) == 0x3)) || fail "list is not a drop-down list (style $cstyle)"
    (((cstyle & 0x100) != 0)) || fail "list is not sorted (style $cstyle)"
    # The scroll bar is not checked: Wine's combo and list boxes drop
    # WS_VSCROLL from their window styles and show the bar only when needed.
  fi
  ui select "Language selection" 1000 Francais >>"$dir/ui.out"
  ui press "Language selection" OK >>"$dir/ui.out"
  ui gone "Language selection" >>"$dir/ui.out" || fail "the language dialog stayed after OK"
  setup_finish
  expect_code 0
  expect_installed
  expect_line "$dir/cwd/setup.log" "Property(S): TRANSFORMS = $(winpath "$medium")\\0012_l.mst" \
    "installer log"
}

# Closing the hidden controller while the language dialog waits ends the run
# before anything is installed: the user left.
sc_close_language_dialog() {
  make_medium three.msi 0007 0010 0012
  fake_msiexec 0
  setup_start
  ui --pid-file "$(winpath "$dir/pid")" wait "Language selection" >"$dir/ui.out"
  ui --pid-file "$(winpath "$dir/pid")" close-controller >>"$dir/ui.out"
  setup_finish
  expect_code 1602
  expect_log
}

# One language on offer: taken without a question.
sc_single_language_no_dialog() {
  make_medium single.msi 0012
  mkdir -p "$dir/cwd"
  setup_run --answer --cwd "$dir/cwd" /l
  expect_code 0
  expect_no_dialog
  expect_installed
  expect_line "$dir/cwd/setup.log" "Property(S): TRANSFORMS = $(winpath "$medium")\\0012_l.mst" \
    "installer log"
}

# A package without language rows ("lang0009" in lower case is not one):
# nothing to choose from.
sc_no_language_rows() {
  make_medium nolang.msi 0012
  fake_msiexec 0
  setup_run --answer
  expect_message_box "Installation Error" "No availiable language found."
  expect_code 1603
  expect_log
}

# Unattended, the language named "English" is taken; the German user has no
# transform of his own here, so the row decides.
sc_silent_takes_english_row() {
  german_user
  make_medium std.msi 0009 0012
  add_program Bootstrap/prereq.exe
  mkdir -p "$dir/cwd"
  setup_run --answer --cwd "$dir/cwd" /s /l
  expect_code 0
  expect_no_dialog
  expect_installed
  expect_log "prereq.exe|/q"
  expect_line "$dir/cwd/setup.log" "Property(S): TRANSFORMS = $(winpath "$medium")\\0009_l.mst" \
    "installer log"
}

# Unattended without an "English" row ("english" does not count): the
# prerequisites still run, then the run stops with a message.
sc_silent_without_english_row() {
  make_medium noenglish.msi 0007 0012
  add_program Bootstrap/prereq.exe
  fake_msiexec 0
  setup_run --answer /s
  expect_message_box "Installation Error" "A wrong language was selected"
  expect_code 1603
  expect_log "prereq.exe|/q"
}

# The installer shows the package's own error first; the user confirms it,
# then the bootstrapper reports the failed installation.
sc_failing_package() {
  make_medium fail.msi 0009
  setup_start --answer
  ui --text "Planned failure of the test package" press Error OK >"$dir/ui.out" ||
    fail "the installer's own error message did not appear"
  setup_finish
  expect_message_box "Installation Error" "Fatal error during installation."
  expect_code 1603
  expect_not_installed
}

# The chosen language has no transform: nothing is installed and msiexec is
# never started (the stand-in would have logged it).
sc_missing_transform() {
  make_medium std.msi 0007 0012
  fake_msiexec 0
  setup_run --answer /s
  expect_message_box "Installation Error" "Language not found. Installation is impossible."
  expect_code 1603
  expect_log
}

# Every program below Bootstrap\ runs, in listing order, with the argument of
# the switch; Msi folders at any depth and in any letter case are skipped.
sc_bootstrap_arguments_and_msi_folders() {
  make_medium std.msi 0009
  add_program Bootstrap/a_first.exe
  add_program Bootstrap/Msi/WinNT/skipped_engine.exe
  add_program Bootstrap/Tools/b_tool.exe
  add_program Bootstrap/Tools/msi/skipped_lower.exe
  add_program Bootstrap/Tools/Deep/MSI/skipped_upper.exe
  add_program Bootstrap/Tools/Deep/c_deep.EXE
  add_program Bootstrap/z_last.exe
  cp "$root/sample/readme.txt" "$medium/Bootstrap/notes.txt"
  cp "$tools/bootprog.exe" "$medium/Bootstrap/not_a_program"
  fake_msiexec 0
  local switch arg
  local pkg
  pkg="/I \"$(winpath "$medium")\\Product.msi\" TRANSFORMS=\"$(winpath "$medium")\\0009_l.mst\""
  for switch in "" /s /es; do
    case $switch in
      "") arg="" ;;
      /s) arg=/q ;;
      /es) arg=/eq ;;
    esac
    rm -f "$blog"
    setup_run --answer $switch
    echo "switch [$switch]: exit $code" >>"$dir/notes"
    expect_code 0
    expect_no_dialog
    local ms=" $pkg"
    [[ -n $switch ]] && ms=" /qr SILENT=TRUE $pkg"
    expect_log "a_first.exe|$arg" "b_tool.exe|$arg" "c_deep.EXE|$arg" "z_last.exe|$arg" "msiexec.exe|$ms"
  done
}

# A prerequisite that fails stops the walk, but the product is installed.
sc_bootstrap_failure_stops_walk() {
  make_medium std.msi 0009
  add_program Bootstrap/a_ok.exe
  add_program Bootstrap/b_exit1.exe
  add_program Bootstrap/c_after.exe
  setup_run --answer
  expect_code 0
  expect_no_dialog
  expect_log "a_ok.exe|" "b_exit1.exe|"
  expect_installed
}

# A program that cannot be started at all ends the walk like a failing one,
# quietly, and the product is still installed.
sc_bootstrap_program_cannot_start() {
  make_medium std.msi 0009
  add_program Bootstrap/a_ok.exe
  cp "$root/sample/readme.txt" "$medium/Bootstrap/b_not_a_program.exe"
  add_program Bootstrap/c_after.exe
  setup_run --answer
  expect_code 0
  expect_no_dialog
  expect_log "a_ok.exe|"
  expect_installed
}

# 3010 is a prerequisite's success that needs a restart: the walk goes on,
# and the restart it owes becomes the run's exit code after the product's
# successful installation.
sc_bootstrap_program_asks_for_restart() {
  make_medium std.msi 0009
  add_program Bootstrap/a_exit3010.exe
  add_program Bootstrap/b_after.exe
  setup_run --answer
  expect_code 3010
  expect_no_dialog
  expect_log "a_exit3010.exe|" "b_after.exe|"
  expect_installed
}

# A package in Bootstrap\ is installed in-process, and the product as well.
sc_bootstrap_package_installed() {
  make_medium std.msi 0009
  mkdir -p "$medium/Bootstrap"
  cp "$work/pkgs/runtime.msi" "$medium/Bootstrap/Runtime.msi"
  setup_run --answer
  expect_code 0
  expect_no_dialog
  expect_installed
  local pf
  pf=$(dirname "$(dirname "$(product_file)")")
  [[ -f "$pf/Sample Runtime/runtime.txt" ]] || fail "the Bootstrap package was not installed"
}

# A property with a blank reaches the installer whole; the verbose log is
# written to the current folder, not beside the package.
sc_installdir_with_blank_and_log() {
  make_medium std.msi 0009
  mkdir -p "$dir/work folder"
  setup_run --answer --cwd "$dir/work folder" '/wi:INSTALLDIR=C:\Custom Apps\Sample' /l
  expect_code 0
  expect_no_dialog
  expect_installed "$prefix/drive_c/Custom Apps/Sample"
  [[ -f "$dir/work folder/setup.log" ]] || fail "no setup.log in the current folder"
  [[ ! -e $medium/setup.log ]] || fail "setup.log written beside the package"
  expect_line "$dir/work folder/setup.log" 'Property(S): INSTALLDIR = C:\Custom Apps\Sample\' "installer log"
}

# A CD as the current folder, as Explorer starts SETUP.EXE from it, with /l:
# setup.log cannot be created there, so the log goes to the temporary folder
# (Windows Installer would end with 1622 before installing anything; Wine's
# msiexec passes over a log it cannot create, so where the log lands is what
# shows). The CD is a FAT image served read-only by fusefat as drive E: of
# type cdrom.
sc_log_from_read_only_medium() {
  [[ -e /dev/fuse ]] || { skip "no /dev/fuse on this machine: no read-only medium can be mounted"; return 0; }
  local tool
  for tool in fusefat mkfs.fat mcopy; do
    command -v "$tool" >/dev/null || { skip "$tool is not installed: no read-only medium can be mounted"; return 0; }
  done
  medium=$dir/src
  make_medium std.msi 0009
  mkfs.fat -C "$dir/cd.img" 8192 >"$dir/mkfs.out" 2>&1 && mcopy -i "$dir/cd.img" "$medium"/* ::/ ||
    { fail "cannot make the CD image: $(cat "$dir/mkfs.out")"; return 0; }
  cd_root=$dir/cdrom  # not local: the trap unmounts it when the scenario ends
  mkdir -p "$cd_root"
  trap 'fusermount -u -z "$cd_root" 2>/dev/null' EXIT
  fusefat -o ro "$dir/cd.img" "$cd_root" >"$dir/fusefat.out" 2>&1 || { skip "fusefat cannot mount here"; return 0; }
  local i
  for ((i = 0; i < 50; i++)); do [[ -e $cd_root/SETUP.EXE ]] && break; sleep 0.1; done
  [[ -e $cd_root/SETUP.EXE ]] || { fail "the CD image did not appear"; return 0; }
  ! touch "$cd_root/probe" 2>/dev/null || fail "precondition: the CD is writable"
  ln -sfn "$cd_root" "$prefix/dosdevices/e:"
  "$WINE" reg add 'HKLM\Software\Wine\Drives' /v 'e:' /d cdrom /f </dev/null >/dev/null 2>&1

  rm -f "$dir/exit" "$dir/pid"
  timeout $((SETUP_RUN_TIMEOUT + 30)) "$WINE" "$tools/uidriver.exe" -t "$SETUP_RUN_TIMEOUT" run \
    --answer OK --cwd 'E:\' --pid-file "$(winpath "$dir/pid")" --exit-file "$(winpath "$dir/exit")" \
    'E:\SETUP.EXE' /l /s >"$dir/run.raw" 2>&1 </dev/null &
  setup_job=$!
  setup_finish
  expect_code 0
  expect_no_dialog
  expect_installed
  local log
  log=$(temp_dir)/setup.log
  if [[ -f $log ]]; then
    expect_line "$log" 'Property(S): SILENT = TRUE' "installer log"
  else
    fail "no setup.log in the temporary folder ($(temp_win))"
  fi
}

# An engine older than 2.0: the update programs of the platform's folder run
# (every one, whatever its exit code), nothing else happens, 1604 says "run
# setup again".
engine_update_medium() {
  make_medium std.msi 0009
  add_program Bootstrap/prereq.exe
  add_program Bootstrap/Msi/WinNT/nt_a.exe
  add_program Bootstrap/Msi/WinNT/nt_b_exit1.exe
  add_program Bootstrap/Msi/WinNT/nt_c.exe
  add_program Bootstrap/Msi/WinNT/Sub/nt_nested.exe
  cp "$root/sample/readme.txt" "$medium/Bootstrap/Msi/WinNT/notes.txt"
  add_program Bootstrap/Msi/Win9X/w9x_a.exe
}

sc_engine_update_winnt() {
  engine_update_medium
  old_engine
  ui sysinfo >"$dir/sysinfo.out"
  grep -q '^msi.dll: 1.20.1827.0$' "$dir/sysinfo.out" ||
    fail "precondition: msi.dll does not read 1.20.1827.0: $(grep msi.dll "$dir/sysinfo.out")"
  setup_run --answer
  expect_code 1604
  expect_no_dialog
  expect_log "nt_a.exe|" "nt_b_exit1.exe|" "nt_c.exe|"
  expect_not_installed
}

sc_engine_update_win9x() {
  engine_update_medium
  old_engine
  "$WINE" reg add 'HKCU\Software\Wine' /v Version /d win98 /f >/dev/null 2>&1
  ui sysinfo >"$dir/sysinfo.out"
  if ! grep -q '^version: platform=1 ' "$dir/sysinfo.out"; then
    skip "a win98 prefix does not report the 9x platform here: $(grep '^version' "$dir/sysinfo.out")"
    return 0
  fi
  setup_run --answer
  expect_code 1604
  expect_no_dialog
  expect_log "w9x_a.exe|"
  expect_not_installed
}

sc_no_package() {
  make_medium - 0009
  setup_run --answer
  expect_message_box "Installation Error" "Installation package not found"
  expect_code 1603
}

# Without msiexec.exe the launch fails: message 2, and the run counts as a
# failed installation.
sc_msiexec_cannot_start() {
  make_medium std.msi 0009
  rm -f "$(wine_system_folder "$prefix")/msiexec.exe"
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;msiexec.exe=n"
  setup_run --answer
  expect_message_box "Installation Error" \
    "Windows Installer 2.0 service not found or version wrong. Installation is impossible."
  expect_code 1603
  expect_not_installed
}

# msiexec's exit code is passed on unchanged and told in words.
sc_msiexec_exit_3010() {
  make_medium std.msi 0009
  fake_msiexec 3010
  setup_run --answer
  expect_message_box "Installation Error" "A reboot is required to complete the install."
  expect_code 3010
}

sc_msiexec_exit_1602() {
  make_medium std.msi 0009
  fake_msiexec 1602
  setup_run --answer
  expect_message_box "Error" "Critical unexpected error!"
  expect_code 1602
}

# The installer's command line, byte for byte, with every switch at once and
# a medium folder with a blank in its name.
sc_msiexec_exact_arguments() {
  medium="$dir/CD ROM"
  make_medium std.msi 0009
  fake_msiexec 0
  setup_run --answer /l /s 'C:\Apps' 'wi:INSTALLDIR=C:\X' 'wi:COMPANY=Sample Maker'
  expect_code 0
  expect_no_dialog
  local m
  m=$(winpath "$medium")
  expect_log "msiexec.exe| /lv setup.log /qr SILENT=TRUE SILENT_INSTALL_PATH=\"C:\\Apps\" /I \"$m\\Product.msi\" TRANSFORMS=\"$m\\0009_l.mst\" INSTALLDIR=\"C:\\X\" COMPANY=\"Sample Maker\""

  # A double quote inside a value is doubled, so it cannot end the value.
  rm -f "$blog"
  setup_run --answer /s 'D:\Say "Q"' 'wi:NOTE=say "hi"'
  expect_code 0
  expect_log "msiexec.exe| /qr SILENT=TRUE SILENT_INSTALL_PATH=\"D:\\Say \"\"Q\"\"\" /I \"$m\\Product.msi\" TRANSFORMS=\"$m\\0009_l.mst\" NOTE=\"say \"\"hi\"\"\""
}

# The floppy route: a set of many volumes is joined into a fresh folder in
# the temporary folder under the progress dialog, whose label follows the
# disks and whose Total bar spans the whole set; the run waits at the
# language dialog with every file extracted; the product and the
# prerequisite are installed from there, and nothing is left afterwards.
sc_floppy_set_installs() {
  if [[ ! -d $work/pkgs/big-set ]]; then
    skip "mkdiskset was not built"
    return 0
  fi
  medium=$dir/floppy
  link_medium big-set
  mkdir -p "$dir/cwd"
  snapshot_temp
  local volumes total
  volumes=$(ls "$medium"/Disk.* | wc -l)
  total=$(awk -F, '$1 ~ /^[0-9]+$/ {s += $3} END {print s}' "$medium/Files.id")
  setup_start --cwd "$dir/cwd" /l
  "$WINE" "$tools/uidriver.exe" -t "$UI_TIMEOUT" --pid-file "$(winpath "$dir/pid")" \
    watch "Extracting files ..." 1016 1011 </dev/null >"$dir/watch.raw" 2>&1
  tr -d '\r' <"$dir/watch.raw" >"$dir/watch.out"
  local block
  block=$(dump_block "$dir/watch.out" 1)
  if [[ -z $block ]]; then
    fail "no progress dialog: $(tr '\n' ' ' <"$dir/watch.out")"
  else
    local style
    style=$(sed -n 's/^style: //p' <<<"$block")
    (((style & 0x90C80080) == 0x90C00080)) ||
      fail "progress dialog style $style: not a visible captioned popup with a modal frame and no system menu"
    expect_eq "progress dialog buttons" "$(grep '^button:' <<<"$block" | sed 's/^button: -\?[0-9]* //' | tr '\n' ',')" \
      "Total ,Current Disk,Exit,"
    grep -q '^button: 1013 Exit$' <<<"$block" || fail "no Exit button 1013"
    # The first dump may come several disks late on a loaded machine (a disk
    # takes some 40 ms); the unit tests show that the label starts at 1.
    grep -Eq '^static: 1016 Disk Number:     [0-9]+$' <<<"$block" ||
      fail "first label: [$(grep '^static: 1016' <<<"$block")]"
    local s1011 s1012
    s1011=$(sed -n 's/^progress: 1011 style=\(0x[0-9A-F]*\) .*/\1/p' <<<"$block")
    s1012=$(sed -n 's/^progress: 1012 style=\(0x[0-9A-F]*\) .*/\1/p' <<<"$block")
    [[ -n $s1011 ]] && (((s1011 & 0x5) == 0x5)) || fail "Total bar 1011 not vertical and smooth: [$s1011]"
    [[ -n $s1012 ]] && (((s1012 & 0x5) == 0x1)) || fail "disk bar 1012 not horizontal and smooth: [$s1012]"
  fi
  # The label counts up through the disks to the last one.
  local labels
  labels=$(sed -n 's/^t=[0-9]* 1016 Disk Number:     \([0-9]*\)$/\1/p' "$dir/watch.out" | tr '\n' ' ')
  echo "labels seen: $labels; $(grep '^shown:' "$dir/watch.out")" >>"$dir/notes"
  sort -n -c <<<"$(tr ' ' '\n' <<<"$labels" | sed '/^$/d')" 2>/dev/null || fail "label went backwards: $labels"
  local last
  last=$(awk '{print $NF}' <<<"$labels")
  expect_eq "last disk in the label" "$last" "$volumes"
  [[ $(wc -w <<<"$labels") -ge 3 ]] || fail "label seen on fewer than three disks: $labels"
  local range
  range=$(sed -n 's/^t=[0-9]* 1011 [0-9]*\/0\.\.\([0-9]*\)$/\1/p' "$dir/watch.out" | tail -n 1)
  expect_eq "Total bar range" "$range" "$total"
  grep -q '^shown:' "$dir/watch.out" || fail "progress dialog did not go away"

  ui --pid-file "$(winpath "$dir/pid")" wait "Language selection" >"$dir/ui.out" ||
    fail "no language dialog after the copy"
  local st
  st=$(extraction_folders)
  if [[ $(wc -l <<<"$st") != 1 || -z $st ]]; then
    fail "expected one extraction folder, found [$st]"
  else
    expect_extracted "$st" "$work/pkgs/big-medium"
  fi
  # By position: under the C locale of this scenario a "ç" does not reach
  # the driver's command line. The entries are sorted: Deutsch, English,
  # Français.
  ui select "Language selection" 1000 '#2' >>"$dir/ui.out"
  expect_line "$dir/ui.out" "selected: 2 Français" "the French entry"
  ui press "Language selection" OK >>"$dir/ui.out"
  setup_finish
  expect_code 0
  [[ -z $(grep -E '^caption: (Installation Error|Error|Please Insert Disk)$' "$dir/run.out") ]] ||
    fail "unexpected message: $(grep -E '^(caption|text):' "$dir/run.out" | tr '\n' ' ')"
  expect_log "prereq.exe|"
  expect_installed
  [[ -n $st ]] && expect_line "$dir/cwd/setup.log" \
    "Property(S): TRANSFORMS = $(temp_win)\\$(basename "$st")\\0012_l.mst" "installer log"
  expect_temp_clean
}

# No volume beside the manifest: the user is asked for disk 1, cancels, and
# the copy fails.
sc_floppy_disk_refused() {
  make_medium -
  printf '1,Setup.msi,10240\r\n' >"$medium/Files.id"
  setup_start
  ui --pid-file "$(winpath "$dir/pid")" wait "Please Insert Disk" >"$dir/prompt.out"
  local block
  block=$(dump_block "$dir/prompt.out" 1)
  grep -q '^text: Please insert disk number 1 *$' <<<"$block" ||
    fail "disk prompt text: [$(sed -n 's/^text: //p' <<<"$block")]"
  expect_eq "disk prompt buttons" "$(grep '^button:' <<<"$block" | sed 's/^button: [0-9]* //' | tr '\n' ',')" \
    "&Retry,Cancel,"
  grep -q '^icon: [0-9]* question$' <<<"$block" || fail "disk prompt icon: [$(grep '^icon:' <<<"$block")]"
  ui --pid-file "$(winpath "$dir/pid")" press "Please Insert Disk" Cancel >>"$dir/ui.out"
  ui --pid-file "$(winpath "$dir/pid")" wait "Installation Error" >"$dir/box.out"
  ui --pid-file "$(winpath "$dir/pid")" press "Installation Error" OK >>"$dir/ui.out"
  setup_finish
  expect_message_box "Installation Error" "Error copying files from disks. Installation failed." \
    "$dir/box.out"
  expect_code 1603
}

# A manifest that cannot be read (here a folder of that name) fails the copy.
sc_floppy_unreadable_manifest() {
  make_medium std.msi 0009
  mkdir "$medium/Files.id"
  fake_msiexec 0
  setup_run --answer
  expect_message_box "Installation Error" "Error copying files from disks. Installation failed."
  expect_code 1603
  expect_log
}
