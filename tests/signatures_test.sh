#!/usr/bin/env bash
# The programs the installer ships carry an Authenticode signature that
# verifies against the certificate(s) in CAFILE:
#   signatures_test.sh CAFILE PROGRAM...
set -uo pipefail
cafile=$1; shift
failed=0
indented() { while IFS= read -r line; do echo "    $line"; done <<<"$1"; }
for program in "$@"; do
  if ! out=$(osslsigncode verify -CAfile "$cafile" -in "$program" 2>&1); then
    echo "NOT VERIFIED: $program"
    indented "$out"
    failed=1
  elif ! grep -q '^Signature verification: ok' <<<"$out"; then
    echo "NO VERIFIED SIGNATURE: $program"
    indented "$out"
    failed=1
  else
    echo "signed and verified: $program ($(grep -m1 'Subject:' <<<"$out" | sed 's/^[[:space:]]*//'))"
  fi
done
exit $failed
