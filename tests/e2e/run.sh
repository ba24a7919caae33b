#!/bin/bash
# End-to-end tests: the real SETUP.EXE under Wine, against real packages
# built with wixl/msibuild and Wine's real msiexec, driven through its windows
# by tests/tools/uidriver the way a person would see and answer them.
#
# Usage: tests/e2e/run.sh            (all scenarios)
#        SETUP_E2E_ONLY=regex tests/e2e/run.sh
#        SETUP_E2E_NOTES=1 also prints the notes of passed scenarios
#        (exit codes, timings).
#        SETUP_E2E_SETUP=path runs the scenarios against another SETUP.EXE
#        (an older build, to see which scenarios it fails).
#        SETUP_E2E_KEEP=1 keeps the work folder (without prefixes) of failed
#        scenarios.
# Prints one line per scenario and, last, "N passed, N failed, N skipped" (a
# scenario that cannot run on this machine says why and counts as skipped).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-common.sh"
source "$root/tests/e2e/lib.sh"
source "$root/tests/e2e/scenarios.sh"
source "$root/tests/e2e/safety_scenarios.sh"
source "$root/tests/e2e/script_scenarios.sh"

suite_start=$(date +%s)
passed=0 failed=0 skipped=0

if ! wine_select; then
  echo "e2e: no usable Wine"
  echo "0 passed, 1 failed"
  exit 1
fi
echo "e2e: $SETUP_ARCH build under $WINE ($WINE_REASON)"

work=$(mktemp -d /tmp/setup-e2e.XXXXXX)
xvfb_pid=
cleanup() {
  local p
  for p in "$work/template" "$work"/s-*/prefix; do
    [[ -d $p ]] && wine_stop_prefix "$p"
  done
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  if [[ ${SETUP_E2E_KEEP:-0} == 1 ]]; then
    rm -rf "$work/template"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

build=${SETUP_BUILD_DIR:-$root/build}/$SETUP_ARCH
tools=$build/tests/tools
# The transforms of the test media are made by the native mkmst.
mkmst=${SETUP_BUILD_DIR:-$root/build}/native/tools/mkmst/mkmst
if [[ ${SETUP_E2E_SKIP_BUILD:-0} != 1 ]]; then
  if ! "$root/scripts/build.sh" "$SETUP_ARCH" >"$work/build.log" 2>&1; then
    echo "e2e: build of $SETUP_ARCH failed; building the test tools alone (tail of the log below)"
    tail -n 15 "$work/build.log" | sed 's/^/  | /'
    cmake --build "$build" --target uidriver bootprog applymst holder oldmsi planted >>"$work/build.log" 2>&1
  fi
  # The vendor's one command (the sample medium, the French product) ships
  # the product, the i686 build, and runs the native tools.
  [[ $SETUP_ARCH == win32 ]] || "$root/scripts/build.sh" win32:setup >>"$work/build.log" 2>&1
  "$root/scripts/build.sh" native:mkmst native:mkdiskset >>"$work/build.log" 2>&1
fi
for f in "$tools/uidriver.exe" "$tools/bootprog.exe" "$tools/applymst.exe" "$tools/holder.exe" \
  "$tools/oldmsi.dll" "$mkmst"; do
  if [[ ! -f $f ]]; then
    echo "e2e: $f missing"
    echo "0 passed, 1 failed"
    exit 1
  fi
done
setup_exe=${SETUP_E2E_SETUP:-$build/SETUP.EXE}
if [[ ! -f $setup_exe ]]; then
  echo "e2e: $setup_exe missing: SETUP.EXE did not build"
  echo "0 passed, 1 failed"
  exit 1
fi

# One virtual display for the whole suite.
if ! start_xvfb; then
  echo "e2e: Xvfb did not start"
  echo "0 passed, 1 failed"
  exit 1
fi

# German and French locales for the default-language cases, generated
# privately when the machine has none, so the suite does not depend on the
# machine's locales.
locale_env() {  # NAME: the environment of a user of that locale, a line each
  if locale -a 2>/dev/null | grep -qix "$1\.utf-\?8"; then
    printf '%s\n' "LANG=$1.UTF-8" "LC_ALL=$1.UTF-8"
  else
    mkdir -p "$work/locale"
    localedef -i "$1" -f UTF-8 "$work/locale/$1.UTF-8" >/dev/null 2>&1
    printf '%s\n' "LOCPATH=$work/locale" "LANG=$1.UTF-8" "LC_ALL=$1.UTF-8"
  fi
}
mapfile -t german_env < <(locale_env de_DE)
mapfile -t french_env < <(locale_env fr_FR)
english_env=(LANG=C LC_ALL=C)

t0=$(date +%s)
if ! wine_make_prefix "$work/template"; then
  echo "e2e: cannot create a Wine prefix"
  echo "0 passed, 1 failed"
  exit 1
fi
# Without a window manager Wine waits up to two seconds for every captioned
# window that is hidden or destroyed, unless it manages the windows itself.
WINEPREFIX=$work/template timeout 60 "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' \
  /v Managed /d N /f </dev/null >/dev/null 2>&1
build_packages || { echo "e2e: cannot build the test packages"; echo "0 passed, 1 failed"; exit 1; }
source "$root/tests/e2e/floppy_scenarios.sh"
source "$root/tests/e2e/busy_scenarios.sh"
source "$root/tests/e2e/disk_fault_scenarios.sh"
source "$root/tests/e2e/check_scenarios.sh"
source "$root/tests/e2e/station_scenarios.sh"
source "$root/tests/e2e/language_scenarios.sh"
build_floppy_sets || { echo "e2e: cannot build the floppy sets"; echo "0 passed, 1 failed"; exit 1; }
wine_stop_prefix "$work/template"
echo "e2e: template prefix and packages ready in $(($(date +%s) - t0)) s"


for name in "${scenarios[@]}"; do
  [[ -n ${SETUP_E2E_ONLY:-} && ! $name =~ $SETUP_E2E_ONLY ]] && continue
  run_scenario "$name"
done

echo "e2e: suite took $(($(date +%s) - suite_start)) s"
echo "$passed passed, $failed failed, $skipped skipped"
((failed == 0))
