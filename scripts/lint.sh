#!/bin/sh
# Static analysis of the portable core: clang-tidy (.clang-tidy) and cppcheck
# (.cppcheck-suppressions) over the sources of the native build's compile
# database. Any finding fails. The Windows side (*_win32.cpp) is not in it.
set -eu
cd "$(dirname "$0")/.."
BUILD=build/lint
for tool in clang-tidy cppcheck; do
  command -v "$tool" >/dev/null 2>&1 || { echo "lint: $tool not found; install clang-tidy and cppcheck" >&2; exit 1; }
done
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMARLET_BENCH=OFF >/dev/null

CORE='^(main|app|settings|qb|events|ui|platform)/'
files=$(sed -n 's|^ *"file": "'"$PWD"'/\(.*\)",\{0,1\}$|\1|p' "$BUILD/compile_commands.json" | grep -E "$CORE" | sort -u)
[ -n "$files" ] || { echo "lint: no core sources in $BUILD/compile_commands.json" >&2; exit 1; }

status=0
echo "lint: clang-tidy on $(echo "$files" | wc -l) files"
if ! echo "$files" | xargs -P2 -n4 clang-tidy -p "$BUILD" --quiet 2>/dev/null >"$BUILD/clang-tidy.txt"; then
  status=1
fi
if grep -qE '(warning|error):' "$BUILD/clang-tidy.txt"; then
  grep -E -A3 '(warning|error):' "$BUILD/clang-tidy.txt"
  status=1
fi

echo "lint: cppcheck"
filters=""
for d in main app settings qb events ui platform; do filters="$filters --file-filter=$d/*"; done
# shellcheck disable=SC2086
if ! cppcheck --project="$BUILD/compile_commands.json" $filters --std=c++20 \
     --enable=warning,style,performance,portability --inline-suppr \
     --suppressions-list=.cppcheck-suppressions --error-exitcode=1 --quiet \
     --template='{file}:{line}: {severity}: {message} [{id}]'; then
  status=1
fi

[ $status -eq 0 ] && echo "lint: clean" || echo "lint: findings above" >&2
exit $status
