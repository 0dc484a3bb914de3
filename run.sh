#!/usr/bin/env bash
# Starts Songferry under Wine (Japanese locale, code page 932).
#   ./run.sh PLAYLIST   opens Songferry with that playlist (needs a display)
#   ./run.sh            a demonstration: a sample playlist of generated tracks and a destination
#                       folder set in the settings file, so that Copy shows the whole run. Without
#                       a display it runs on a private Xvfb, presses Copy itself and saves
#                       screenshots.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
# The tools that handle the Japanese file names (CPack, zip, iconv) need a UTF-8 locale, whatever the
# caller has set or not; C.UTF-8 is on every Debian. Wine alone gets the Japanese one (wine-env.sh).
export LC_ALL=C.UTF-8
root=$PWD

if [ "${1:-}" != "--headless-demo" ]; then
  scripts/install-deps.sh
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target Songferry songferry_demo_driver help_file >/dev/null
fi
source scripts/wine-env.sh
songferry_prepare_wine

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

demo=$root/build/demo

prepare_demo() {
  rm -rf "$demo"
  mkdir -p "$demo/Lists" "$demo/Music" "$demo/Player" "$demo/screenshots"
  # With the LAME and TagLib DLLs it loads from its own folder.
  cp build/win64/src/Songferry.exe build/win64/src/Songferry.CHM build/win64/src/libmp3lame-0.dll \
    build/win64/src/libtag.dll "$demo/"
  # The first track is one the player cannot play: the run converts it to MP3 first.
  sox -q -n -r 44100 -c 2 -b 16 "$demo/Music/00 夜明け.flac" synth 240 pinknoise sine 440 vol 0.5
  local tracks=("00 夜明け.flac" "01 朝の歌.mp3" "02 ソナタ.mp3" "03 表参道.wma")
  local list=""
  for track in "${tracks[@]}"; do
    [ -f "$demo/Music/$track" ] || head -c $((48 << 20)) /dev/zero >"$demo/Music/$track"
    list+="..\\Music\\$track"$'\r\n'
  done
  printf '%s' "$list" | iconv -f UTF-8 -t CP932 >"$demo/Lists/demo.m3u"
  # What a player might hold already: the old songs go, the notes stay.
  : >"$demo/Player/old song.mp3"
  : >"$demo/Player/memo.txt"
  printf '[Songferry]\r\nToDir=%s\r\nDefaultDir=%s\\\r\nAddMode=0\r\nReverse=0\r\nStopAfterCopy=0\r\nConvertTracks=1\r\n' \
    "$(windows_path "$demo/Player")" "$(windows_path "$demo/Lists")" >"$demo/Songferry.ini"
}

if [ "${1:-}" = "--headless-demo" ]; then
  cd "$demo"
  # Wine's background services inherit the output of the first Wine program: a log, not our pipe.
  songferry_wine explorer /desktop=Songferry,800x500 Songferry.exe "$(windows_path "$demo/Lists/demo.m3u")" \
    >"$demo/wine.log" 2>&1 &
  # On the same virtual desktop, or the driver would not see Songferry's windows.
  songferry_wine explorer /desktop=Songferry,800x500 "$root/build/win64/tools/demo/songferry_demo_driver.exe" \
    "$(windows_path "$demo/screenshots")" >>"$demo/wine.log" 2>&1
  wait
  wineserver -k || true
  exit 0
fi

if [ $# -gt 0 ]; then
  if [ -z "${DISPLAY:-}" ]; then
    echo "run.sh: there is no display to show Songferry on; run it without a playlist for the demonstration" >&2
    exit 2
  fi
  playlist=$(realpath "$1")
  exec env LC_ALL=ja_JP.UTF-8 wine build/win64/src/Songferry.exe "$(windows_path "$playlist")"
fi

prepare_demo
echo "Demonstration: $demo/Lists/demo.m3u -> $demo/Player"
if [ -n "${DISPLAY:-}" ]; then
  cd "$demo"
  exec env LC_ALL=ja_JP.UTF-8 wine Songferry.exe "$(windows_path "$demo/Lists/demo.m3u")"
fi

xvfb-run -a -s "-screen 0 1024x768x24" "$0" --headless-demo
for shot in "$demo"/screenshots/*.bmp; do
  convert "$shot" "${shot%.bmp}.png" && rm "$shot"
done
echo "What landed in $demo/Player:"
ls -l "$demo/Player"
echo "Screenshots: $demo/screenshots/"
ls "$demo/screenshots"
