#!/bin/bash
# Benchmark of the language transforms, one run printing:
#  - mkmst BASE LOCALIZED OUT on two packages of about 100,000 rows each
#    (three large tables and Property; a third of the rows of two tables
#    updated, a thousand deleted and a thousand inserted), against the time
#    libmsi takes just to read both packages, every table and every row
#    (bench/msiread.c, libmsi's public API), and their ratio;
#  - mkdiskset check of a medium with four such transforms, against the time
#    libmsi takes to read its package, and to read the package and the four
#    localized builds the transforms were made from.
# Each time is the best of several runs, hot cache. Builds optimised tools in
# build/bench; the packages live in a temporary folder deleted at the end
# (building them with msibuild takes about a minute and a half).
# Usage: bench/transforms.sh [runs]   (default 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
build=${SETUP_BENCH_BUILD_DIR:-$root/build/bench}

if [[ ! -f $build/build.ninja ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target mkmst mkdiskset >/dev/null
mkmst=$build/tools/mkmst/mkmst
mkdiskset=$build/tools/mkdiskset/mkdiskset

work=$(mktemp -d "${TMPDIR:-/tmp}/transform-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2046
cc -O2 -o "$work/msiread" "$root/bench/msiread.c" $(pkg-config --cflags --libs libmsi-1.0)

# big_table NAME ROWS EDITION: an IDT file of ROWS rows (key, text, number).
# Edition 0 is the base; edition k rewrites the text of every third row,
# leaves out rows 1000-1999 and adds rows ROWS..ROWS+999.
big_table() {
  awk -v t="$1" -v n="$2" -v k="$3" 'BEGIN {
    OFS = "\t"
    print "Key", "Value", "Number"; print "s72", "L255", "I4"; print t, "Key"
    for (i = 0; i < n + (k ? 1000 : 0); i++) {
      if (k && i >= 1000 && i < 2000) continue
      text = "value " i " of table " t
      if (k && i % 3 == 0) text = "edition " k ", value " i " of table " t
      print "K" i, text, i
    }
  }' >"$work/$1.idt"
}

big_table BigA 40000 0
big_table BigB 30000 0
big_table BigC 30000 0
printf 'Property\tValue\ns72\tl0\nProperty\tProperty\n%s\n' \
  "$(printf 'ProductCode\t{5D2E8A41-3C7B-4E19-A0F6-2B8C9D1E7F30}\nUpgradeCode\t{9A4C1B72-6E3D-4F58-B2A7-1C0D8E9F6A45}\nProductVersion\t1.0.0\nProductLanguage\t1033\nProductName\tBench')" \
  >"$work/Property.idt"
printf 'Key\tText\ns72\tL255\nUIText\tKey\nLang0007\tDeutsch\nLang0009\tEnglish\nLang0010\tEspanol\nLang0012\tFrancais\n' \
  >"$work/UIText.idt"
(cd "$work" && msibuild base.msi -i Property.idt -i UIText.idt -i BigA.idt -i BigB.idt -i BigC.idt &&
  msibuild base.msi -s Bench Bench "Intel;1033" "{0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9}")
for k in 1 2 3 4; do
  big_table BigA 40000 "$k"
  big_table BigB 30000 "$k"
  cp "$work/base.msi" "$work/loc$k.msi"
  (cd "$work" && msibuild "loc$k.msi" -i BigA.idt -i BigB.idt)
done

now() { date +%s.%N; }
time_once() {
  local start end
  start=$(now)
  "$@" >/dev/null || true
  end=$(now)
  echo "$end - $start" | bc -l
}
min() { if [[ -z $1 ]] || (($(echo "$2 < $1" | bc -l))); then echo "$2"; else echo "$1"; fi; }

medium=$work/medium
mkdir -p "$medium"
head -c 4096 /dev/urandom >"$medium/SETUP.EXE"
cp "$work/base.msi" "$medium/Product.msi"
codes=(0007 0009 0010 0012)
for k in 1 2 3 4; do
  "$mkmst" "$work/base.msi" "$work/loc$k.msi" "$medium/${codes[k - 1]}_l.mst" >/dev/null
done
# The check's verdict is printed with the figures: a check that stopped
# early would not have read the transforms. Its one error is the stand-in
# SETUP.EXE, which is no Windows program.
"$mkdiskset" check "$medium" >"$work/check.out" || true

cat "$work"/*.msi "$medium"/*.mst >/dev/null  # hot cache
rows=$("$work/msiread" "$work/base.msi" "$work/loc1.msi")
mst_time="" read_time="" check_time="" read1_time="" read5_time=""
# Alternating, so drift in the machine's load hits all alike.
for ((i = 0; i < runs; i++)); do
  mst_time=$(min "$mst_time" "$(time_once "$mkmst" "$work/base.msi" "$work/loc1.msi" "$work/out.mst")")
  read_time=$(min "$read_time" "$(time_once "$work/msiread" "$work/base.msi" "$work/loc1.msi")")
  check_time=$(min "$check_time" "$(time_once "$mkdiskset" check "$medium")")
  read1_time=$(min "$read1_time" "$(time_once "$work/msiread" "$medium/Product.msi")")
  read5_time=$(min "$read5_time" "$(time_once "$work/msiread" "$work/base.msi" "$work"/loc?.msi)")
done

ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
printf 'Packages: base and localized, %s in all; the transform is %d bytes\n' "$rows" \
  "$(stat -c %s "$work/out.mst")"
printf 'mkmst BASE LOCALIZED OUT: %.3f s; libmsi reading both: %.3f s; ratio %s (best of %d)\n' \
  "$mst_time" "$read_time" "$(ratio "$mst_time" "$read_time")" "$runs"
printf 'mkdiskset check, four transforms: %.3f s; libmsi reading the package: %.3f s (ratio %s);\n' \
  "$check_time" "$read1_time" "$(ratio "$check_time" "$read1_time")"
printf '  reading the package and the four localized builds: %.3f s (ratio %s)\n' \
  "$read5_time" "$(ratio "$check_time" "$read5_time")"
printf 'The check said: %s\n' "$(grep '^Result:' "$work/check.out" || tail -n 1 "$work/check.out")"
grep '^error' "$work/check.out" | sed 's/^/  /' || true
