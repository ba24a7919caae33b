#!/bin/bash
# Installs every build and test dependency on a Debian 12 machine, as root.
# Idempotent: does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build git
  libgtest-dev libgmock-dev clang-14 libclang-rt-14-dev clang-format-14
  mingw-w64
  wine wine64
  msitools wixl
  xvfb xauth x11-utils
  mtools dosfstools
  pkg-config libmsi-dev libgsf-1-dev libglib2.0-dev
  fusefat fuse libfuse-dev
  osslsigncode openssl
  locales
)
# 32-bit Wine runs the product itself where the kernel can run 32-bit
# programs; elsewhere the tests use the 64-bit build, so it may be missing.
optional=(wine32:i386)

# The locales the end-to-end tests run Wine under: the Unix locale chooses
# Wine's ANSI code page (en_US, de_DE and fr_FR 1252, ru_RU 1251, ja_JP 932).
locales=(en_US.UTF-8 de_DE.UTF-8 fr_FR.UTF-8 ja_JP.UTF-8 ru_RU.UTF-8)

# Generates the locales that are missing; nothing when all are there.
generate_locales() {
  local wanted=() name
  for name in "${locales[@]}"; do
    locale -a 2>/dev/null | grep -qix "${name%%.*}\.utf-\?8" || wanted+=("$name")
  done
  ((${#wanted[@]})) || return 0
  echo "install-deps: generating the locales ${wanted[*]}"
  for name in "${wanted[@]}"; do
    # Uncomment the line in /etc/locale.gen, or add it.
    if grep -q "^# *$name UTF-8" /etc/locale.gen; then
      sed -i "s/^# *\($name UTF-8\)/\1/" /etc/locale.gen
    elif ! grep -q "^$name UTF-8" /etc/locale.gen; then
      echo "$name UTF-8" >>/etc/locale.gen
    fi
  done
  locale-gen >/dev/null
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=() missing_optional=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${optional[@]}"; do installed "$p" || missing_optional+=("$p"); done

if ((${#missing[@]} + ${#missing_optional[@]} == 0)); then
  generate_locales
  echo "install-deps: all packages present"
  exit 0
fi

# A mirror in the middle of a sync fails one index for a few minutes; the
# indexes that did arrive are still used when the retries run out.
update_indexes() {
  local try
  for try in 1 2 3 4; do
    apt-get update -q && return 0
    ((try < 4)) && { echo "install-deps: apt-get update failed; trying again in 30 s"; sleep 30; }
  done
  echo "install-deps: apt-get update kept failing; going on with the indexes it fetched"
}

wanted=("${missing[@]}" "${missing_optional[@]}")
echo "install-deps: installing ${wanted[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
if ((${#missing[@]})); then
  update_indexes
  apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  apt-get update -q || true
fi
if ((${#missing_optional[@]})) &&
  ! apt-get install -y -q --no-install-recommends "${missing_optional[@]}"; then
  echo "install-deps: ${missing_optional[*]} cannot be installed now; Wine runs the 64-bit build"
fi
generate_locales
