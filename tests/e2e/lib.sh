# Helpers of tests/e2e/run.sh: the display, the test packages, one scenario's
# prefix and medium, running and driving SETUP.EXE, and the checks.
# Expects from run.sh: root, work, tools, setup_exe, WINE, SETUP_ARCH.

# Bounds for every wait, in seconds.
SETUP_RUN_TIMEOUT=${SETUP_RUN_TIMEOUT:-120}
UI_TIMEOUT=${UI_TIMEOUT:-30}

start_xvfb() {
  if [[ -n ${SETUP_E2E_DISPLAY:-} ]]; then
    export DISPLAY=$SETUP_E2E_DISPLAY
    return 0
  fi
  local fifo=$work/xvfb.display
  : >"$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  local i
  for ((i = 0; i < 100; i++)); do
    if [[ -s $fifo ]]; then
      export DISPLAY=:$(tr -dc '0-9' <"$fifo")
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Writes a UIText table (Key, Text) from "key<TAB>text" lines on stdin.
uitext_idt() {
  printf 'Key\tText\ns72\tL255\nUIText\tKey\n'
  cat
}

# Test packages, built once per suite in $work/pkgs:
#   std.msi       Deutsch, English, Français (the sample product's rows), code
#                 page 1252
#   three.msi     Francais, Deutsch, Espanol in unsorted order, plus rows that
#                 must not be offered: a lower-case "lang" key, an empty name,
#                 an ordinary UIText row
#   noenglish.msi Deutsch, Francais and "english" in lower case
#   fail.msi      std.msi whose execution sequence raises an error
#   single.msi    Francais only
#   nolang.msi    no language row: an ordinary row and a lower-case "lang" key
#   runtime.msi   a prerequisite package with a file of its own
#   empty.mst     a transform that changes nothing (std.msi to itself)
#   de.msi        the German build of std.msi
#   ja-base.msi   the English build offering Deutsch, English and Japanese
#                 (Lang0017), code page 1252
#   ja.msi        its Japanese build: code page 932, Japanese name and folder
#   0017_l.mst    the transform from ja-base.msi to ja.msi
#   sample/       the sample medium (scripts/make-sample-medium.sh): the one
#                 command's CD folder (package Setup.msi, the real German,
#                 English and French transforms) with Wine's SETUP.EXE and
#                 test stand-ins
# Every transform is made with the native mkmst.
build_packages() {
  local p=$work/pkgs
  mkdir -p "$p"
  (cd "$root/sample" && wixl -o "$p/base.msi" Product.wxs) || return 1

  bash "$root/scripts/sample-package.sh" en-US "$p/std.msi" || return 1
  bash "$root/scripts/sample-package.sh" de-DE "$p/de.msi" || return 1
  sample_product_code=$(msiinfo export "$p/std.msi" Property | tr -d '\r' |
    awk -F'\t' '$1 == "ProductCode" {print $2}')
  build_japanese || return 1

  printf 'Lang0012\tFrancais\nbytes\tbytes\nLang0007\tDeutsch\nlang0099\tZulu\nLang0005\t\nLang0010\tEspanol\n' |
    uitext_idt >"$p/three.idt"
  cp "$p/base.msi" "$p/three.msi"
  msibuild "$p/three.msi" -i "$p/three.idt" || return 1

  printf 'Lang0007\tDeutsch\nLang0012\tFrancais\nLang0009\tenglish\n' | uitext_idt >"$p/noenglish.idt"
  cp "$p/base.msi" "$p/noenglish.msi"
  msibuild "$p/noenglish.msi" -i "$p/noenglish.idt" || return 1

  printf 'Lang0012\tFrancais\nbytes\tbytes\n' | uitext_idt >"$p/single.idt"
  cp "$p/base.msi" "$p/single.msi"
  msibuild "$p/single.msi" -i "$p/single.idt" || return 1

  printf 'bytes\tbytes\nlang0009\tEnglish\n' | uitext_idt >"$p/nolang.idt"
  cp "$p/base.msi" "$p/nolang.msi"
  msibuild "$p/nolang.msi" -i "$p/nolang.idt" || return 1

  (cd "$root/tests/e2e" && wixl -o "$p/runtime.msi" Runtime.wxs) || return 1

  # Type 19: show the error text and end the installation with failure.
  cp "$p/std.msi" "$p/fail.msi"
  msibuild "$p/fail.msi" \
    -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('PlannedFailure', 19, '', 'Planned failure of the test package')" \
    -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('PlannedFailure', '', 1100)" ||
    return 1

  "$mkmst" "$p/std.msi" "$p/std.msi" "$p/empty.mst" >"$p/mkmst.log" 2>&1 || { cat "$p/mkmst.log"; return 1; }
  bash "$root/scripts/make-sample-medium.sh" "$p/sample" "$SETUP_ARCH" >"$p/sample.log" 2>&1 ||
    { cat "$p/sample.log"; return 1; }
  build_floppy_set
}

# The Japanese pair: the English package with German, English and Japanese
# rows, in code page 1252, and its Japanese build. wixl writes a package in
# code page 0, which holds no Japanese, so the Japanese build is the English
# one moved to code page 932 and then given its strings (msibuild takes UTF-8
# and stores them in the package's code page). Code page 932 has no "ç", so
# the pair has no French row.
japanese_name=サンプル製品
build_japanese() {
  local p=$work/pkgs
  mkdir -p "$p/cp932"
  printf 'Lang0007\tDeutsch\nLang0009\tEnglish\nLang0017\tJapanese\n' | uitext_idt >"$p/ja.idt"
  bash "$root/scripts/build-package.sh" "$root/sample/Product.wxs" en-US "$p/ja-base.msi" "$p/ja.idt" &&
    bash "$root/scripts/set-codepage.sh" "$p/ja-base.msi" 1252 >/dev/null || return 1
  cp "$p/ja-base.msi" "$p/ja.msi"
  printf '\n\n932\t_ForceCodepage\n' >"$p/cp932/_ForceCodepage.idt"
  msibuild "$p/ja.msi" -i "$p/cp932/_ForceCodepage.idt" \
    -q "UPDATE \`Property\` SET \`Value\` = '$japanese_name' WHERE \`Property\` = 'ProductName'" \
    -q "UPDATE \`Property\` SET \`Value\` = '日本語版' WHERE \`Property\` = 'ARPCOMMENTS'" \
    -q "UPDATE \`Property\` SET \`Value\` = '1041' WHERE \`Property\` = 'ProductLanguage'" \
    -q "UPDATE \`Directory\` SET \`DefaultDir\` = '$japanese_name' WHERE \`Directory\` = 'INSTALLDIR'" \
    -q "UPDATE \`Feature\` SET \`Title\` = 'すべて' WHERE \`Feature\` = 'Complete'" || return 1
  msibuild "$p/ja.msi" -s "Sample Product" "Sample Maker" "Intel;1041" || return 1
  "$mkmst" "$p/ja-base.msi" "$p/ja.msi" "$p/0017_l.mst" >"$p/mkmst.log" 2>&1 || { cat "$p/mkmst.log"; return 1; }
}

# A floppy-disk set in one folder (as on a CD): the product as Setup.msi, the
# English transform and a prerequisite, cut into volumes of which the middle
# one holds parts of two files. Made with the project's own mkdiskset; left
# out, with a note, when that tool was not built.
build_floppy_set() {
  local mk=$build/tools/mkdiskset/mkdiskset.exe src=$work/pkgs/floppy-medium
  [[ -f $mk ]] || { echo "e2e: no $mk, floppy set scenarios will be skipped"; return 0; }
  mkdir -p "$src/Bootstrap"
  cp "$setup_exe" "$src/SETUP.EXE"
  cp "$work/pkgs/std.msi" "$src/Setup.msi"
  cp "$work/pkgs/empty.mst" "$src/0009_l.mst"
  cp "$tools/bootprog.exe" "$src/Bootstrap/prereq.exe"
  local disk=$(($(stat -c %s "$setup_exe") + 20480))
  WINEPREFIX=$work/template timeout 120 "$WINE" "$mk" split "$(winpath "$src")" \
    "$(winpath "$work/pkgs/floppy-set")" --flat --disk-size "$disk" \
    </dev/null >"$work/pkgs/mkdiskset.log" 2>&1 || { cat "$work/pkgs/mkdiskset.log"; return 1; }
  [[ -f $work/pkgs/floppy-set/Disk.3 ]] ||
    { echo "e2e: the floppy set has fewer than three volumes"; return 1; }
}

# --- one scenario -----------------------------------------------------------
# A scenario runs in a subshell with these set:
#   dir     its own folder, deleted afterwards
#   prefix  its copy of the template prefix (WINEPREFIX)
#   medium  the folder of SETUP.EXE (made by make_medium)
#   blog    the log the stand-in programs append to (SETUP_TEST_LOG)

new_prefix() {
  prefix=$dir/prefix
  cp -a "$work/template" "$prefix"
  export WINEPREFIX=$prefix
  # Start the prefix's server and services detached from every output.
  "$WINE" "$tools/uidriver.exe" sysinfo >/dev/null 2>&1 </dev/null
}

# make_medium PACKAGE [LANGCODE...]: SETUP.EXE, the package as Product.msi
# and an empty transform for each code. PACKAGE "-" leaves the package out.
make_medium() {
  local pkg=$1
  shift
  medium=${medium:-$dir/medium}
  mkdir -p "$medium"
  cp "$setup_exe" "$medium/SETUP.EXE"
  [[ $pkg != - ]] && cp "$work/pkgs/$pkg" "$medium/Product.msi"
  local code
  for code in "$@"; do cp "$work/pkgs/empty.mst" "$medium/${code}_l.mst"; done
}

# add_program RELATIVE-PATH: a stand-in program in the medium.
add_program() {
  mkdir -p "$(dirname "$medium/$1")"
  cp "$tools/bootprog.exe" "$medium/$1"
}

# Replaces the system's msiexec.exe by the stand-in, which logs its command
# line and exits with SETUP_TEST_EXIT. Wine prefers its own msiexec unless
# told otherwise.
fake_msiexec() {
  local sys
  sys=$(wine_system_folder "$prefix")
  rm -f "$sys/msiexec.exe"
  cp "$tools/bootprog.exe" "$sys/msiexec.exe"
  export SETUP_TEST_EXIT=${1:-0}
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;msiexec.exe=n"
}

# Puts a version 1.20 msi.dll in the system folder and makes Wine load it.
old_engine() {
  local sys
  sys=$(wine_system_folder "$prefix")
  rm -f "$sys/msi.dll"
  cp "$tools/oldmsi.dll" "$sys/msi.dll"
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;msi=n"
}

# Makes the scenario's user German (or French) and proves that Wine sees it so.
german_user() { locale_user 1031 "${german_env[@]}"; }
french_user() { locale_user 1036 "${french_env[@]}"; }
locale_user() {  # LANGID ENVIRONMENT...
  local id=$1
  shift
  export "$@"
  ui sysinfo >"$dir/sysinfo.out"
  grep -q "^langid: $id\$" "$dir/sysinfo.out" ||
    fail "precondition: the locale $LANG gives $(grep '^langid' "$dir/sysinfo.out"), not $id"
}

# Output goes to files, never into a pipe: a Wine process started first in a
# prefix leaves the server and its services holding whatever it had open.
ui() {
  timeout $((UI_TIMEOUT + 30)) "$WINE" "$tools/uidriver.exe" -t "$UI_TIMEOUT" "$@" \
    >"$dir/ui.tmp" 2>&1 </dev/null
  local status=$?
  tr -d '\r' <"$dir/ui.tmp"
  return $status
}

# setup_run [--answer] [--cwd DIR] [--station NAME] [ARG...]: runs SETUP.EXE
# to its end. With --answer every dialog it shows is dumped to $dir/run.out
# and answered with OK; with --station it runs on an invisible window
# station of its own. Sets $code to the full exit code ("timeout" when it had to be
# killed).
setup_run() {
  setup_start "$@"
  setup_finish
}

setup_start() {
  local answer=() cwd=$medium station=()
  while (($#)); do
    case $1 in
      --answer) answer=(--answer OK); shift ;;
      --cwd) cwd=$2; shift 2 ;;
      --station) station=(--station "$2"); shift 2 ;;
      *) break ;;
    esac
  done
  rm -f "$dir/exit" "$dir/pid"
  timeout $((SETUP_RUN_TIMEOUT + 30)) "$WINE" "$tools/uidriver.exe" -t "$SETUP_RUN_TIMEOUT" run \
    "${answer[@]}" "${station[@]}" --cwd "$(winpath "$cwd")" --pid-file "$(winpath "$dir/pid")" \
    --exit-file "$(winpath "$dir/exit")" "$(winpath "$medium/${setup_name:-SETUP.EXE}")" "$@" \
    >"$dir/run.raw" 2>&1 </dev/null &
  setup_job=$!
}

