#!/bin/sh
# Runs settings_user_test.exe as an ordinary Unix user, whose Wine denies
# writing a folder that the user may not write: marlet.exe and its dxqb.ini lie
# in a folder of root's. The user (created when missing) has a Wine prefix of
# its own and uses the display of the running Wine session.
#   settings_user_test.sh BIN_FOLDER      (as root, with DISPLAY set)
set -eu
bin=$(cd "$1" && pwd)
user=${MARLET_TEST_USER:-marlet-tester}

if [ "$(id -u)" -ne 0 ] || [ -z "${DISPLAY:-}" ]; then
  echo "settings_user_test: run as root (to run marlet.exe as the ordinary user $user) with the DISPLAY of a Wine session (scripts/wine-session.sh)" >&2
  exit 1
fi
id -u "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
prefix=$home/.wine-marlet
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
. "$scripts/wine-loader.sh"
marlet_wine_choose

# Root's folder: the user may read it, not write it. It also holds the Wine
# wrapper, which picks the loader this machine can run.
work=$(mktemp -d /tmp/marlet-settings-user.XXXXXX)
cp "$scripts/wine" "$scripts/wine-loader.sh" "$work/"
chmod 755 "$work" "$work/wine"
chmod 644 "$work/wine-loader.sh"
# Every variable is exported, so that each command of the line sees the
# user's prefix (a bare assignment covers only the command it precedes).
as_user() {
  su "$user" -s /bin/sh -c "cd /tmp && export DISPLAY='$DISPLAY' WINEPREFIX='$prefix' WINEARCH=win64 \
WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' MARLET_RUNS_32BIT='$MARLET_RUNS_32BIT' && $1"
}
trap 'as_user "wineserver -k" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
if marlet_prefix_stale "$prefix"; then
  echo "settings_user_test: $user's Wine prefix was made by another Wine: making it anew"
  as_user "wineserver -k" >/dev/null 2>&1 || true
  rm -rf "$prefix"
fi
if [ ! -f "$prefix/system.reg" ]; then
  echo "settings_user_test: creating $user's Wine prefix (first run only)"
  as_user "'$work/wine' wineboot -i >/dev/null 2>&1; wineserver -w"
  marlet_wine_kind > "$prefix/.marlet-wine"
fi

mkdir "$work/Marlet"
cp "$bin/marlet.exe" "$work/Marlet/"
# Written by hand, as an administrator may: LF line ends, none after the last, "true".
printf 'true\nC:\\Dx\\\nC:\\Cfg\\\nfalse\nFalse\nFALSE' > "$work/Marlet/dxqb.ini"
cp "$bin/settings_user_test.exe" "$work/"
chmod 755 "$work/Marlet"
chmod 644 "$work/Marlet/dxqb.ini"
cp -p "$work/Marlet/dxqb.ini" "$work/machine.ini"

status=0
as_user "MARLET_LOCKED_FOLDER='Z:$(echo "$work/Marlet" | tr / '\\\\')' '$work/wine' '$work/settings_user_test.exe'" || status=$?
# 77: a 32-bit program on a kernel that runs none, skipped (scripts/wine).
[ $status -eq 77 ] && exit 77
# Byte for byte, whatever the program saw.
cmp "$work/machine.ini" "$work/Marlet/dxqb.ini" || { echo "settings_user_test: the machine file changed" >&2; status=1; }
exit $status
