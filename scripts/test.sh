#!/usr/bin/env bash
# Every test: native unit tests, the same under ASan+UBSan, lint, a fuzz smoke,
# and the Windows programs under Wine. Installs what is missing first (as root).
# Exits non-zero on any failure.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

"$top/scripts/deps.sh" || exit 1

failed=()
step() {
  local name=$1; shift
  echo
  echo "=== $name"
  if "$@"; then echo "=== $name: ok"; else echo "=== $name: FAILED"; failed+=("$name"); fi
}

native() {
  cmake --preset native >/dev/null && cmake --build --preset native -j2 && ctest --preset native
}

windows() {
  cmake --preset windows-mingw >/dev/null && cmake --build --preset windows-mingw -j2 || return 1
  . "$top/scripts/wine-session.sh"
  wine_session_start "$top/build/mingw/wineprefix" --own-display
  ctest --preset windows-mingw
  local rc=$?
  wine_session_stop
  return $rc
}

step "native tests" native
step "native tests under ASan and UBSan" "$top/scripts/asan.sh"
step "lint (clang-tidy, cppcheck)" "$top/scripts/lint.sh"
step "fuzz smoke" "$top/scripts/fuzz-smoke.sh" 5
step "Windows tests under Wine" windows

echo
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all test steps passed"
