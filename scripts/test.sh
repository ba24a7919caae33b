#!/bin/bash
# Runs every test: the native unit tests (plain and with AddressSanitizer and
# UBSan), the fuzz targets for a bounded time, the checks of the built
# SETUP.EXE, and the end-to-end suite under Wine. Installs what it needs
# first. The last line reads "N passed, N failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${SETUP_BUILD_DIR:-$root/build}
fuzz_seconds=${SETUP_FUZZ_SECONDS:-60}

bash scripts/install-deps.sh || exit 1

passed=0
failed=0
failures=()

record() {  # record NAME PASSED FAILED
  passed=$((passed + $2))
  failed=$((failed + $3))
  if (($3 > 0)); then failures+=("$1"); fi
  echo "== $1: $2 passed, $3 failed"
}

# The Windows build that Wine runs here gets everything (tools, Win32 tests);
# the product's 32-bit build is always made and checked.
source scripts/wine-common.sh
wine_ok=1
wine_select || wine_ok=0
windows_requests=(win32)
if ((wine_ok)) && [[ $SETUP_ARCH != win32 ]]; then
  windows_requests=(win32:setup "$SETUP_ARCH")
fi

# Formatting: every C++ source of the project as .clang-format has it.
mapfile -t cxx_sources < <(git ls-files '*.cpp' '*.h' '*.c')
if clang-format-14 --dry-run --Werror "${cxx_sources[@]}" >/tmp/setup-format.log 2>&1; then
  record "clang-format" 1 0
else
  grep -E '^[^ ].*: (error|warning)' /tmp/setup-format.log | cut -d: -f1 | sort -u | head -20
  record "clang-format" 0 1
fi
rm -f /tmp/setup-format.log

echo "== building"
if ! bash scripts/build.sh native sanitize fuzz "${windows_requests[@]}"; then
  echo "build failed"
  echo "0 passed, 1 failed"
  exit 1
fi

# GoogleTest: count the tests it ran and failed.
run_gtest() {  # run_gtest NAME COMMAND...
  local name=$1 log
  shift
  log=$(mktemp)
  "$@" --gtest_brief=1 >"$log" 2>&1
  local status=$?
  local ok bad
  ok=$(grep -Eo '^\[  PASSED  \] [0-9]+' "$log" | grep -Eo '[0-9]+$' || echo 0)
  bad=$(grep -Eo '^\[  FAILED  \] [0-9]+ test' "$log" | grep -Eo '[0-9]+' || echo 0)
  if ((status != 0 && bad == 0)); then bad=1; fi
  if ((bad > 0)); then cat "$log"; fi
  rm -f "$log"
  record "$name" "${ok:-0}" "${bad:-0}"
}

run_gtest "unit tests" "$build/native/unit_tests"
run_gtest "unit tests (ASan+UBSan)" "$build/sanitize/unit_tests"

# Each target starts from a copy of its seeds (libFuzzer adds to the folder
# it is given); a finding is kept in build/fuzz-findings/TARGET/.
for target in "$build"/fuzz/*_fuzz; do
  [[ -x $target ]] || continue
  name=$(basename "$target")
  corpus=$(mktemp -d)
  [[ -d tests/fuzz/corpus/$name ]] && cp -R "tests/fuzz/corpus/$name/." "$corpus/"
  seeds=$(find "$corpus" -maxdepth 1 -type f | wc -l)
  artifacts=$build/fuzz-findings/$name
  mkdir -p "$artifacts"
  if "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/" "$corpus" >"$corpus.log" 2>&1; then
    record "fuzz $name (${fuzz_seconds}s from $seeds seeds)" 1 0
  else
    tail -40 "$corpus.log"
    echo "the finding is kept in $artifacts"
    record "fuzz $name" 0 1
  fi
  rm -rf "$corpus" "$corpus.log"
done

if bash tests/check_binary.sh "$build/win32/SETUP.EXE"; then
  record "SETUP.EXE checks" 1 0
else
  record "SETUP.EXE checks" 0 1
fi

# Two more builds of the 32-bit SETUP.EXE in other folders (about 80 s here).
if bash tests/reproducible_build.sh; then
  record "SETUP.EXE reproducible" 1 0
else
  record "SETUP.EXE reproducible" 0 1
fi

# The Win32 layer's own tests (GoogleTest programs), under Wine on a
# virtual display, in one throwaway prefix.
if ((wine_ok)); then
  layer_work=$(mktemp -d)
  if wine_make_prefix "$layer_work/prefix"; then
    for program in win32_layer_test floppy_views_test; do
      WINEPREFIX=$layer_work/prefix run_gtest "$program under Wine ($SETUP_ARCH)" \
        timeout 300 xvfb-run -a "$WINE" "$build/$SETUP_ARCH/$program.exe"
    done
    wine_stop_prefix "$layer_work/prefix"
  else
    record "Wine prefix for the Win32 layer's tests" 0 1
  fi
  rm -rf "$layer_work"
else
  record "Win32 layer under Wine" 0 1
fi

if [[ -x tests/e2e/run.sh ]]; then
  log=$(mktemp)
  SETUP_E2E_SKIP_BUILD=1 bash tests/e2e/run.sh 2>&1 | tee "$log"
  last=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
  if [[ -n $last ]]; then
    e2e_passed=$(awk '{print $1}' <<<"$last") e2e_failed=$(awk '{print $3}' <<<"$last")
    # The planted-DLL and signing scenarios get lines of their own.
    for scenario in planted_dlls_not_loaded planted_dlls_file_dialog signed_setup_installs; do
      if grep -q "^PASS $scenario " "$log"; then
        e2e_passed=$((e2e_passed - 1))
        record "$scenario (end to end)" 1 0
      else
        grep -q "^FAIL $scenario " "$log" && e2e_failed=$((e2e_failed - 1))
        record "$scenario (end to end)" 0 1
      fi
    done
    skipped=$(sed -n 's/.*, \([0-9]*\) skipped$/\1/p' <<<"$last")
    record "end to end under Wine${skipped:+ ($skipped skipped)}" "$e2e_passed" "$e2e_failed"
  else
    record "end to end under Wine" 0 1
  fi
  rm -f "$log"
fi

if ((${#failures[@]})); then
  echo "failed: ${failures[*]}"
fi
echo "$passed passed, $failed failed"
((failed == 0))
