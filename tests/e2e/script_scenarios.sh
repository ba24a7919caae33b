# Names and texts in other scripts than the system's code page: one scenario
# per way a name used to turn into "?", plus the Japanese folder whose
# characters end in the byte of a backslash and an accented folder on a
# Windows 98 prefix (the ANSI functions). The Unix locale chooses Wine's ANSI
# code page: en_US 1252, ja_JP 932. Sourced by run.sh after scenarios.sh.

scenarios+=(
  script_medium_folder
  script_temp_folder
  script_installdir
  script_language_row
  script_files_id_name
  script_japanese_trail_byte_folder
  script_win98_accented_folder
)

# script_locale LOCALE ACP: runs the scenario's programs under LOCALE and
# proves that Wine's ANSI code page is then ACP. A locale the machine lacks
# (scripts/install-deps.sh generates them) is generated privately.
script_locale() {
  if locale -a 2>/dev/null | grep -qix "${1%%.*}\.utf-\?8"; then
    unset LOCPATH
  else
    mkdir -p "$work/locale"
    [[ -d $work/locale/$1 ]] || localedef -i "${1%%.*}" -f UTF-8 "$work/locale/$1" >/dev/null 2>&1
    export LOCPATH=$work/locale
  fi
  export LANG=$1 LC_ALL=$1
  ui sysinfo >"$dir/sysinfo.out"
  grep -q "^acp: $2\$" "$dir/sysinfo.out" ||
    fail "precondition: $1 gives code page $(sed -n 's/^acp: //p' "$dir/sysinfo.out"), not $2"
}

# The floppy route's progress dialog may be caught on screen: only message
# boxes count.
expect_no_message_box() {
  local boxes
  boxes=$(message_boxes "$dir/run.out")
  [[ -z $boxes ]] || fail "message box: $(grep -E '^(caption|text):' <<<"$boxes" | tr '\n' ' ')"
}

# A medium in a folder named in Cyrillic and Chinese installs (it used to
# end with message 4: the module path came back with "?").
sc_script_medium_folder() {
  script_locale en_US.UTF-8 1252
  medium="$dir/Дистрибутив/安装"
  make_medium std.msi 0009
  setup_run --answer
  expect_code 0
  expect_no_dialog
  expect_installed
}

# A temporary folder named in Cyrillic (a user profile of that name): the
# floppy route copies into it and installs (it used to end with message 10).
sc_script_temp_folder() {
  if [[ ! -d $work/pkgs/floppy-set ]]; then
    skip "mkdiskset was not built"
    return 0
  fi
  script_locale en_US.UTF-8 1252
  mkdir -p "$prefix/drive_c/Временные файлы"
  local name
  for name in TEMP TMP; do
    "$WINE" reg add 'HKCU\Environment' /v "$name" /d 'C:\Временные файлы' /f \
      </dev/null >/dev/null 2>&1 || fail "cannot set $name"
  done
  wine_stop_prefix "$prefix"  # the next process reads the environment anew
  medium=$dir/floppy
  link_medium floppy-set
  snapshot_temp "$prefix/drive_c/Временные файлы"
  setup_run --answer
  expect_code 0
  expect_no_message_box
  expect_installed
  expect_log "prereq.exe|"
  expect_temp_clean "$prefix/drive_c/Временные файлы"
}

# An installation folder named in Cyrillic reaches msiexec intact and the
# product lands there (msiexec used to get C:\?????????\App and end with 1603).
sc_script_installdir() {
  script_locale en_US.UTF-8 1252
  make_medium std.msi 0009
  setup_run --answer '/wi:INSTALLDIR=C:\Программы\App'
  expect_code 0
  expect_no_dialog
  expect_installed "$prefix/drive_c/Программы/App"
}

# A package in code page 932 names its Japanese row in Japanese: the language
# dialog of a 1252 system shows it as stored (it used to show "???"), and the
# choice installs with that row's transform.
sc_script_language_row() {
  script_locale en_US.UTF-8 1252
  make_medium - 0007 0011
  cp "$work/pkgs/base.msi" "$medium/Product.msi"
  printf '\n\n932\t_ForceCodepage\n' >"$dir/_ForceCodepage.idt"
  printf 'Lang0011\t日本語\nLang0007\tDeutsch\n' | uitext_idt >"$dir/ja.idt"
  msibuild "$medium/Product.msi" -i "$dir/_ForceCodepage.idt" &&
    msibuild "$medium/Product.msi" -i "$dir/ja.idt" || fail "cannot build the 932 package"
  mkdir -p "$dir/cwd"
  setup_start --cwd "$dir/cwd" /l
  ui --pid-file "$(winpath "$dir/pid")" wait "Language selection" >"$dir/ui.out"
  expect_eq "entries" "$(dump_block "$dir/ui.out" 1 | sed -n 's/^entry: [0-9]* //p' | tr '\n' ',')" \
    "Deutsch,日本語,"
  ui select "Language selection" 1000 日本語 >>"$dir/ui.out"
  ui press "Language selection" OK >>"$dir/ui.out"
  setup_finish
  expect_code 0
  expect_installed
  expect_line "$dir/cwd/setup.log" "Property(S): TRANSFORMS = $(winpath "$medium")\\0011_l.mst" \
    "installer log"
}

# A set split by mkdiskset names a prerequisite Café.exe: it is created and
# run under that name (it used to be CafÃ©.exe, the UTF-8 bytes read as 1252).
sc_script_files_id_name() {
  local native=${SETUP_BUILD_DIR:-$root/build}/native/tools/mkdiskset/mkdiskset
  if [[ ! -x $native ]]; then
    skip "the native mkdiskset was not built"
    return 0
  fi
  script_locale en_US.UTF-8 1252
  local src=$dir/src
  mkdir -p "$src/Bootstrap"
  cp "$setup_exe" "$src/SETUP.EXE"
  cp "$work/pkgs/std.msi" "$src/Setup.msi"
  cp "$work/pkgs/empty.mst" "$src/0009_l.mst"
  cp "$tools/bootprog.exe" "$src/Bootstrap/Café.exe"
  "$native" split "$src" "$dir/set" --flat >"$dir/split.out" 2>&1 || fail "split: $(cat "$dir/split.out")"
  medium=$dir/set
  setup_run --answer
  expect_code 0
  expect_no_message_box
  expect_installed
  expect_log "Café.exe|"
}

# On a Japanese system (code page 932) a medium in a folder whose characters
# end in the byte 0x5C of a backslash (表 is 95 5C, ソ is 83 5C) installs.
sc_script_japanese_trail_byte_folder() {
  script_locale ja_JP.UTF-8 932
  medium="$dir/表/ソ"
  make_medium std.msi 0009
  setup_run --answer /s
  expect_code 0
  expect_installed
}

# Windows 98 (Wine's version setting): the ANSI functions, with a medium in a
# folder whose name has an accented letter of the 1252 code page.
sc_script_win98_accented_folder() {
  script_locale en_US.UTF-8 1252
  "$WINE" reg add 'HKCU\Software\Wine' /v Version /d win98 /f </dev/null >/dev/null 2>&1
  ui sysinfo >"$dir/sysinfo.out"
  grep -q '^version: platform=1 ' "$dir/sysinfo.out" ||
    fail "precondition: not the 9x family: $(grep '^version' "$dir/sysinfo.out")"
  medium="$dir/Société"
  make_medium std.msi 0009
  add_program Bootstrap/prereq.exe
  setup_run --answer
  expect_code 0
  expect_no_dialog
  expect_installed
  expect_log "prereq.exe|"
}
