#!/usr/bin/env bash
# The demo: installs what is missing (as root on Debian), builds Marlet, its
# installer and the stand-ins, creates a Wine prefix, installs Marlet with
# MarletSetup.exe and plays a morning at the bookkeeper's desk through the
# QuickBooks host stand-in, printing every box the user sees and every command
# line Dorvex receives. Leaves a picture of the Options dialog.
#
# With DISPLAY set the windows appear on that display and you answer them;
# without it the demo answers them itself on a display of its own.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/deps.sh"
# Wine's loader for this machine (scripts/wine-loader.sh): the demo runs only
# 64-bit programs, so it plays on a kernel without 32-bit programs too.
. "$top/scripts/wine-session.sh"
marlet_wine_choose
marlet_wine_report

echo "demo: building (the first build takes a few minutes)"
# The installers carry the 32-bit marlet.exe and settings_action.dll too (built, not run).
cmake --preset windows-mingw-i686 >/dev/null
cmake --build --preset windows-mingw-i686 -j2 --target marlet settings_action >/dev/null
cmake --preset windows-mingw >/dev/null
cmake --build --preset windows-mingw -j2 >/dev/null

build=$top/build/mingw
trap wine_session_stop EXIT
watch=
if [ -n "${DISPLAY:-}" ]; then
  watch=--watch
  echo "demo: using your display $DISPLAY: answer the windows as they come"
  wine_session_start "$build/wineprefix"
else
  wine_session_start "$build/wineprefix" --own-display
  # Nobody draws title bars on a display without a window manager: let Wine
  # draw them, so the pictures look like Windows. Undone when the demo ends.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  trap 'wine reg delete "HKCU\Software\Wine\X11 Driver" /v Decorated /f >/dev/null 2>&1 || true; wine_session_stop' EXIT
fi

mkdir -p "$build/demo-run" "$build/artifacts"
# The manual shows the Options dialog. The dialog tests leave its picture in
# build/mingw/artifacts; without one the demo takes it and rebuilds the manual
# and the installer before installing.
manual_shot=$build/artifacts/options-dialog.png
if [ ! -f "$manual_shot" ]; then
  echo "demo: taking the picture of the Options dialog for the manual"
  if wine "$build/bin/demo.exe" "--snapshot=$(wine winepath -w "$manual_shot")" </dev/null; then
    cmake --build --preset windows-mingw --target installer >/dev/null
  else
    echo "demo: the Options dialog did not open; the manual goes without its picture"
  fi
fi

shot=$build/demo-run/options-dialog.png
rm -f "$shot"
wine "$build/bin/demo.exe" $watch "--shot=$(wine winepath -w "$shot")" </dev/null
if [ -f "$shot" ]; then
  echo
  echo "The Options dialog as the user saw it: $shot"
fi
echo "The manual that was installed: $build/bin/QBManual.pdf"
