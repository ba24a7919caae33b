#!/bin/bash
# Sets up a fresh Debian machine (as root) and runs the main job: installs the
# dependencies, builds SETUP.EXE, builds the sample medium and runs SETUP.EXE
# on it under Wine with nobody at the keyboard (/s: English without a
# question; a virtual display when there is none). Any message box is printed
# and answered. Prints what happened and exits with SETUP.EXE's exit code
# (the low 8 bits a shell can carry; the full code is printed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [[ -z ${SETUP_DEMO_STAGE:-} ]]; then
  if [[ $(id -u) == 0 ]]; then
    "$root/scripts/install-deps.sh"
  else
    echo "demo: not root, skipping the dependency installation"
  fi
  export SETUP_DEMO_STAGE=run
  if [[ -z ${DISPLAY:-} ]]; then
    echo "demo: no display, running on a virtual one"
    exec xvfb-run -a bash "$0" "$@"
  fi
fi

source "$root/scripts/wine-common.sh"
wine_select
echo "demo: $SETUP_ARCH build under $WINE ($WINE_REASON)"

work=$(mktemp -d /tmp/setup-demo.XXXXXX)
export WINEPREFIX=$work/prefix
cleanup() {
  wine_stop_prefix "$WINEPREFIX"
  rm -rf "$work"
}
trap cleanup EXIT

# The product is the 32-bit build; a machine without 32-bit Wine also gets the
# 64-bit build of the same sources to run. The sample medium is made by the
# vendor's one command, which runs the native mkmst and mkdiskset.
echo "demo: building SETUP.EXE, mkmst and mkdiskset"
requests=(native:mkmst native:mkdiskset "$SETUP_ARCH")
[[ $SETUP_ARCH == win32 ]] || requests=(native:mkmst native:mkdiskset win32:setup "$SETUP_ARCH")
for request in "${requests[@]}"; do
  if ! "$root/scripts/build.sh" "$request" >"$work/build-${request%%:*}.log" 2>&1; then
    tail -n 30 "$work/build-${request%%:*}.log"
    echo "demo: build of $request failed"
    exit 1
  fi
done
build=${SETUP_BUILD_DIR:-$root/build}/$SETUP_ARCH
echo "demo: SETUP.EXE (win32) is $(stat -c %s "${SETUP_BUILD_DIR:-$root/build}/win32/SETUP.EXE") bytes"

echo "demo: creating a throwaway Wine prefix"
wine_make_prefix "$WINEPREFIX"
medium=$work/medium
"$root/scripts/make-sample-medium.sh" "$medium" "$SETUP_ARCH"

log=$work/bootstrap.log
export SETUP_TEST_LOG
SETUP_TEST_LOG=$(winpath "$log")
echo
echo "demo: running $(winpath "$medium")\\SETUP.EXE /s"
# Output into a file, not a pipe: Wine's server outlives the run and would
# keep a pipe open.
set +e
timeout 400 "$WINE" "$build/tests/tools/uidriver.exe" -t 300 run --answer OK \
  --cwd "$(winpath "$medium")" --exit-file "$(winpath "$work/exit")" \
  "$(winpath "$medium/SETUP.EXE")" /s </dev/null >"$work/run.out" 2>&1
set -e
tr -d '\r' <"$work/run.out" | sed 's/^/  | /'
code=$(tr -d '\r\n' <"$work/exit" 2>/dev/null || true)

echo
echo "Programs run from Bootstrap\\ (name|arguments):"
if [[ -s $log ]]; then tr -d '\r' <"$log" | sed 's/^/  /'; else echo "  none"; fi
if ! grep -q '^engine_update' "$log" 2>/dev/null; then
  echo "  (Bootstrap\\Msi\\WinNT\\engine_update.exe did not run: the installer engine is current)"
fi
# What was installed, read from the prefix: the product's name among the
# installed programs (the registry's Uninstall entry, exported in UTF-16 so
# that any language's name comes through) and the folder its file went to.
product_code=$(msiinfo export "$medium/Setup.msi" Property | tr -d '\r' |
  awk -F'\t' '$1 == "ProductCode" {print $2}')
name=
for view in 32 64; do
  if timeout 60 "$WINE" reg export "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code" \
    "$(winpath "$work/uninstall.reg")" "/reg:$view" /y </dev/null >/dev/null 2>&1; then
    name=$(iconv -f UTF-16 -t UTF-8 "$work/uninstall.reg" | tr -d '\r' |
      sed -n 's/^"DisplayName"="\(.*\)"$/\1/p')
    break
  fi
done
folder=
for f in "$WINEPREFIX"/drive_c/Program\ Files*/*/readme.txt; do
  cmp -s "$f" "$root/sample/readme.txt" && folder=$(dirname "$f")
done
if [[ -n $name ]]; then
  echo "Product installed: $name"
else
  echo "Product not installed (no entry among the installed programs)"
fi
if [[ -n $folder ]]; then
  folder=${folder#"$WINEPREFIX/drive_c/"}
  echo "Installed in: C:\\${folder//\//\\}"
else
  echo "Product file not installed"
fi

case $code in
  0) words="success" ;;
  1602) words="the user left before the installation" ;;
  1603) words="the installation failed (see the message above)" ;;
  1604) words="the installer engine was updated; run setup again" ;;
  1641) words="success; the installer started a restart" ;;
  3010) words="success; a restart is required to complete the install" ;;
  timeout) words="SETUP.EXE did not end in time and was stopped" ;;
  "") words="no exit code: SETUP.EXE could not be started" ;;
  *) words="msiexec ended with this code" ;;
esac
echo "SETUP.EXE exit code: ${code:-none} ($words)"

if [[ $code =~ ^[0-9]+$ ]]; then
  # A shell status keeps 8 bits; never let a failure wrap round to 0.
  status=$((code % 256))
  ((code != 0 && status == 0)) && status=1
  exit "$status"
fi
exit 1
