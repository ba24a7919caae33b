#!/bin/bash
# Builds the native tree (tests, tools), and SETUP.EXE with the Win32 tools
# for 32-bit Windows (the product) and for 64-bit Windows (for Wine on
# machines that cannot run 32-bit programs).
# Usage: scripts/build.sh [native] [sanitize] [fuzz] [win32] [win64]   (default: all but sanitize and fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SETUP_BUILD_DIR:-$root/build}
jobs=$(nproc)

targets=("$@")
((${#targets[@]})) || targets=(native win32 win64)

configure_and_build() {
  local dir=$1; shift
  if [[ ! -f $dir/build.ninja ]]; then
    cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  fi
  cmake --build "$dir" -j "$jobs"
}

for t in "${targets[@]}"; do
  case $t in
    native)   configure_and_build "$build/native" -DCMAKE_BUILD_TYPE=Debug ;;
    sanitize) configure_and_build "$build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DSETUP_SANITIZE=ON ;;
    fuzz)     configure_and_build "$build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_FUZZ=ON \
                -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 ;;
    win32)    configure_and_build "$build/win32" -DCMAKE_BUILD_TYPE=MinSizeRel \
                -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" ;;
    win64)    configure_and_build "$build/win64" -DCMAKE_BUILD_TYPE=MinSizeRel \
                -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" ;;
    *) echo "build.sh: unknown target $t" >&2; exit 2 ;;
  esac
done
