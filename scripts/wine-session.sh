# Shared by the Windows scripts: a throw-away Wine session on a virtual
# display. start_wine_session sets DISPLAY and WINEPREFIX and exports what
# Wine needs; stop_wine_session ends everything it started.

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

wine_session_dir=""
wine_session_xvfb=""

start_wine_session() {
  wine_session_dir=$(mktemp -d /tmp/segjoin-wine.XXXXXX)
  # Xvfb picks a free display itself and says which once it takes clients.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
    3>"$wine_session_dir/display" >"$wine_session_dir/xvfb.log" 2>&1 &
  wine_session_xvfb=$!
  local waited=0
  until [ -s "$wine_session_dir/display" ]; do
    if ((waited >= 100)) || ! kill -0 "$wine_session_xvfb" 2>/dev/null; then
      echo "Xvfb did not start:" >&2
      cat "$wine_session_dir/xvfb.log" >&2
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  export DISPLAY=":$(cat "$wine_session_dir/display")"
  export WINEPREFIX="$wine_session_dir/prefix"
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No Mono or Gecko: nothing here needs them, and they would ask to install.
  export WINEDLLOVERRIDES="mscoree,mshtml="

  echo "Preparing a Wine prefix on display $DISPLAY (takes a while once)"
  "$WINE" wineboot -i >"$wine_session_dir/wineboot.log" 2>&1
  # The dialog font stands in for the Chinese font Windows would use, and
  # Wine draws the window frame itself, as there is no window manager.
  cat >"$wine_session_dir/settings.reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS Shell Dlg"="WenQuanYi Micro Hei"
"MS Shell Dlg 2"="WenQuanYi Micro Hei"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
REG
  "$WINE" regedit "$wine_session_dir/settings.reg" >/dev/null 2>&1
  # The title bar's buttons are drawn with Marlett.
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  "$WINESERVER" -w
}

stop_wine_session() {
  [ -n "$wine_session_dir" ] || return 0
  "$WINESERVER" -k >/dev/null 2>&1 || true
  if [ -n "$wine_session_xvfb" ]; then
    kill "$wine_session_xvfb" 2>/dev/null || true
    wait "$wine_session_xvfb" 2>/dev/null || true
  fi
  rm -rf "$wine_session_dir"
  wine_session_dir=""
}
