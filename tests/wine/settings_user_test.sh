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
as_user() {
  su "$user" -s /bin/sh -c "cd /tmp && DISPLAY='$DISPLAY' WINEPREFIX='$prefix' WINEARCH=win64 WINEDEBUG=-all \
WINEDLLOVERRIDES='mscoree,mshtml=' $1"
}
if [ ! -f "$prefix/system.reg" ]; then
  echo "settings_user_test: creating $user's Wine prefix (first run only)"
  as_user "wineboot -i >/dev/null 2>&1; wineserver -w"
fi

# Root's folder: the user may read it, not write it.
work=$(mktemp -d /tmp/marlet-settings-user.XXXXXX)
trap 'as_user "wineserver -k" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
mkdir "$work/Marlet"
cp "$bin/marlet.exe" "$work/Marlet/"
printf 'False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n' > "$work/Marlet/dxqb.ini"
cp "$bin/settings_user_test.exe" "$work/"
chmod 755 "$work" "$work/Marlet"
chmod 644 "$work/Marlet/dxqb.ini"
cp -p "$work/Marlet/dxqb.ini" "$work/machine.ini"

status=0
as_user "MARLET_LOCKED_FOLDER='Z:$(echo "$work/Marlet" | tr / '\\\\')' wine '$work/settings_user_test.exe'" || status=$?
# Byte for byte, whatever the program saw.
cmp "$work/machine.ini" "$work/Marlet/dxqb.ini" || { echo "settings_user_test: the machine file changed" >&2; status=1; }
exit $status