setup_finish() {
  wait "$setup_job"
  tr -d '\r' <"$dir/run.raw" >"$dir/run.out"
  code=$(tr -d '\r\n' <"$dir/exit" 2>/dev/null)
  [[ -n $code ]] || code="none"
  echo "SETUP.EXE exit code: $code" >>"$dir/notes"
}

# --- checks -------------------------------------------------------------------
# Each failed check appends a line to $dir/failures; the scenario fails when
# there is any.

fail() { echo "$*" >>"$dir/failures"; }

expect_eq() {  # DESCRIPTION ACTUAL EXPECTED
  [[ $2 == "$3" ]] || fail "$1: got [$2], expected [$3]"
}

expect_code() { expect_eq "exit code" "$code" "$1"; }

# Lines of one dialog dump (the Nth in FILE, from 1).
dump_block() {  # FILE N
  awk -v n="$2" '/^window:/ {k++} k == n {print} k == n && /^end$/ {exit}' "$1"
}

dialog_count() { grep -c '^window:' "$1" 2>/dev/null; }

expect_no_dialog() {
  local n
  n=$(dialog_count "$dir/run.out")
  [[ $n == 0 ]] || fail "expected no dialog, saw $n: $(grep -E '^(caption|text):' "$dir/run.out" | tr '\n' ' ')"
}

