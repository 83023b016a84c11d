# Sourced by the scripts that run Windows programs: one Wine prefix and one
# persistent wineserver for the whole run, on an Xvfb display of our own.
#   wine_session_start PREFIX [--own-display]   then   wine_session_stop
# Without --own-display an existing DISPLAY is used (a person watching).
# Every Wine program goes through `wine`, defined here as scripts/wine: the
# loader this machine can run (scripts/wine-loader.sh), decided once.

_wine_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$_wine_scripts/wine-loader.sh"
wine() { "$_wine_scripts/wine" "$@"; }

wine_session_start() {
  local prefix own=${2:-}
  prefix=$(realpath -m "$1")
  marlet_wine_choose || return 1
  export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
  # A 64-bit prefix for the 32-bit build too: with Debian's wine32 it runs
  # 32-bit programs as 64-bit Windows does (SysWOW64, the registry's 32-bit
  # view), the PC most customers of a 32-bit QuickBooks have.
  export WINEARCH=win64
  _wine_xvfb_pid=
  if [ -z "${DISPLAY:-}" ] || [ "$own" = --own-display ]; then
    local n
    for n in $(seq 90 140); do
      [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    _wine_xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  if marlet_prefix_stale "$WINEPREFIX"; then
    echo "wine: $WINEPREFIX was made by another Wine ($(cat "$WINEPREFIX/.marlet-wine" 2>/dev/null || echo unknown)): making it anew"
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the prefix $WINEPREFIX (first start is slow)"
    mkdir -p "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    marlet_wine_kind > "$WINEPREFIX/.marlet-wine"
  fi
  # This Wine does not find the fonts of its own (Debian's fonts-wine) by itself:
  # without Tahoma, dialogs are drawn in a wider fallback that clips captions.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -d /usr/share/wine/fonts ] && [ ! -f "$fonts/tahoma.ttf" ]; then
    mkdir -p "$fonts" && cp /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
  fi
  wineserver -p >/dev/null 2>&1 </dev/null
  # Wine's own services and desktop start with the first program and live as
  # long as the server; start them here, so they hold no test runner's output.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

wine_session_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${_wine_xvfb_pid:-}" ]; then
    kill "$_wine_xvfb_pid" 2>/dev/null || true
    wait "$_wine_xvfb_pid" 2>/dev/null || true
  fi
}
