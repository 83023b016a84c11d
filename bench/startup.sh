#!/usr/bin/env bash
# Start-up of marlet.exe with no switch (options file present: read, written
# back) against a bare static Win32 exe, both under Wine, alternating, in one run.
# Two starts of marlet.exe are timed: the usual one, whose options file is
# already in the program's own form (as after any earlier start) and is left as
# it is, and one whose file must be written anew (durably: a flushed temporary
# file renamed over it): a file cut short, which a save completes. (A file that
# holds the same values in other words is left as it is: the save compares values.)
#   bench/startup.sh [BIN_FOLDER] [ROUNDS]
# Prints the medians and the ratios (target <= 1.10).
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
mkdir "$work/same" "$work/anew"
cp "$bin/bare.exe" "$work/"
cp "$bin/marlet.exe" "$work/same/"
cp "$bin/marlet.exe" "$work/anew/"
printf 'False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n' > "$work/same/dxqb.ini"
printf 'False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\n' > "$work/anew.ini"
cd "$work"

now_us() { date +%s%6N; }
run_us() { local t0; t0=$(now_us); wine "$1" >/dev/null 2>&1; echo $(( $(now_us) - t0 )); }
anew_us() { cp anew.ini anew/dxqb.ini; run_us ./anew/marlet.exe; }
for _ in 1 2 3; do run_us ./bare.exe >/dev/null; run_us ./same/marlet.exe >/dev/null; anew_us >/dev/null; done

bare=() same=() anew=()
for _ in $(seq "$rounds"); do
  bare+=("$(run_us ./bare.exe)")
  same+=("$(run_us ./same/marlet.exe)")
  anew+=("$(anew_us)")
done
[ "$(cat same/dxqb.ini)" = "$(printf 'False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n')" ] &&
  [ "$(cat anew/dxqb.ini)" = "$(cat same/dxqb.ini)" ] || { echo "startup: the options file was not kept" >&2; exit 1; }
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mb=$(median "${bare[@]}"); ms=$(median "${same[@]}"); ma=$(median "${anew[@]}")
echo "start-up under Wine, median of $rounds alternating runs:"
echo "  bare static exe               ${mb} us"
echo "  marlet.exe                    ${ms} us"
echo "  marlet.exe, file written anew ${ma} us"
awk -v a="$ms" -v b="$mb" 'BEGIN { printf "  ratio                         %.2f   (target <= 1.10)\n", a / b }'
awk -v a="$ma" -v b="$mb" 'BEGIN { printf "  ratio, file written anew      %.2f\n", a / b }'