expect_line() {  # FILE LINE DESCRIPTION
  grep -Fxq -- "$2" "$1" || fail "$3: no line [$2] in $(basename "$1")"
}

# The message boxes among the dumped dialogs: those with a message text. A
# progress dialog that flashes by may be dumped as well; it is not one.
message_boxes() {  # FILE
  awk '/^window:/ {block = ""; box = 0}
       {block = block $0 "\n"}
       /^text:/ {box = 1}
       /^end$/ && box {printf "%s", block}' "$1" 2>/dev/null
}

# The one message box a run showed: caption, text, and what makes it
# MB_OK | MB_ICONHAND | MB_SYSTEMMODAL on screen: a single OK button, the
# stop-sign icon (recognised on screen by uidriver), and (under Wine) the
# topmost extended style of a system-modal box.
expect_message_box() {  # CAPTION TEXT [FILE]
  local file=${3:-$dir/run.out} boxes block n
  boxes=$(message_boxes "$file")
  n=$(grep -c '^window:' <<<"$boxes")
  [[ $n == 1 ]] || fail "expected exactly one message box, saw $n"
  block=$(dump_block <(printf '%s\n' "$boxes") 1)
  grep -Fxq "caption: $1" <<<"$block" || fail "caption: expected [$1], saw [$(sed -n 's/^caption: //p' <<<"$block")]"
  grep -Fxq "text: $2" <<<"$block" || fail "text: expected [$2], saw [$(sed -n 's/^text: //p' <<<"$block")]"
  local buttons
  buttons=$(grep '^button:' <<<"$block" | sed 's/^button: [0-9]* //' | tr '\n' ',')
  expect_eq "buttons" "$buttons" "OK,"
  grep -q '^icon: [0-9]* hand$' <<<"$block" ||
    fail "message box icon is not the stop sign: [$(grep '^icon:' <<<"$block")]"
  local ex
  ex=$(sed -n 's/^exstyle: //p' <<<"$block")
  [[ -n $ex ]] && (((ex & 0x8) != 0)) || fail "message box not topmost (exstyle $ex): not system-modal"
}

