#!/bin/bash
# Native half of the disk-set benchmark. Prints ratios from one run:
#  - throughput of assembling a 256 MB set of 1.44 MB volumes with the copy
#    engine over the POSIX file layer (mkdiskset assemble) against cat of the
#    same volumes into one file, hot cache (best of several runs each);
#  - peak memory of that assembly for a 16 MB and a 512 MB set.
# Builds an optimised mkdiskset in build/bench; the sets live in a temporary
# folder that is deleted at the end.
# Usage: bench/disk_set_assembly.sh [runs]   (default 9)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-9}
build=${SETUP_BENCH_BUILD_DIR:-$root/build/bench}

if [[ ! -f $build/build.ninja ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target mkdiskset >/dev/null
mkdiskset=$build/tools/mkdiskset/mkdiskset

work=$(mktemp -d "${TMPDIR:-/tmp}/disk-set-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A flat set (all volumes in one folder) of size_mb megabytes of random data.
make_set() {
  local name=$1 size_mb=$2
  mkdir -p "$work/$name.medium"
  head -c 4096 /dev/urandom >"$work/$name.medium/SETUP.EXE"
  head -c $((size_mb * 1024 * 1024)) /dev/urandom >"$work/$name.medium/Setup.msi"
  "$mkdiskset" split "$work/$name.medium" "$work/$name.set" --flat >/dev/null
  rm -rf "$work/$name.medium"
}

volumes() { ls "$1"/Disk.* | sort -t. -k2 -n; }

now() { date +%s.%N; }

# Wall time of one run of the given command; out is emptied before and
# after, untimed.
time_once() {
  local out=$1; shift
  rm -rf "$out"
  local start end
  start=$(now)
  "$@"
  end=$(now)
  rm -rf "$out"
  echo "$end - $start" | bc -l
}

min() { if [[ -z $1 ]] || (($(echo "$2 < $1" | bc -l))); then echo "$2"; else echo "$1"; fi; }

cat_volumes() { volumes "$work/big.set" | xargs cat >"$work/cat.out"; }
assemble() { "$mkdiskset" assemble "$work/big.set" "$work/assembled" >/dev/null; }

make_set big 256
count=$(volumes "$work/big.set" | wc -l)
cat "$work"/big.set/Disk.* >/dev/null  # hot cache
# Alternating, so drift in the machine's load hits both alike.
cat_time="" engine_time=""
for ((i = 0; i < runs; i++)); do
  cat_time=$(min "$cat_time" "$(time_once "$work/cat.out" cat_volumes)")
  engine_time=$(min "$engine_time" "$(time_once "$work/assembled" assemble)")
done

# Peak resident memory in KiB of one assembly.
peak_kib() {
  rm -rf "$work/assembled"
  /usr/bin/time -f %M "$mkdiskset" assemble "$work/$1.set" "$work/assembled" 2>&1 >/dev/null | tail -1
  rm -rf "$work/assembled"
}
rm -rf "$work/big.set"
make_set small 16
small_kib=$(peak_kib small)
rm -rf "$work/small.set"
make_set large 512
large_kib=$(peak_kib large)

printf 'Assembly of a 256 MB set of %d volumes of 1.44 MB, hot cache, best of %d:\n' "$count" "$runs"
printf '  cat %.3f s, engine %.3f s: engine throughput = %.2f x cat\n' \
  "$cat_time" "$engine_time" "$(echo "$cat_time / $engine_time" | bc -l)"
printf 'Peak memory of the assembly: 16 MB set %d KiB, 512 MB set %d KiB: ratio %.2f\n' \
  "$small_kib" "$large_kib" "$(echo "$large_kib / $small_kib" | bc -l)"
