#!/usr/bin/env bash
# The demo: builds marlet.exe and runs it under Wine against the Dorvex stand-in,
# printing what a user would see and what Dorvex received.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/deps.sh"
cmake --preset windows-mingw >/dev/null
cmake --build --preset windows-mingw -j2 >/dev/null
. "$top/scripts/wine-session.sh"
trap wine_session_stop EXIT
own=--own-display
[ -n "${DISPLAY:-}" ] && own=
wine_session_start "$top/build/mingw/wineprefix" $own
wine "$top/build/mingw/bin/demo.exe"