# Where the prefix's Wine puts the program files of a 32-bit package.
program_files() {
  if [[ -d "$prefix/drive_c/Program Files (x86)" ]]; then
    printf '%s' "$prefix/drive_c/Program Files (x86)"
  else
    printf '%s' "$prefix/drive_c/Program Files"
  fi
}

product_file() {  # [INSTALL-FOLDER-UNIX-PATH]
  if [[ -n ${1:-} ]]; then
    printf '%s' "$1/readme.txt"
  else
    printf '%s' "$(program_files)/Sample Product/readme.txt"
  fi
}

expect_installed() {
  local f
  f=$(product_file "${1:-}")
  if [[ ! -f $f ]]; then
    fail "product not installed: ${f#"$prefix/"} missing"
  elif ! cmp -s "$f" "$root/sample/readme.txt"; then
    fail "installed ${f#"$prefix/"} differs from the packaged file"
  fi
}

# installed_program VALUE: a value (DisplayName, Comments, ...) of the sample
# product's entry among the installed programs, in UTF-8. The registry is
# exported (in UTF-16) rather than queried, so that no code page stands
# between the value and the test; both registry views are tried, as the
# 32-bit package's entry may sit in either.
installed_program() {
  local key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$sample_product_code"
  local view
  for view in 32 64; do
    rm -f "$dir/uninstall.reg"
    timeout 60 "$WINE" reg export "$key" "$(winpath "$dir/uninstall.reg")" "/reg:$view" /y \
      </dev/null >/dev/null 2>&1 || continue
    iconv -f UTF-16 -t UTF-8 "$dir/uninstall.reg" | tr -d '\r' | sed -n "s/^\"$1\"=\"\(.*\)\"\$/\1/p"
    return 0
  done
}

