# Sourced by scripts/win32.sh and tests/wine/run.sh: a throw-away Wine
# session under build/ — an X server of the handheld's screen size, a new
# Wine prefix whose programs all run in a virtual desktop of that size, and
# the loopback test server. wine_session_stop (on EXIT) ends what was started.
#
# Wine and the programs it runs write only into the session folder and the
# temporary folder: the prefix, the X server's files and Wine's caches are
# all kept there.

wine_session_root=""
wine_xvfb_pid=""
wine_server_pid=""
WINE_SCREEN=240x320  # the handheld's portrait screen

# The Windows name of a host path: Wine shows the host's root as drive Z:.
wine_path() { printf 'Z:%s' "${1//\//\\}"; }

# Why Wine cannot run here, or nothing when it can start.
wine_unavailable() {
  local tool
  for tool in wine wineserver Xvfb; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; return; }
  done
}

# wine_session_start DIR: a new session in DIR (emptied). Returns 1 with the
# reason on stderr when Wine cannot start.
wine_session_start() {
  wine_session_root=$1
  rm -rf "$wine_session_root"
  mkdir -p "$wine_session_root"
  export WINEPREFIX="$wine_session_root/prefix" WINEDEBUG=-all WINEARCH=win64
  # No browser or .NET installers, no menu entries in the user's desktop.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export XDG_CACHE_HOME="$wine_session_root/cache"

  # Xvfb picks a free display and tells its number on the descriptor.
  local displayfd="$wine_session_root/display"
  Xvfb -displayfd 3 -screen 0 "${WINE_SCREEN}x24" -nolisten tcp 3>"$displayfd" \
    >"$wine_session_root/xvfb.log" 2>&1 &
  wine_xvfb_pid=$!
  local i
  for i in $(seq 100); do
    [ -s "$displayfd" ] && break
    kill -0 "$wine_xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$displayfd" ] || { echo "the X server (Xvfb) did not start" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$displayfd")"

  if ! timeout 180 wine wineboot --init >"$wine_session_root/wineboot.log" 2>&1 ||
    [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
    echo "wine cannot make a prefix (see $wine_session_root/wineboot.log)" >&2
    return 1
  fi
  # Every program in the handheld's screen, with the captions Wine draws
  # there (no window manager runs); Wine's own TrueType fonts draw the
  # caption's buttons.
  timeout 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$WINE_SCREEN" /f \
    >/dev/null 2>&1
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

# wine_server_start ARGS...: the loopback server; sets WINE_PORTS to its
# first line ("http=P https=P ... ca=PATH").
wine_server_start() {
  exec 4< <(exec python3 "$root/tests/support/loopback_server.py" --quiet --max-seconds 900 "$@" \
    </dev/null)
  wine_server_pid=$!
  read -r -t 60 WINE_PORTS <&4 || { echo "the loopback server did not start" >&2; return 1; }
}

# The port of a listener named in WINE_PORTS.
wine_port() { sed -n "s/.*\\b$1=\\([0-9]*\\).*/\\1/p" <<<"$WINE_PORTS"; }
wine_ca() { sed -n 's/.*\bca=\([^ ]*\).*/\1/p' <<<"$WINE_PORTS"; }

wine_session_stop() {
  if [ -n "$wine_session_root" ] && [ -d "${WINEPREFIX:-}" ]; then
    timeout 30 wineserver -k >/dev/null 2>&1 || true
  fi
  [ -z "$wine_server_pid" ] || kill "$wine_server_pid" 2>/dev/null || true
  [ -z "$wine_xvfb_pid" ] || kill "$wine_xvfb_pid" 2>/dev/null || true
  wine_server_pid="" wine_xvfb_pid=""
}
