#!/usr/bin/env bash
# Every test: native unit tests, the same under ASan+UBSan, lint, a fuzz smoke,
# the Windows programs (installer included) under Wine, and the 32-bit build. Installs what is missing first (as root).
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

# A throwaway self-signed code-signing certificate in the build folder (no
# password), made once and again when it nears its end: the build signs what
# it ships with it as a release build would with a real one, and the test
# installer.signatures verifies each signature against it. A MARLET_SIGN_PFX
# already set (a release run) is used instead.
throwaway_certificate() {
  local dir=$top/build/signing
  if ! openssl x509 -checkend 86400 -noout -in "$dir/cert.pem" >/dev/null 2>&1 || [ ! -f "$dir/signing.pfx" ]; then
    mkdir -p "$dir"
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Marlet throwaway test signing" \
      -addext extendedKeyUsage=codeSigning -keyout "$dir/key.pem" -out "$dir/cert.pem" >/dev/null 2>&1 &&
      openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" -out "$dir/signing.pfx" -passout pass: ||
      return 1
  fi
  export MARLET_SIGN_PFX=$dir/signing.pfx MARLET_SIGN_CAFILE=$dir/cert.pem
  unset MARLET_SIGN_PASSWORD MARLET_SIGN_TIMESTAMP
}

# The installer carries the 32-bit marlet.exe: build it before the 64-bit build.
windows() {
  if [ -z "${MARLET_SIGN_PFX:-}" ]; then throwaway_certificate || return 1; fi
  cmake --preset windows-mingw-i686 >/dev/null && cmake --build --preset windows-mingw-i686 -j2 --target marlet &&
    cmake --preset windows-mingw >/dev/null && cmake --build --preset windows-mingw -j2 || return 1
  . "$top/scripts/wine-session.sh"
  wine_session_start "$top/build/mingw/wineprefix" --own-display
  ctest --preset windows-mingw
  local rc=$?
  wine_session_stop
  return $rc
}

# The manual shows the picture of the Options dialog that the dialog tests
# took: build QBManual.pdf and the installer again now that it exists.
installer() {
  cmake --build --preset windows-mingw --target installer &&
    ls -l "$top/build/mingw/bin/MarletSetup.exe" "$top/build/mingw/bin/QBManual.pdf"
}

# The 32-bit build (QuickBooks before 2022) is always built; its tests run only
# where 32-bit Wine is installed (Debian: MARLET_WINE32=1 installs wine32:i386).
windows_i686() {
  cmake --preset windows-mingw-i686 >/dev/null && cmake --build --preset windows-mingw-i686 -j2 || return 1
  if [ "${MARLET_WINE32:-0}" = 1 ]; then "$top/scripts/wine32.sh" || return 1; fi
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    echo "32-bit Wine is not installed: the 32-bit programs are built but not run."
    echo "Run MARLET_WINE32=1 scripts/test.sh (as root) to install it and run them."
    return 0
  fi
  . "$top/scripts/wine-session.sh"
  wine_session_start "$top/build/mingw-i686/wineprefix" --own-display
  ctest --preset windows-mingw-i686
  local rc=$?
  wine_session_stop
  return $rc
}

step "native tests" native
step "native tests under ASan and UBSan" "$top/scripts/asan.sh"
step "lint (clang-tidy, cppcheck)" "$top/scripts/lint.sh"
step "fuzz smoke" "$top/scripts/fuzz-smoke.sh" 5
step "Windows tests under Wine" windows
step "installer with the manual's picture" installer
step "32-bit Windows build (tests under 32-bit Wine)" windows_i686

echo
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all test steps passed"
