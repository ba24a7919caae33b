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

usage() { sed -n '8,19p' "$0" >&2; exit 2; }
credentials=() extra=() files=()
while (($#)); do
  case $1 in
    --cert) credentials+=(-certs "$2"); shift 2 ;;
    --key) credentials+=(-key "$2"); shift 2 ;;
    --pkcs12) credentials+=(-pkcs12 "$2"); shift 2 ;;
    --password-file) extra+=(-readpass "$2"); shift 2 ;;
    --timestamp) extra+=(-ts "$2"); shift 2 ;;
    --description) extra+=(-n "$2"); shift 2 ;;
    --url) extra+=(-i "$2"); shift 2 ;;
    -h | --help) usage ;;
    -*) echo "sign.sh: unknown option $1" >&2; usage ;;
    *) files+=("$1"); shift ;;
  esac
done
((${#credentials[@]} && ${#files[@]})) || usage
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
