#!/usr/bin/env bash
# Every test: native unit tests, the same under ASan+UBSan, lint, a fuzz smoke,
# the Windows programs (installer included) under Wine, and the 32-bit build with
# its tests under 32-bit Wine where this kernel runs 32-bit programs (checked
# without running them where it runs none). Installs what is missing first (as
# root). Exits non-zero on any failure.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

"$top/scripts/deps.sh" || exit 1

# Can this kernel run 32-bit programs? Asked once; every Wine run below uses the
# loader that answer names (scripts/wine-loader.sh).
. "$top/scripts/wine-loader.sh"
marlet_wine_choose || exit 1
marlet_wine_report

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

# 32-bit Wine where this kernel runs 32-bit programs (the installer test's
# 32-bit rows and the 32-bit step run them): installed where it is missing
# (scripts/wine32.sh; as root, otherwise it says what to install), and a
# machine that cannot install it fails the step. Where the kernel runs none it
# is never installed: it would only break Debian's `wine`.
wine32() {
  if [ "$MARLET_RUNS_32BIT" = yes ]; then "$top/scripts/wine32.sh"; fi
}

# The installers carry the 32-bit marlet.exe and settings_action.dll: build them
# before the 64-bit build.
windows() {
  wine32 || return 1
  if [ -z "${MARLET_SIGN_PFX:-}" ]; then throwaway_certificate || return 1; fi
  cmake --preset windows-mingw-i686 >/dev/null && cmake --build --preset windows-mingw-i686 -j2 --target marlet settings_action &&
    cmake --preset windows-mingw >/dev/null && cmake --build --preset windows-mingw -j2 || return 1
  . "$top/scripts/wine-session.sh"
  wine_session_start "$top/build/mingw/wineprefix" --own-display
  ctest --preset windows-mingw
  local rc=$?
  if [ "$MARLET_RUNS_32BIT" = no ]; then
    echo "the installer tests' rows that install the 32-bit Marlet: skipped: this kernel runs no 32-bit programs"
  fi
  wine_session_stop
  return $rc
}

# The manual shows the picture of the Options dialog that the dialog tests
# took: build QBManual.pdf and the installer again now that it exists.
installer() {
  cmake --build --preset windows-mingw --target installer &&
    ls -l "$top/build/mingw/bin/MarletSetup.exe" "$top/build/mingw/bin/QBManual.pdf"
}

# The 32-bit build (QuickBooks before 2022): marlet.exe checked as a file
# (tests/pe_check.py: machine type, imports, delay-load thunks), and its tests
# under 32-bit Wine (installed by the step before). Where the kernel runs no
# 32-bit programs, each of those is reported as skipped, with the reason.
# The whole 32-bit suite takes longer; this step runs the programs that go
# through every entry point:
#   com_event_test   registration, the COM server, menu events with a lookup
#                    and the Dorvex launch, the options object
#   switches_test    /retrieve, /options and /install with the dialog opened
#                    and closed, a pick from the menu, /uninstall, the options file
# (The one installer, a 64-bit program carrying both builds, is tested by the
# 64-bit run.)
# `ctest --preset windows-mingw-i686` runs them all.
i686_tests=(com_event switches)
windows_i686() {
  cmake --preset windows-mingw-i686 >/dev/null && cmake --build --preset windows-mingw-i686 -j2 || return 1
  ctest --preset windows-mingw-i686 -R '^pe\.' || return 1
  local names regex found
  names=$(IFS='|'; echo "${i686_tests[*]}")
  regex="^wine\.($names)_test\$"
  # A program renamed or gone must not shrink the subset unnoticed.
  found=$(ctest --preset windows-mingw-i686 -N -R "$regex" | grep -c 'Test *#')
  if [ "$found" -ne ${#i686_tests[@]} ]; then
    echo "32-bit tests: ${#i686_tests[@]} programs named (${i686_tests[*]}), $found found"
    return 1
  fi
  # No 32-bit program can start here: they are not handed to ctest at all (a
  # run of nothing but skips reads as a test run that ran no test), only named.
  if [ "$MARLET_RUNS_32BIT" = no ]; then
    echo "32-bit ${i686_tests[*]/%/_test}: skipped: this kernel runs no 32-bit programs"
    return 0
  fi
  . "$top/scripts/wine-session.sh"
  wine_session_start "$top/build/mingw-i686/wineprefix" --own-display
  ctest --preset windows-mingw-i686 -R "$regex"
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
step "32-bit Windows build and its tests under 32-bit Wine" windows_i686
echo
marlet_wine_report

echo
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all test steps passed"
