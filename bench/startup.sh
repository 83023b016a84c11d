#!/usr/bin/env bash
# Start-up of marlet.exe with no switch (options file present: read and written
# back) against a bare static Win32 exe, both under Wine, alternating, in one run.
#   bench/startup.sh [BIN_FOLDER] [ROUNDS]
# Prints both medians and the ratio (target <= 1.10).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$top/build/mingw/bin}" && pwd)
rounds=${2:-40}

work=$(mktemp -d "${TMPDIR:-/tmp}/marlet-startup.XXXXXX")
source "$top/scripts/wine-session.sh"
set +e
wine_session_start "${WINEPREFIX:-$top/build/bench-wineprefix}" --own-display
set -e
trap 'wine_session_stop; rm -rf "$work"' EXIT
cp "$bin/marlet.exe" "$bin/bare.exe" "$work/"
printf 'False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n' > "$work/dxqb.ini"
cd "$work"

now_us() { date +%s%6N; }
run_us() { local t0; t0=$(now_us); wine "$1" >/dev/null 2>&1; echo $(( $(now_us) - t0 )); }
for _ in 1 2 3; do run_us ./bare.exe >/dev/null; run_us ./marlet.exe >/dev/null; done

bare=() marlet=()
for _ in $(seq "$rounds"); do
  bare+=("$(run_us ./bare.exe)")
  marlet+=("$(run_us ./marlet.exe)")
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mb=$(median "${bare[@]}"); mm=$(median "${marlet[@]}")
echo "start-up under Wine, median of $rounds alternating runs:"
echo "  bare static exe   ${mb} us"
echo "  marlet.exe        ${mm} us"
awk -v a="$mm" -v b="$mb" 'BEGIN { printf "  ratio             %.2f   (target <= 1.10)\n", a / b }'
