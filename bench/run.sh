#!/usr/bin/env bash
# Every benchmark behind one command, with a short table at the end. Builds what
# it needs (the native and the Windows build), runs the Windows programs under
# Wine on an Xvfb display of its own. Machines are noisy: whole-process numbers
# are ratios within one run, from alternating rounds, as medians; the whole-process
# comparisons run three times over, and each ratio's verdict is the median of the
# three, printed with its spread (lowest-highest), so one noisy run neither passes
# nor fails it.
#   bench/run.sh [--quick]
# Build folders: MARLET_BUILD_NATIVE (build/native), MARLET_BUILD_MINGW (build/mingw).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
native=${MARLET_BUILD_NATIVE:-$top/build/native}
mingw=${MARLET_BUILD_MINGW:-$top/build/mingw}
startup_rounds=100 trip_rounds=20 trip_blocks=3 repetitions=21 events=300 runs=3
if [ "${1:-}" = --quick ]; then startup_rounds=40 trip_rounds=5 trip_blocks=3 repetitions=5 events=60; fi
export WINEPREFIX=${WINEPREFIX:-$top/build/bench-wineprefix}

log=$(mktemp "${TMPDIR:-/tmp}/marlet-bench.XXXXXX")
work=$(mktemp -d "${TMPDIR:-/tmp}/marlet-bench.XXXXXX")
trap 'rm -rf "$work" "$log"' EXIT
step() { echo "bench: $*" >&2; }

step "building (log: $log)"
"$top/scripts/deps.sh" >>"$log" 2>&1
cmake -S "$top" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >>"$log"
cmake --build "$native" -j2 --target listener_bench >>"$log"
# The build the installer carries: the windows-mingw preset's (its folder and build type).
cmake -S "$top" -B "$mingw" -G Ninja --toolchain "$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel >>"$log"
cmake --build "$mingw" -j2 --target marlet bare qbhost_standin null_listener filetools_standin dorvex_standin \
  serve_memory >>"$log"
bin="$mingw/bin"

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# --- in-process: parse + dispatch + compose of one scan event (native, Google Benchmark)
step "parse + dispatch + compose ($repetitions repetitions)"
inproc_ns=$("$native/bench/listener_bench" --benchmark_repetitions="$repetitions" \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
  awk -F, '$1 ~ /_median"?$/ { t = $3; u = $5; gsub(/"/, "", u)
    print (u == "us") ? t * 1000 : (u == "ms") ? t * 1e6 : t }')

# --- marlet.exe: size and the DLLs it imports or delay-loads
size=$(stat -c %s "$bin/marlet.exe")
imports=$(x86_64-w64-mingw32-objdump -p "$bin/marlet.exe" | awk '/DLL Name:/ { print tolower($3) }' | sort -u | xargs)
# mingw's delay-load thunks name their DLLs as plain strings.
delayed=$(strings -a "$bin/marlet.exe" | grep -iE '^[a-z0-9_]+\.dll$' | tr 'A-Z' 'a-z' | sort -u |
  grep -vxF -f <(printf '%s\n' $imports) | xargs || true)
system_dlls=" kernel32.dll msvcrt.dll user32.dll gdi32.dll advapi32.dll ole32.dll oleaut32.dll shell32.dll "
system_dlls+="shlwapi.dll comctl32.dll comdlg32.dll uxtheme.dll version.dll "
foreign=
for d in $imports $delayed; do [[ $system_dlls == *" $d "* ]] || foreign+=" $d"; done

# --- peak working set while serving events: marlet.exe against the null server
step "memory while serving $events events"
source "$top/scripts/wine-session.sh"
set +e
wine_session_start "$WINEPREFIX" --own-display
set -e
cp "$bin/marlet.exe" "$bin/filetools.dll" "$bin/null_listener.exe" "$bin/serve_memory.exe" "$work/"
printf 'False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n' > "$work/dxqb.ini"
(
  cd "$work"
  wine regsvr32 /s filetools.dll
  wine marlet.exe /regserver
  wine null_listener.exe /regserver
  wine "$bin/qbhost.exe" --install >/dev/null
) >>"$log" 2>&1
memory() {  # progid -> "peak-kb private-kb", the median of three servers
  local peaks=() privates=() p q
  for _ in 1 2 3; do
    read -r p q < <(cd "$work" && wine serve_memory.exe "$1" "$events" 2>>"$log" | tr -d '\r' |
      awk -F'\t' '$1 == "memory" { print $4, $6 }')
    peaks+=("$p") privates+=("$q")
    for _ in $(seq 100); do pgrep -f 'marlet.exe|null_listener.exe' >/dev/null || break; sleep 0.1; done
  done
  echo "$(median "${peaks[@]}") $(median "${privates[@]}")"
}
read -r marlet_peak marlet_private < <(memory Marlet.QBMenuListener)
read -r null_peak null_private < <(memory Bench.NullListener)
(
  cd "$work"
  wine marlet.exe /unregserver
  wine null_listener.exe /unregserver
  wine regsvr32 /s /u filetools.dll
) >>"$log" 2>&1
wine_session_stop

