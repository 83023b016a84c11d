#!/bin/sh
# Static analysis of every product file: clang-tidy (.clang-tidy) and cppcheck
# (.cppcheck-suppressions). The portable core goes through the native build's
# compile database; what only Windows builds (com/, platform/win32/, the
# *_win32 files of ui/ and main/, the installer's runasuser.exe) through the
# 64-bit Windows build's. Any
# finding, a compiler warning among them (both builds compile with -Werror),
# fails.
set -eu
cd "$(dirname "$0")/.."
NATIVE=build/lint
WINDOWS=build/lint-mingw
MINGW=x86_64-w64-mingw32
for tool in clang-tidy cppcheck $MINGW-g++-posix; do
  command -v "$tool" >/dev/null 2>&1 || { echo "lint: $tool not found; install clang-tidy, cppcheck and g++-mingw-w64-x86-64-posix" >&2; exit 1; }
done
cmake -S . -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMARLET_BENCH=OFF >/dev/null
cmake -S . -B "$WINDOWS" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" >/dev/null

PRODUCT='^(main|com|events|commands|ui|qb|app|settings|platform|installer)/'
sources() {  # the product files of a compile database
  sed -n 's|^ *"file": "'"$PWD"'/\(.*\)",\{0,1\}$|\1|p' "$1/compile_commands.json" | grep -E "$PRODUCT" | sort -u
}
native=$(sources "$NATIVE")
windows=$(sources "$WINDOWS" | grep -vxF "$native")
[ -n "$native" ] && [ -n "$windows" ] || { echo "lint: no product sources in a compile database" >&2; exit 1; }

# clang reads the Windows database as the mingw-w64 compiler would: its target,
# and that compiler's C++ library (its own intrinsics headers stay clang's).
winargs="--extra-arg-before=--target=$MINGW --extra-arg=-nostdinc++"
for dir in $(echo | $MINGW-g++-posix -std=c++20 -E -x c++ - -v 2>&1 | sed -n '/<\.\.\.> search starts/,/End of/p' | grep '^ .*/c++'); do
  winargs="$winargs --extra-arg=-isystem$dir"
done

status=0
: >"$NATIVE/clang-tidy.txt"
echo "lint: clang-tidy on $(echo "$native" | wc -l) native and $(echo "$windows" | wc -l) Windows files"
# shellcheck disable=SC2086
if ! echo "$native" | xargs -P2 -n4 clang-tidy -p "$NATIVE" --quiet 2>/dev/null >>"$NATIVE/clang-tidy.txt" ||
   ! echo "$windows" | xargs -P2 -n4 clang-tidy -p "$WINDOWS" --quiet $winargs 2>/dev/null >>"$NATIVE/clang-tidy.txt"; then
  status=1
fi
if grep -qE '(warning|error):' "$NATIVE/clang-tidy.txt"; then
  grep -E -A3 '(warning|error):' "$NATIVE/clang-tidy.txt"
  status=1
fi

echo "lint: cppcheck"
cppcheck_db() {  # database, platform, files
  db=$1; plat=$2; shift 2
  filters=""
  for f in "$@"; do filters="$filters --file-filter=$f"; done
  # shellcheck disable=SC2086
  cppcheck --project="$db/compile_commands.json" --platform="$plat" $filters --std=c++20 \
    --enable=warning,style,performance,portability --inline-suppr \
    --suppressions-list=.cppcheck-suppressions --error-exitcode=1 --quiet \
    --template='{file}:{line}: {severity}: {message} [{id}]'
}
# shellcheck disable=SC2086
cppcheck_db "$NATIVE" native $native || status=1
# shellcheck disable=SC2086
cppcheck_db "$WINDOWS" win64 $windows || status=1

# Each folder includes only the folders below it (docs/architecture.md, "Layers"),
# the lowest first here.
echo "lint: layers"
layers="platform settings app qb ui commands events com main"
above=$layers
for layer in $layers; do
  above=${above#"$layer"}; above=${above# }
  [ -n "$above" ] || break
  upward=$(grep -rnE '#include "('"$(echo "$above" | tr ' ' '|')"')/' "$layer" || true)
  if [ -n "$upward" ]; then
    echo "lint: $layer/ includes a layer above it:"; echo "$upward"
    status=1
  fi
done

# Each name the outside world knows is quoted in one product line: its home
# (docs/architecture.md, "Where each fact lives").
echo "lint: one home per name"
for name in Marlet.QBMenuListener Marlet.cmOptions Kelvorn.FileTools Dorvex.exe \
            qbscan.dxc qbscan_no_txn.dxc qbretrieve.dxc QBManual.pdf; do
  pattern="\"[^\"]*$(echo "$name" | sed 's/\./\\./g')"
  homes=$(grep -rnE --include='*.cpp' --include='*.h' "$pattern" main com events commands ui qb app settings platform/win32 |
          grep -vE '^[^:]*:[0-9]+: *//' || true)
  if [ "$(echo "$homes" | grep -c .)" -ne 1 ]; then
    echo "lint: \"$name\" should be quoted in one place, its home; it is in:"; echo "$homes"
    status=1
  fi
done

[ $status -eq 0 ] && echo "lint: clean" || echo "lint: findings above" >&2
exit $status
