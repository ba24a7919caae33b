#!/bin/bash
# Signs SETUP.EXE (and, given them, the package and its transforms) in place
# with the vendor's code-signing certificate: Authenticode, SHA-256, through
# osslsigncode. Sign the SETUP.EXE the build made: the build's post-link
# step has already set its header, and any later change to the file breaks
# the signature.
#
# Usage: scripts/sign.sh (--cert CERT.pem --key KEY.pem | --pkcs12 FILE.pfx)
#          [--password-file FILE] [--timestamp URL] [--description TEXT]
#          [--url URL] FILE...
#   --cert/--key    the certificate (chain) and private key, PEM or DER
#   --pkcs12        certificate and key in one PKCS#12 file instead
#   --password-file a file holding the key's password (kept off the command
#                   line, where other users could read it)
#   --timestamp     an RFC 3161 time-stamp server; with it the signature stays
#                   valid after the certificate expires
#   --description, --url  shown by Windows in the signature's details
# Exits non-zero, leaving the files as they were, when a signing fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

help() { awk '/^# Usage:/ {on = 1} on && !/^#/ {exit} on {sub(/^# ?/, ""); print}' "$0"; }
refuse() { echo "sign.sh: $*" >&2; exit 2; }
# The value of an option: refused when it is missing or is the next option.
value() {
  [[ $# -ge 2 && -n $2 && $2 != --* ]] || refuse "$1 needs a value (sign.sh --help tells more)"
  printf '%s' "$2"
}
# A file the signing needs: refused when it is missing or empty.
credential() {  # OPTION FILE WHAT
  [[ -f $2 ]] || refuse "$1 $2: no such file ($3)"
  [[ -s $2 ]] || refuse "$1 $2: the file is empty ($3)"
}

cert= key= pkcs12= extra=() files=()
while (($#)); do
  case $1 in
    --cert) cert=$(value "$@"); shift 2 ;;
    --key) key=$(value "$@"); shift 2 ;;
    --pkcs12) pkcs12=$(value "$@"); shift 2 ;;
    --password-file) extra+=(-readpass "$(value "$@")"); shift 2 ;;
    --timestamp) extra+=(-ts "$(value "$@")"); shift 2 ;;
    --description) extra+=(-n "$(value "$@")"); shift 2 ;;
    --url) extra+=(-i "$(value "$@")"); shift 2 ;;
    -h | --help) help; exit 0 ;;
    --version) echo "sign.sh $(sed -n 's/^project(.* VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")"; exit 0 ;;
    -*) refuse "unknown option $1 (sign.sh --help tells more)" ;;
    *) files+=("$1"); shift ;;
  esac
done
credentials=()
if [[ -n $pkcs12 ]]; then
  [[ -z $cert && -z $key ]] || refuse "give either --pkcs12 or --cert with --key, not both"
  credential --pkcs12 "$pkcs12" "the certificate and key in one PKCS#12 file"
  credentials=(-pkcs12 "$pkcs12")
else
  [[ -n $cert ]] || refuse "no certificate: give --cert CERT.pem with --key KEY.pem, or --pkcs12 FILE.pfx"
  [[ -n $key ]] || refuse "--cert needs --key KEY.pem, the certificate's private key"
  credential --cert "$cert" "the code-signing certificate"
  credential --key "$key" "the certificate's private key"
  credentials=(-certs "$cert" -key "$key")
fi
((${#files[@]})) || refuse "no file to sign (sign.sh --help tells more)"
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is not installed" >&2; exit 1; }

for file in "${files[@]}"; do
  [[ -f $file ]] || { echo "sign.sh: $file missing" >&2; exit 1; }
  signed=$file.signed.$$
  rm -f "$signed"
  if ! osslsigncode sign "${credentials[@]}" "${extra[@]}" -h sha256 -in "$file" -out "$signed" \
    >"$signed.log" 2>&1; then
    cat "$signed.log" >&2
    rm -f "$signed" "$signed.log"
    echo "sign.sh: signing $file failed" >&2
    exit 1
  fi
  rm -f "$signed.log"
  chmod --reference="$file" "$signed"
  mv -f "$signed" "$file"
  echo "sign.sh: signed $file"
done
