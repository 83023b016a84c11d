#!/usr/bin/env bash
# Marlet-x64.msi and Marlet-x86.msi read with msitools, without running them
# (the only check of a package whose programs this machine cannot run):
#   msi_tables_test.sh Marlet-x64.msi Marlet-x86.msi
# Each is per-machine for its platform, carries the marlet.exe and the custom
# action DLL of its build, both PDFs and the Group Policy template, writes the
# COM classes to the installed marlet.exe, and has an upgrade code of its own,
# which the administrator's guide gives, as it gives the request processor's
# class the package searches for.
set -uo pipefail
failed=0
fail() { echo "FAILED: $*"; failed=1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The machine a PE file is built for: 8664 (x64) or 014c (x86).
machine() {
  local at
  at=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((at + 4)) -N2 "$1" | tr -d ' '
}
property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }

guide=$(dirname "$0")/../docs/admin-guide.md
codes=()
for package in "$@"; do
  case $package in
    *x64.msi) template='x64;1033' pe=8664 ;;
    *) template='Intel;1033' pe=014c ;;
  esac
  name=$(basename "$package")
  msiinfo suminfo "$package" | grep -qx "Template: $template" || fail "$name: template is not $template"
  [ "$(property "$package" ALLUSERS)" = 1 ] || fail "$name: not per-machine"
  codes+=("$(property "$package" UpgradeCode)")
  # Components of the x64 package are 64-bit ones (registry values in the 64-bit view), the x86 one's are not.
  bits=$(msiinfo export "$package" Component | tr -d '\r' | tail -n +4 | awk -F'\t' '{ print int($4 / 256) % 2 }' | sort -u)
  [ "$bits" = $([ $pe = 8664 ] && echo 1 || echo 0) ] || fail "$name: components not all of its platform"

  dir=$work/$name
  mkdir -p "$dir"
  msiextract -C "$dir" "$package" >/dev/null
  exe=$(find "$dir" -name marlet.exe | head -n 1)
  [ -n "$exe" ] && [ "$(machine "$exe")" = $pe ] || fail "$name: marlet.exe is not the $template build"
  for f in Marlet.admx en-US/Marlet.adml; do  # the Group Policy template, as the source tree holds it
    cmp -s "$(dirname "$0")/../policies/$f" "$(dirname "$exe")/$f" || fail "$name: $f beside marlet.exe is not the template"
  done
  msiinfo extract "$package" Binary.SettingsActions >"$dir/actions.dll"
  [ "$(machine "$dir/actions.dll")" = $pe ] || fail "$name: settings_action.dll is not the $template build"
  for pdf in QBManual.pdf AdminGuide.pdf; do
    [ "$(head -c 5 "$(find "$dir" -name $pdf | head -n 1)" 2>/dev/null)" = %PDF- ] || fail "$name: no $pdf"
  done
  # Deployment tools detect a package by its upgrade code: the administrator's guide gives it.
  grep -qiF "{${codes[-1]//[\{\}]/}}" "$guide" || fail "$name: its upgrade code ${codes[-1]} is not in $guide"
  # The guide gives the request processor's class the package chooses by (its searches' keys).
  clsids=$(msiinfo export "$package" RegLocator | tr -d '\r' | grep -o 'CLSID\\{[^}]*}' | sort -u)
  [ "$(echo "$clsids" | wc -l)" = 1 ] && [ -n "$clsids" ] || fail "$name: request processor searches: $clsids"
  grep -qiF "${clsids#CLSID\\}" "$guide" || fail "$name: the request processor's ${clsids#CLSID\\} is not in $guide"

  # Every class's LocalServer32 names the installed file, as /regserver writes it (none: no classes).
  servers=$(msiinfo export "$package" Registry | tr -d '\r' | awk -F'\t' '$3 ~ /^CLSID\\\{.*\}\\LocalServer32$/ { print $5 }' | sort -u)
  [ "$servers" = '"[#MarletExe]"' ] || fail "$name: LocalServer32 rows: $servers"
done
[ ${#codes[@]} -eq 2 ] && [ "${codes[0]}" != "${codes[1]}" ] && [ -n "${codes[0]}" ] ||
  fail "the two packages share an upgrade code (${codes[*]})"
[ $failed -eq 0 ] && echo "both packages: platform, files, COM classes and upgrade codes as expected"
exit $failed
