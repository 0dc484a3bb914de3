# Sourced by the scripts that run Windows programs: a private Wine prefix with a Japanese locale
# (code page 932), so that Shift-JIS names and texts behave as on Japanese Windows.
songferry_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${SONGFERRY_WINEPREFIX:-$songferry_root/build/wine}
export LOCPATH=$songferry_root/build/locale
export WINEDEBUG=-all
# SONGFERRY_WINE_DLLOVERRIDES adds overrides of a test's own ("mfplat,mfreadwrite=d": as Windows N).
export WINEDLLOVERRIDES="mscoree,mshtml=${SONGFERRY_WINE_DLLOVERRIDES:+;$SONGFERRY_WINE_DLLOVERRIDES}"
export WINEARCH=win64

# Wine alone gets the Japanese locale: the shell around it need not have it installed.
# SONGFERRY_WINE_LOCALE=en_US.UTF-8 runs a program as on an English Windows (code page 1252).
songferry_wine() { LC_ALL=${SONGFERRY_WINE_LOCALE:-ja_JP.UTF-8} wine "$@"; }

# Creates the locale and the prefix once; later calls return at once.
songferry_prepare_wine() {
  local locale
  for locale in ja_JP en_US; do
    if [ ! -d "$LOCPATH/$locale.UTF-8" ]; then
      mkdir -p "$LOCPATH"
      localedef -i "$locale" -f UTF-8 "$LOCPATH/$locale.UTF-8" 2>/dev/null || [ -d "$LOCPATH/$locale.UTF-8" ]
    fi
  done
  if [ ! -f "$WINEPREFIX/.songferry-ready" ]; then
    mkdir -p "$WINEPREFIX"
    # Wine's services inherit the output; a pipe left open by them would stall whoever reads it.
    songferry_wine wineboot --init >"$WINEPREFIX/wineboot.log" 2>&1
    songferry_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    songferry_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f >/dev/null 2>&1
    songferry_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d IPAGothic /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.songferry-ready"
  fi
  # Debian's Wine looks for its own fonts (fonts-wine) in "Z:\usr\share\wine\../fonts", a path its
  # file lookup cannot resolve, so it loads none of them: without Marlett, title bars show their
  # buttons as the letters "0 1 r". The prefix's own font folder is always searched.
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/* "$fonts/"
  # Drive Y: for the tests of the folder picker: a folder of the build, never the real root.
  mkdir -p "$songferry_root/build/drive-y"
  [ -L "$WINEPREFIX/dosdevices/y:" ] || ln -s "$songferry_root/build/drive-y" "$WINEPREFIX/dosdevices/y:"
}
