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
  locales
)

# The locales the end-to-end tests run Wine under: the Unix locale chooses
# Wine's ANSI code page (en_US and de_DE 1252, ru_RU 1251, ja_JP 932).
locales=(en_US.UTF-8 de_DE.UTF-8 ja_JP.UTF-8 ru_RU.UTF-8)

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

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  generate_locales
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
generate_locales