# --- whole processes under Wine: start-up and the event round trip, three times over
startups=() startups_anew=() trips=() cycles=()
for r in $(seq "$runs"); do
  step "run $r of $runs: start-up ($startup_rounds alternating rounds)"
  bash "$top/bench/startup.sh" "$bin" "$startup_rounds" >"$work/startup-$r.txt" 2>>"$log"
  startups+=("$(awk '$1 == "ratio" && $2 ~ /^[0-9]/ { print $2 }' "$work/startup-$r.txt")")
  startups_anew+=("$(awk '$1 == "ratio," { print $5 }' "$work/startup-$r.txt")")
  step "run $r of $runs: event round trip ($trip_blocks blocks of $trip_rounds)"
  bash "$top/bench/host_roundtrip.sh" "$bin" "$trip_rounds" "$trip_blocks" >"$work/trip-$r.txt" 2>>"$log"
  trips+=("$(awk '$1 == "ratio" { print $2; exit }' "$work/trip-$r.txt")")
  cycles+=("$(awk '$1 == "ratio" { sub(/;$/, "", $5); print $5; exit }' "$work/trip-$r.txt")")
done
# "median (lowest-highest)" of the runs' ratios, and the median alone for the verdict.
spread() { printf '%s (%s-%s)' "$(median "$@")" "$(printf '%s\n' "$@" | sort -n | head -1)" \
  "$(printf '%s\n' "$@" | sort -n | tail -1)"; }
startup=$(median "${startups[@]}") startup_anew=$(median "${startups_anew[@]}")
trip=$(median "${trips[@]}") cycle=$(median "${cycles[@]}")

# --- the table
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print (v != "" && v + 0 <= t + 0) ? "ok" : "MISSED" }'; }
row() { printf '%-44s %-26s %-12s %s\n' "$@"; }
echo
for r in $(seq "$runs"); do echo "run $r of $runs:"; cat "$work/startup-$r.txt" "$work/trip-$r.txt"; done
echo
row "benchmark (ratios: median of $runs runs)" "result (lowest-highest)" "target" ""
row "start-up: marlet.exe / bare exe (Wine)" "$(spread "${startups[@]}")" "<= 1.10" "$(verdict "$startup" 1.10)"
row "  when dxqb.ini must be written anew" "$(spread "${startups_anew[@]}")" "" ""
row "event round trip: marlet / null server" "$(spread "${trips[@]}")" "<= 1.05" "$(verdict "$trip" 1.05)"
row "  whole cycle, event to Dorvex started" "$(spread "${cycles[@]}")" "<= 1.2" "$(verdict "$cycle" 1.2)"
inproc_us=$(awk -v n="$inproc_ns" 'BEGIN { printf "%.2f", n / 1000 }')
row "parse + dispatch + compose, median" "$inproc_us us" "<= 10 us" "$(verdict "$inproc_us" 10)"
# In KB of 1024 bytes; a signed copy (installer/) is larger by its signature.
size_kb=$(awk -v s="$size" 'BEGIN { printf "%.1f", s / 1024 }')
row "marlet.exe size (64-bit, as shipped)" "$size_kb KB ($size bytes)" "<= 460 KB" "$(verdict "$size_kb" 460)"
row "imported DLLs" "${imports}" "system only" "$([ -z "$foreign" ] && echo ok || echo "MISSED:$foreign")"
row "  delay-loaded at first use" "${delayed:-none}" "" ""
share_mb=$(awk -v a="$marlet_peak" -v b="$null_peak" 'BEGIN { printf "%.2f", (a - b) / 1024 }')
row "peak working set, $events events" "$(awk -v a="$marlet_peak" 'BEGIN { printf "%.1f MB", a / 1024 }')" \
  "" ""
row "  the null server, same events" "$(awk -v a="$null_peak" 'BEGIN { printf "%.1f MB", a / 1024 }')" "" ""
row "  marlet's own share (the difference)" "$share_mb MB" "<= 4 MB" "$(verdict "$share_mb" 4)"
row "  peak private bytes: marlet / null server" \
  "$(awk -v a="$marlet_private" -v b="$null_private" 'BEGIN { printf "%.1f / %.1f MB", a / 1024, b / 1024 }')" "" ""
echo "(Wine counts its own libraries into every working set: a bare Wine process already holds"
echo " tens of MB, so marlet's share is its peak minus that of a server that does nothing.)"
