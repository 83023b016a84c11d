#!/usr/bin/env bash
# One "retrieve" menu event with nothing open delivered by the QuickBooks host
# stand-in to marlet.exe, against the same event delivered to a COM local server
# that does nothing (null_listener.exe), in the same Wine session, alternating in
# blocks.
#   bench/host_roundtrip.sh [BIN_FOLDER] [ROUNDS_PER_BLOCK] [BLOCKS]
# A round trip is activation (the server process starts, and marlet.exe runs
# its start-up), the inform call and the release; a cycle lasts until the
# server process has ended: for marlet.exe, after its loop has started Dorvex
# (the stand-in) for the event. Prints the medians and the ratios marlet / baseline.
# The host starts each server itself and waits until it serves (--prestart):
# Wine's COM, when it starts a server, looks for it again only after a whole
# second, which would bury both programs' start-up in the same fixed wait. One
# block through COM's own start is measured as well, for reference. A round
# begins once the one before is over, Dorvex included: a Dorvex still starting
# on a two-core machine took 15-20 ms of the next round's activation, a cost of
# the pick before, not of this one (QuickBooks' picks are seconds apart).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$top/build/mingw/bin}" && pwd)
rounds=${2:-20}
blocks=${3:-5}

work=$(mktemp -d "${TMPDIR:-/tmp}/marlet-roundtrip.XXXXXX")
prefix=${WINEPREFIX:-$top/build/bench-wineprefix}
source "$top/scripts/wine-session.sh"
set +e  # the session helpers test and tolerate their own failures
wine_session_start "$prefix" --own-display
set -e
trap 'wine_session_stop; rm -rf "$work"' EXIT

cp "$bin/marlet.exe" "$bin/filetools.dll" "$bin/null_listener.exe" "$work/"
mkdir "$work/Dx" && cp "$bin/Dorvex.exe" "$work/Dx/"
host="$bin/qbhost.exe"  # its type library stays beside it
cd "$work"
dx="Z:$(printf '%s' "$work/Dx/" | tr / '\\')"
printf 'False\r\n%s\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n' "$dx" > dxqb.ini
wine regsvr32 /s filetools.dll
wine marlet.exe /regserver
wine null_listener.exe /regserver
wine "$host" --install >/dev/null

measure() {  # progid [host options] -> "call cycle" medians in microseconds
  local progid=$1; shift
  { wine "$host" --progid="$progid" --repeat="$rounds" "$@" retrieve 2>/dev/null || true; } | tr -d '\r' |
    awk -F'\t' '$1 == "timing" { print $4, $6 }'
}
# Warm both once (first starts load Wine's libraries).
measure Marlet.QBMenuListener --prestart >/dev/null
measure Bench.NullListener --prestart >/dev/null

marlet_calls=() marlet_cycles=() null_calls=() null_cycles=()
for b in $(seq "$blocks"); do
  read -r c y < <(measure Marlet.QBMenuListener --prestart); marlet_calls+=("$c"); marlet_cycles+=("$y")
  read -r c y < <(measure Bench.NullListener --prestart);    null_calls+=("$c");   null_cycles+=("$y")
done

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mc=$(median "${marlet_calls[@]}"); my=$(median "${marlet_cycles[@]}")
nc=$(median "${null_calls[@]}");   ny=$(median "${null_cycles[@]}")
echo "round trip (activation + inform + release), median of $blocks blocks x $rounds rounds:"
echo "  marlet.exe        ${mc} us   (whole cycle until the process ended: ${my} us)"
echo "  null listener     ${nc} us   (whole cycle: ${ny} us)"
awk -v a="$mc" -v b="$nc" -v c="$my" -v d="$ny" \
  'BEGIN { printf "  ratio             %.2f   (whole cycle: %.2f; target <= 1.05)\n", a / b, c / d }'
read -r mcom _ < <(measure Marlet.QBMenuListener)
read -r ncom _ < <(measure Bench.NullListener)
echo "through COM's own server start (Wine waits 1 s for it): marlet.exe ${mcom} us, null listener ${ncom} us"
wine marlet.exe /unregserver
wine null_listener.exe /unregserver
wine regsvr32 /s /u filetools.dll
