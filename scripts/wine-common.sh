# Shared by the demo, the sample medium and the end-to-end tests: which Wine
# loader this machine can run, and small path helpers. Source it; it sets
# nothing until wine_select is called.

# Picks 32-bit Wine with the 32-bit build (the product) when this machine can
# run 32-bit programs, else 64-bit Wine with the 64-bit build of the same
# sources. Sets WINE, WINESERVER_BIN, SETUP_ARCH and WINE_REASON.
wine_select() {
  if [[ -n ${SETUP_ARCH:-} ]]; then
    case $SETUP_ARCH in
      win32) WINE=/usr/lib/wine/wine; WINE_REASON="win32 forced by SETUP_ARCH" ;;
      win64) WINE=/usr/lib/wine/wine64; WINE_REASON="win64 forced by SETUP_ARCH" ;;
      *) echo "unknown SETUP_ARCH=$SETUP_ARCH" >&2; return 2 ;;
    esac
  elif [[ -x /usr/lib/wine/wine ]] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    SETUP_ARCH=win32 WINE=/usr/lib/wine/wine
    WINE_REASON="32-bit Wine works here"
  elif [[ -x /usr/lib/wine/wine64 ]]; then
    SETUP_ARCH=win64 WINE=/usr/lib/wine/wine64
    WINE_REASON="32-bit Wine cannot run on this machine"
  else
    echo "no Wine loader in /usr/lib/wine (run scripts/install-deps.sh)" >&2
    return 1
  fi
  WINESERVER_BIN=/usr/lib/wine/wineserver
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}

# Unix path (absolute) -> the same place as Wine's drive Z: sees it.
winpath() {
  local p=$1
  printf 'Z:%s' "${p//\//\\}"
}

# Creates a fresh prefix in $1 and waits until Wine has finished writing it.
wine_make_prefix() {
  local prefix=$1
  mkdir -p "$(dirname "$prefix")"
  WINEPREFIX=$prefix timeout 180 "$WINE" wineboot -i >/dev/null 2>&1 || return 1
  # A crashing program then ends at once with its exception code, instead of
  # waiting in a debugger until some timeout.
  WINEPREFIX=$prefix timeout 60 "$WINE" reg add \
    'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d false /f \
    </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix timeout 60 "$WINESERVER_BIN" -w || true
  [[ -d $prefix/drive_c/windows ]]
}

# Ends every Wine process of the prefix in $1 (they belong to it alone).
wine_stop_prefix() {
  WINEPREFIX=$1 timeout 30 "$WINESERVER_BIN" -k >/dev/null 2>&1 || true
}

# The Unix folder that the program's own architecture sees as its Windows
# system folder: SysWOW64 for a 32-bit program in a 64-bit prefix.
wine_system_folder() {
  local prefix=$1
  if [[ $SETUP_ARCH == win32 && -d $prefix/drive_c/windows/syswow64 ]]; then
    printf '%s' "$prefix/drive_c/windows/syswow64"
  else
    printf '%s' "$prefix/drive_c/windows/system32"
  fi
}
