#!/bin/bash
# Runs the fuzz targets for longer than the test suite does: each for
# MINUTES, in fork mode (-fork=JOBS, default: the number of cores), from its
# seeds in tests/fuzz/corpus/TARGET. A finding does not end the run; every
# one is kept as a file in the run's folder, which is named at the end
# with what libFuzzer reported for each target: the command, the first and
# the last coverage line (executions, cov:, ft:, corpus, exec/s, and the
# count of out-of-memory inputs, timeouts and crashes) and the number of
# executed units.
# Usage: scripts/fuzz.sh MINUTES [TARGET...]   (default: every *_fuzz target)
# Exit code 1 when any target left a finding.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SETUP_BUILD_DIR:-$root/build}
minutes=${1:?usage: scripts/fuzz.sh MINUTES [TARGET...]}
shift
[[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "fuzz.sh: MINUTES is a whole number above 0" >&2; exit 2; }
jobs=${SETUP_FUZZ_JOBS:-$(nproc)}

bash "$root/scripts/build.sh" fuzz
targets=("$@")
if ((${#targets[@]} == 0)); then
  for target in "$build"/fuzz/*_fuzz; do [[ -x $target ]] && targets+=("$(basename "$target")"); done
fi

run=$build/fuzz-runs/$(date +%Y%m%d-%H%M%S)
findings=0
for name in "${targets[@]}"; do
  target=$build/fuzz/$name
  [[ -x $target ]] || { echo "fuzz.sh: no target $name in $build/fuzz" >&2; exit 2; }
  seeds=$root/tests/fuzz/corpus/$name
  # New inputs go to the first folder; the checked-in seeds stay as they are.
  mkdir -p "$run/$name/corpus" "$run/$name/findings"
  [[ -d $seeds ]] || seeds=
  command=("$target" -fork="$jobs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1
    -max_total_time=$((minutes * 60)) -timeout=25 -rss_limit_mb=2048
    -artifact_prefix="$run/$name/findings/" "$run/$name/corpus" ${seeds:+"$seeds"})
  echo "== $name: ${command[*]}"
  "${command[@]}" >"$run/$name/log" 2>&1 || true
  # Fork mode prints no final stat:: lines; its "#N:" lines count the
  # executions of all jobs.
  grep -E '^#[0-9]+: cov:' "$run/$name/log" | sed -n '1p;$p' || true
  last=$(grep -E '^#[0-9]+: cov:' "$run/$name/log" | tail -1 || true)
  echo "   executed units (all jobs): $(sed -E 's/^#([0-9]+):.*/\1/' <<<"${last:-#0:}")"
  grep -E '^INFO: (fuzzed for|exiting)' "$run/$name/log" | head -2 || true
  kept=$(find "$run/$name/findings" -type f | wc -l)
  echo "   findings kept: $kept"
  findings=$((findings + kept))
done
echo "fuzz.sh: $findings finding(s); inputs, logs and findings in $run"
((findings == 0)) || echo "fuzz.sh: run one again with $build/fuzz/TARGET $run/TARGET/findings/FILE"
((findings == 0))
