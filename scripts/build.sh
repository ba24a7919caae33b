#!/bin/bash
# Builds the native tree (tests, tools), and SETUP.EXE with the Win32 tools
# for 32-bit Windows (the product) and for 64-bit Windows (for Wine on
# machines that cannot run 32-bit programs).
# Usage: scripts/build.sh [TREE[:TARGET]...]
#   TREE is native, sanitize, fuzz, win32 or win64 (default: native win32
#   win64); TARGET builds one target of that tree only (win32:setup).
# The compiler's output goes to TREE/build.log and is shown when a build
# fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SETUP_BUILD_DIR:-$root/build}
jobs=$(nproc)

requests=("$@")
((${#requests[@]})) || requests=(native win32 win64)

configure_and_build() {
  local dir=$1 target=$2; shift 2
  mkdir -p "$dir"
  local log=$dir/build.log
  if [[ ! -f $dir/build.ninja ]]; then
    if ! cmake -S "$root" -B "$dir" -G Ninja "$@" >"$log" 2>&1; then
      tail -n 40 "$log"
      echo "build.sh: configuring $dir failed (log: $log)" >&2
      return 1
    fi
  fi
  local args=(--build "$dir" -j "$jobs")
  [[ -n $target ]] && args+=(--target "$target")
  if ! cmake "${args[@]}" >"$log" 2>&1; then
    grep -E 'error|Error|FAILED' "$log" | head -n 40
    echo "build.sh: building $dir failed (log: $log)" >&2
    return 1
  fi
  echo "build.sh: $(basename "$dir")${target:+ ($target)} built"
}

for request in "${requests[@]}"; do
  tree=${request%%:*}
  target=
  [[ $request == *:* ]] && target=${request#*:}
  case $tree in
    native)   configure_and_build "$build/native" "$target" -DCMAKE_BUILD_TYPE=Debug ;;
    sanitize) configure_and_build "$build/sanitize" "$target" -DCMAKE_BUILD_TYPE=Debug -DSETUP_SANITIZE=ON ;;
    fuzz)     configure_and_build "$build/fuzz" "$target" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_FUZZ=ON \
                -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 ;;
    win32)    configure_and_build "$build/win32" "$target" -DCMAKE_BUILD_TYPE=MinSizeRel \
                -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" ;;
    win64)    configure_and_build "$build/win64" "$target" -DCMAKE_BUILD_TYPE=MinSizeRel \
                -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" ;;
    *) echo "build.sh: unknown tree $tree" >&2; exit 2 ;;
  esac
done
