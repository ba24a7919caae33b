#!/bin/bash
# Installs every build and test dependency on a Debian 12 machine, as root.
# Idempotent: does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build git
  libgtest-dev libgmock-dev clang-14 libclang-rt-14-dev clang-format-14
  mingw-w64
  wine wine64 wine32:i386
  msitools wixl
  xvfb xauth x11-utils
  mtools dosfstools
  pkg-config libmsi-dev libgsf-1-dev libglib2.0-dev
  fusefat fuse
  osslsigncode openssl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
