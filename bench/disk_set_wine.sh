#!/bin/bash
# Wine half of the disk-set benchmark. Prints a ratio from one run: the real
# SETUP.EXE assembling a 256 MB set of 1.44 MB volumes under Wine, timed by
# uidriver from the progress dialog's appearance to its disappearance,
# against cat of the same volumes into one file (hot cache, best of several
# runs).
# Builds SETUP.EXE and uidriver for the architecture Wine runs here (in
# ${SETUP_BUILD_DIR:-build}) and an optimised native mkdiskset (in
# ${SETUP_BENCH_BUILD_DIR:-build/bench}); the set, a throwaway Wine prefix and
# a private Xvfb live in a temporary folder that is deleted at the end.
# Usage: bench/disk_set_wine.sh [cat-runs]   (default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
source "$root/scripts/wine-common.sh"
wine_select
bench_build=${SETUP_BENCH_BUILD_DIR:-$root/build/bench}
win_build=${SETUP_BUILD_DIR:-$root/build}/$SETUP_ARCH

if [[ ! -f $bench_build/build.ninja ]]; then
  cmake -S "$root" -B "$bench_build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$bench_build" --target mkdiskset >/dev/null
mkdiskset=$bench_build/tools/mkdiskset/mkdiskset
if [[ ! -f $win_build/SETUP.EXE || ! -f $win_build/tests/tools/uidriver.exe ]]; then
  "$root/scripts/build.sh" "$SETUP_ARCH" >/dev/null
fi
uidriver=$win_build/tests/tools/uidriver.exe

work=$(mktemp -d "${TMPDIR:-/tmp}/disk-set-wine-bench.XXXXXX")
xvfb_pid=
cleanup() {
  WINEPREFIX=$work/prefix wine_stop_prefix "$work/prefix"
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
min() { if [[ -z $1 ]] || (($(echo "$2 < $1" | bc -l))); then echo "$2"; else echo "$1"; fi; }

# The set: SETUP.EXE and 256 MB of random data as the package, flat.
mkdir -p "$work/medium"
cp "$win_build/SETUP.EXE" "$work/medium/SETUP.EXE"
head -c $((256 * 1024 * 1024)) /dev/urandom >"$work/medium/Setup.msi"
"$mkdiskset" split "$work/medium" "$work/set" --flat >/dev/null
rm -rf "$work/medium"
count=$(ls "$work"/set/Disk.* | wc -l)

: >"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for ((i = 0; i < 100; i++)); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(tr -dc '0-9' <"$work/display")
export WINEPREFIX=$work/prefix
wine_make_prefix "$WINEPREFIX"
# Without a window manager Wine waits up to two seconds for a captioned
# window that is hidden or destroyed, unless it manages the windows itself.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1

cat_volumes() { ls "$work"/set/Disk.* | sort -t. -k2 -n | xargs cat >"$work/cat.out"; }
cat "$work"/set/Disk.* >/dev/null  # hot cache
cat_time=""
for ((i = 0; i < runs; i++)); do
  rm -f "$work/cat.out"
  start=$(now)
  cat_volumes
  end=$(now)
  cat_time=$(min "$cat_time" "$(echo "$end - $start" | bc -l)")
done
rm -f "$work/cat.out"

# The package is random bytes, so the run ends with a message after the
# copy; --answer OK dismisses it. It runs in the work folder: Wine's
# Installer.OpenDatabase takes the open mode for the name of a copy to
# make (a file "0" in the current folder), and keeps it when the package
# is no database.
cd "$work"
"$WINE" "$uidriver" -t 600 run --answer OK --pid-file "$(winpath "$work/pid")" \
  "$(winpath "$work/set/SETUP.EXE")" </dev/null >"$work/run.out" 2>&1 &
run_job=$!
"$WINE" "$uidriver" -t 600 --pid-file "$(winpath "$work/pid")" watch "Extracting files ..." \
  </dev/null >"$work/watch.out" 2>&1 || true
wait "$run_job" || true
shown_ms=$(tr -d '\r' <"$work/watch.out" | sed -n 's/^shown: \([0-9.]*\) ms$/\1/p')
if [[ -z $shown_ms ]]; then
  echo "the progress dialog was not seen from appearance to disappearance:" >&2
  tr -d '\r' <"$work/watch.out" | tail -n 5 >&2
  exit 1
fi
wine_time=$(echo "$shown_ms / 1000" | bc -l)

printf 'Assembly of a 256 MB set of %d volumes of 1.44 MB, hot cache, %s build under %s:\n' \
  "$count" "$SETUP_ARCH" "$WINE"
printf '  cat %.3f s (best of %d), SETUP.EXE progress dialog shown %.3f s (one run):\n' \
  "$cat_time" "$runs" "$wine_time"
printf '  SETUP.EXE under Wine throughput = %.3f x cat (cat is %.1f times faster)\n' \
  "$(echo "$cat_time / $wine_time" | bc -l)" "$(echo "$wine_time / $cat_time" | bc -l)"
