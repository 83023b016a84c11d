#!/bin/sh
# Builds the libFuzzer targets with clang and runs each one for a few seconds
# from its seed corpus. Usage: scripts/fuzz-smoke.sh [seconds] [target...]
#   seconds  time per target (default 5); 600 for a long run
#   target   names without the fuzz_ prefix (default: every target)
# New inputs go to build/fuzz/found/<target>/, crashes to build/fuzz/crashes/;
# the seed corpus in the repo is only read.
set -eu
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-5}
[ $# -gt 0 ] && shift
BUILD=build/fuzz

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz-smoke: clang++ not found; install clang and libclang-rt-14-dev" >&2
  exit 1
fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARLET_FUZZ=ON -DMARLET_BENCH=OFF >/dev/null

if [ $# -gt 0 ]; then
  TARGETS="$*"
else
  TARGETS=$(ls tests/fuzz/fuzz_*.cpp | sed 's|.*/fuzz_||; s|\.cpp$||')
fi
for t in $TARGETS; do
  cmake --build "$BUILD" --target "fuzz_$t" -j2 >/dev/null
done

# Per-target limits: event documents may be large, command lines and option
# files are short in practice but the code must not care.
max_len() {
  case $1 in
    events|lookups) echo 65536 ;;
    *) echo 8192 ;;
  esac
}

status=0
for t in $TARGETS; do
  found="$BUILD/found/$t"; crashes="$BUILD/crashes/$t"
  mkdir -p "$found" "$crashes"
  printf 'fuzz_%s: %ss ... ' "$t" "$SECONDS_PER_TARGET"
  log="$BUILD/fuzz_$t.log"
  dict=""
  [ -f "tests/fuzz/$t.dict" ] && dict="-dict=tests/fuzz/$t.dict"
  # shellcheck disable=SC2086
  if "$BUILD/tests/fuzz/fuzz_$t" "$found" "tests/fuzz/corpus/$t" $dict \
       -max_total_time="$SECONDS_PER_TARGET" -max_len="$(max_len "$t")" \
       -rss_limit_mb=1024 -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$crashes/" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" | sed 's/.*: *//; s/$/ executions, ok/'
  else
    echo "FAILED (see $log)"
    tail -n 30 "$log" >&2
    status=1
  fi
done
exit $status
