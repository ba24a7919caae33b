# A busy machine: another installation holds the installer's mutex, the
# installer answers 1618, a scanner holds a file just copied from the
# floppies. Wine's msiexec does not take the mutex itself, so the other
# installation is tests/tools/holder.exe, and msiexec.exe is the stand-in
# bootprog.exe, which records when it starts and answers as scripted.
# Sourced by run.sh after floppy_scenarios.sh.

scenarios+=(
  busy_unattended
  busy_interactive_cancel
  busy_interactive_waits
  busy_two_answers
  busy_scanner
  busy_scanner_shared
)

BUSY="Waiting for another installation"
BUSY_TEXT="Another installation is in progress. Setup goes on by itself as soon as it has ended."

# hold_mutex SECONDS: another installation holds the installer's mutex for
# SECONDS, in the background; returns once it holds it. Its lines ("held
# MS", "released MS") go to $dir/holder.out.
hold_mutex() {
  timeout $((${1%.*} + 60)) "$WINE" "$tools/holder.exe" mutex "$1" >"$dir/holder.raw" 2>&1 </dev/null &
  holder_job=$!
  await_holder
}

# Waits (at most UI_TIMEOUT) until the holder holds what it holds.
await_holder() {
  local i
  for ((i = 0; i < UI_TIMEOUT * 10; i++)); do
    grep -q '^held' "$dir/holder.raw" 2>/dev/null && return 0
    kill -0 "$holder_job" 2>/dev/null || break
    sleep 0.1
  done
  fail "the holder did not take hold: $(tr '\r\n' '  ' <"$dir/holder.raw")"
  return 1
}

# Ends the holder (it has let go, or is told to) and reads its times.
finish_holder() {
  kill "$holder_job" 2>/dev/null
  wait "$holder_job" 2>/dev/null
  tr -d '\r' <"$dir/holder.raw" >"$dir/holder.out"
  released=$(sed -n 's/^released //p' "$dir/holder.out")
}

# When each stand-in program started, in ms since 1970: "NAME MS" lines.
record_starts() { export SETUP_TEST_STARTS=$(winpath "$dir/starts.log"); }
starts_of() { tr -d '\r' <"$dir/starts.log" 2>/dev/null | sed -n "s/^$1 //p"; }

# The waiting window as a person sees it: its caption, its text and one
# button, Cancel.
expect_busy_window() {  # DUMP-FILE
  local block
  block=$(dump_block "$1" 1)
  if [[ -z $block ]]; then
    fail "no waiting window: $(tr '\n' ' ' <"$1")"
    return
  fi
  grep -Fxq "caption: $BUSY" <<<"$block" || fail "waiting window caption: $(grep '^caption' <<<"$block")"
  grep -Eq "^(static|text): .*$BUSY_TEXT" <<<"$block" ||
    fail "waiting window text: $(grep -E '^(static|text):' <<<"$block" | tr '\n' ' ')"
  expect_eq "waiting window buttons" "$(grep '^button:' <<<"$block" | sed 's/^button: [0-9]* //' | tr '\n' ',')" \
    "Cancel,"
}

# Unattended: msiexec.exe starts only once the other installation has
# ended, and the run succeeds. The window shows meanwhile, as the window
# station is visible.
sc_busy_unattended() {
  make_medium std.msi 0009
  fake_msiexec 0
  record_starts
  hold_mutex 4 || return 0
  setup_start /s
  ui --pid-file "$(winpath "$dir/pid")" wait "$BUSY" >"$dir/busy.out"
  setup_finish
  finish_holder
  expect_code 0
  expect_busy_window "$dir/busy.out"
  local started
  started=$(starts_of msiexec.exe)
  expect_eq "msiexec.exe starts" "$(wc -w <<<"$started")" 1
  [[ -n $released && -n $started ]] && ((started >= released)) ||
    fail "msiexec.exe started at [$started], the other installation ended at [$released]"
  echo "msiexec.exe started $((started - released)) ms after the release" >>"$dir/notes"
}

# A person cancels the wait: nothing starts, no message, exit code 1602.
sc_busy_interactive_cancel() {
  make_medium std.msi 0009
  fake_msiexec 0
  hold_mutex 90 || return 0
  setup_start
  local p=(--pid-file "$(winpath "$dir/pid")")
  ui "${p[@]}" wait "$BUSY" >"$dir/busy.out"
  ui "${p[@]}" press "$BUSY" Cancel >>"$dir/ui.out"
  setup_finish
  finish_holder
  expect_code 1602
  expect_busy_window "$dir/busy.out"
  expect_log
  expect_not_installed
}