# expect_product NAME FOLDER: the sample product installed in
# <program files>\FOLDER and listed as NAME among the installed programs.
expect_product() {
  expect_installed "$(program_files)/$2"
  expect_eq "name among the installed programs" "$(installed_program DisplayName)" "$1"
}

expect_not_installed() {
  local f
  f=$(product_file)
  [[ ! -e $f ]] || fail "product installed although it must not be"
}

# The stand-in programs' log, without carriage returns, one line per run.
boot_log() { tr -d '\r' <"$blog" 2>/dev/null; }

expect_log() {  # EXPECTED-LINE...
  local expected
  expected=$(printf '%s\n' "$@")
  [[ $# == 0 ]] && expected=
  local got
  got=$(boot_log)
  [[ $got == "$expected" ]] || fail "program log: got [$(tr '\n' ';' <<<"$got")], expected [$(tr '\n' ';' <<<"$expected")]"
}

# runs SCENARIO: sets up its folder, runs it in a subshell, reports one line.
run_scenario() {
  local name=$1 start end secs status
  dir=$work/s-$name
  mkdir -p "$dir"
  start=$(date +%s.%N)
  (
    set +e
    medium=$dir/medium
    blog=$dir/programs.log
    export SETUP_TEST_LOG=$(winpath "$blog")
    export "${english_env[@]}"
    new_prefix
    "sc_$name"
  ) >"$dir/output" 2>&1
  status=$?
  WINEPREFIX=$dir/prefix wine_stop_prefix "$dir/prefix"
  end=$(date +%s.%N)
  secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }')
  local skip=
  [[ -f $dir/skipped ]] && skip=$(cat "$dir/skipped")
  if [[ -n $skip ]]; then
    echo "SKIP $name (${secs} s): $skip"
    ((skipped++))
  elif [[ $status == 0 && ! -s $dir/failures ]]; then
    echo "PASS $name (${secs} s)"
    [[ ${SETUP_E2E_NOTES:-0} == 1 && -s $dir/notes ]] && sed 's/^/  | /' "$dir/notes"
    ((passed++))
  else
    echo "FAIL $name (${secs} s)"
    [[ -s $dir/failures ]] && sed 's/^/  - /' "$dir/failures"
    [[ $status != 0 ]] && echo "  - scenario script ended with status $status"
    [[ -s $dir/notes ]] && sed 's/^/  | /' "$dir/notes"
    [[ -s $dir/run.out ]] && sed 's/^/  > /' "$dir/run.out"
    [[ -s $dir/ui.out ]] && sed 's/^/  ui> /' "$dir/ui.out"
    [[ -s $dir/output ]] && tail -n 20 "$dir/output" | sed 's/^/  ! /'
    ((failed++))
  fi
  if [[ ${SETUP_E2E_KEEP:-0} == 1 && ($status != 0 || -s $dir/failures) ]]; then
    rm -rf "$dir/prefix"
    echo "  (kept $dir)"
  else
    rm -rf "$dir"
  fi
}

# skip REASON: marks the scenario as not applicable here, with the reason.
skip() { echo "$*" >"$dir/skipped"; }
