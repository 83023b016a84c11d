#!/usr/bin/env bash
# Copies a Windows program to where the installer takes it from, signing it
# (Authenticode, with osslsigncode) on the way when a certificate is given:
#
#   sign.sh [--pfx FILE [--timestamp URL]] IN OUT      (IN and OUT may be one file)
#
# The certificate's password is read from MARLET_SIGN_PASSWORD here, when the
# build runs, and handed to osslsigncode through a pipe: it never lands in the
# build's files, on a command line or on disk. Unset or empty: a certificate
# file without a password.
set -euo pipefail
pfx='' timestamp=''
while [ $# -gt 2 ]; do
  case $1 in
    --pfx) pfx=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    *) echo "sign.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -eq 2 ] || { echo "usage: sign.sh [--pfx FILE [--timestamp URL]] IN OUT" >&2; exit 2; }
in=$1 out=$2
mkdir -p "$(dirname "$out")"
if [ -z "$pfx" ]; then
  [ "$in" -ef "$out" ] || cp -f "$in" "$out"
  exit 0
fi
tmp=$out.signing
rm -f "$tmp"
args=(sign -pkcs12 "$pfx" -h sha256 -n Marlet -in "$in" -out "$tmp")
[ -z "$timestamp" ] || args+=(-ts "$timestamp")
sign() {
  if [ -n "${MARLET_SIGN_PASSWORD-}" ]; then
    osslsigncode "${args[@]}" -readpass <(printf %s "$MARLET_SIGN_PASSWORD")
  else
    osslsigncode "${args[@]}"
  fi
}
if ! sign >"$tmp.log" 2>&1; then
  cat "$tmp.log" >&2
  rm -f "$tmp" "$tmp.log"
  echo "sign.sh: could not sign $in with $pfx (is MARLET_SIGN_PASSWORD right?)" >&2
  exit 1
fi
rm -f "$tmp.log"
mv -f "$tmp" "$out"