# A person waits: the window goes away by itself once the other
# installation ends, and the product installs (Wine's own msiexec).
sc_busy_interactive_waits() {
  make_medium std.msi 0009
  hold_mutex 5 || return 0
  setup_start
  local p=(--pid-file "$(winpath "$dir/pid")")
  ui "${p[@]}" wait "$BUSY" >"$dir/busy.out"
  ui "${p[@]}" gone "$BUSY" >>"$dir/ui.out" || fail "the waiting window did not go away"
  local gone
  gone=$(date +%s%3N)
  setup_finish
  finish_holder
  expect_code 0
  expect_busy_window "$dir/busy.out"
  [[ -n $released ]] && ((gone >= released)) || fail "the window went at $gone, the release was at [$released]"
  echo "the window went $((gone - released)) ms after the release" >>"$dir/notes"
  expect_installed
}

# The installer answers 1618 once (another installation began between the
# check and the start), then 0: two starts at least a second apart, and
# the run succeeds without a message.
sc_busy_two_answers() {
  make_medium std.msi 0009
  fake_msiexec 0
  export SETUP_TEST_EXITS=1618,0
  record_starts
  setup_run --answer /s
  expect_code 0
  expect_eq "message boxes" "$(message_boxes "$dir/run.out" | grep -c '^caption: Installation Error')" 0
  local starts
  mapfile -t starts < <(starts_of msiexec.exe)
  expect_eq "msiexec.exe starts" "${#starts[@]}" 2
  if ((${#starts[@]} == 2)); then
    ((starts[1] - starts[0] >= 1000)) || fail "the second start came $((starts[1] - starts[0])) ms after the first"
    echo "the second start came $((starts[1] - starts[0])) ms after the first" >>"$dir/notes"
  fi
}

# scanner MODE SECONDS: a scanner (holder.exe scan or scan-shared) that
# holds the prerequisite of the floppy set for SECONDS once it has been
# copied, in the background.
scanner() {
  timeout 150 "$WINE" "$tools/holder.exe" "$1" "$(temp_win)" 'Bootstrap\prereq.exe' \
    "$(stat -c %s "$tools/bootprog.exe")" "$2" 60 >"$dir/holder.raw" 2>&1 </dev/null &
  holder_job=$!
}

# The floppy set, installed by a German user: the set has the English
# transform only, so the run waits at the language dialog, with every file
# copied, until the scanner holds the prerequisite; English is then chosen
# (at $chosen, in ms since 1970).
install_set_past_scanner() {
  local p=(--pid-file "$(winpath "$dir/pid")")
  setup_start
  ui "${p[@]}" wait "Language selection" >"$dir/language.out"
  await_holder
  ui "${p[@]}" select "Language selection" 1000 English >>"$dir/ui.out"
  ui "${p[@]}" press "Language selection" OK >>"$dir/ui.out"
  chosen=$(date +%s%3N)
  setup_finish
  finish_holder
  # Without a release the scanner held on until the run had ended.
  [[ -z $released ]] || ((chosen < released)) ||
    fail "precondition: the scanner let go at $released, before the language was chosen at $chosen"
}

floppy_set_for_scanner() {
  have_floppy_sets || return 1
  medium=$dir/floppy
  link_medium floppy-set
  german_user
  fake_msiexec 0
  record_starts
  snapshot_temp
}

# A scanner holds the prerequisite just copied from the floppies, sharing
# nothing, for twelve seconds (of which the language choice through the UI
# driver takes a few): it runs once the scanner lets go, the product
# installs, and nothing is left in the temporary folder.
sc_busy_scanner() {
  floppy_set_for_scanner || return 0
  scanner scan 12
  install_set_past_scanner
  expect_code 0
  local started
  started=$(starts_of prereq.exe)
  expect_eq "prerequisite starts" "$(wc -w <<<"$started")" 1
  [[ -n $released && -n $started ]] && ((started >= released)) ||
    fail "the prerequisite started at [$started], the scanner let go at [$released]"
  echo "the language was chosen $((released - chosen)) ms before the scanner let go;" \
    "the prerequisite started $((started - released)) ms after" >>"$dir/notes"
  expect_eq "msiexec.exe starts" "$(starts_of msiexec.exe | wc -l)" 1
  expect_temp_clean
}

# A scanner that shares reading and deletion holds the prerequisite for
# twelve seconds: it runs at once, and its delete at the end waits for the
# scanner, which keeps the folder from being removed until it lets go;
# nothing is left all the same.
sc_busy_scanner_shared() {
  floppy_set_for_scanner || return 0
  scanner scan-shared 12
  install_set_past_scanner
  expect_code 0
  local started
  started=$(starts_of prereq.exe)
  expect_eq "prerequisite starts" "$(wc -w <<<"$started")" 1
  [[ -n $released && -n $started ]] && ((started < released)) ||
    fail "the prerequisite started at [$started], the scanner let go at [$released]: it waited"
  expect_eq "msiexec.exe starts" "$(starts_of msiexec.exe | wc -l)" 1
  expect_temp_clean
}
