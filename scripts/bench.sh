#!/usr/bin/env bash
# Measures Songferry under Wine on a private virtual display (Xvfb), from the outside:
#  - the copy run of a playlist of 101 tracks of 8 MiB, from the click on Copy to the information
#    box seen, against a bare program that copies the same files with CopyFileA and shows the same
#    kind of box;
#  - start-up, from process creation to the main window visible and enabled, against a program
#    that shows a bare window;
#  - then, inside one process, the copy run without windows against a bare CopyFileA loop: the
#    run's own work.
#  - re-syncs with the setting that leaves unchanged tracks (SkipUnchanged): the same playlist
#    copied into a destination that holds its copies already, and one where three of them are
#    older than their tracks, against the full run; each with the bytes it wrote.
#  - converting (part "convert"): 20 FLAC tracks of 30 s converted by a run into an empty cache in
#    its own process, against LAME's own lame.exe encoding the same audio from WAV with the same
#    settings, one file after the other; the same run on two converter processes against the run in
#    its own process; and a clear-mode run with every track in the cache against a run copying the
#    same MP3s (songferry_convert_bench; 5 rounds unless SONGFERRY_BENCH_CONVERT_ROUNDS says).
#  - on request only (part "profile"): the same three runs inside one process, with the time of
#    every kind of the system's calls and the progress window's calls counted and added up per run
#    (songferry_copy_bench FOLDER ROUNDS --resync): where a re-sync's time goes.
# Rounds are interleaved; the figures are medians with their spread. Measure on an idle machine
# (see `uptime`): on a busy one the spread is wide.
#   scripts/bench.sh [ROUNDS]        (default 21; start-up takes twice as many, being quick)
# SONGFERRY_BENCH_PARTS picks and orders the parts: "copy start run resync" by default; "profile" is
# among them only when named.
# The files lie in memory (/dev/shm, 2.5 GB) unless SONGFERRY_BENCH_DIR names another folder: on
# a disk, write-back makes single runs vary by a third.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/wine-env.sh

data=${SONGFERRY_BENCH_DIR:-/dev/shm/songferry-bench}
# Wine's drive Z: is the Linux root.
windows_data="Z:${data//\//\\}"
parts=${SONGFERRY_BENCH_PARTS:-copy start run resync convert}
tools="Z:${PWD//\//\\}\\build\\win64\\tools\\bench"
songferry="Z:${PWD//\//\\}\\build\\bench\\Songferry.exe"
resyncing="Z:${PWD//\//\\}\\build\\bench\\resync\\Songferry.exe"
# The converters are the program of the build, beside the codecs' DLLs.
converters="Z:${PWD//\//\\}\\build\\win64\\src\\Songferry.exe"
# LAME's own encoder, built with the libraries from the same source.
lame="${SONGFERRY_CODECS_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/songferry/codecs/prefix}/bin/lame.exe"
lame="Z:${lame//\//\\}"

if [ "${1:-}" = "--on-display" ]; then
  rounds=$2
  wineserver -k 2>/dev/null || true
  wineserver -p
  songferry_wine wineboot --init >"$WINEPREFIX/wineboot.log" 2>&1
  trap 'wineserver -k 2>/dev/null || true' EXIT
  run() { songferry_wine "$@" | tr -d '\r'; }
  echo "load before: $(uptime)"
  for part in $parts; do
    case $part in
    copy) run "$tools\\songferry_bench_driver.exe" copy "$songferry" "$tools\\songferry_bare_copy.exe" \
      "$windows_data" "$rounds" ;;
    start) run "$tools\\songferry_bench_driver.exe" start "$songferry" "$tools\\songferry_bare_window.exe" \
      "$((rounds * 2 + 1))" ;;
    run) run "$tools\\songferry_copy_bench.exe" "$windows_data" "$rounds" | tail -6 ;;
    resync) run "$tools\\songferry_bench_driver.exe" resync "$resyncing" "$windows_data" "$rounds" ;;
    profile) run "$tools\\songferry_copy_bench.exe" "$windows_data" "$rounds" --resync ;;
    convert) run "$tools\\songferry_convert_bench.exe" "$windows_data\\Converting" "$lame" "$converters" \
      "${SONGFERRY_BENCH_CONVERT_ROUNDS:-5}" | tail -11 ;;
    esac
  done
  echo "load after: $(uptime)"
  exit
fi

rounds=${1:-21}
scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Songferry songferry_bench_driver songferry_bare_copy songferry_bare_window \
  songferry_copy_bench songferry_convert_bench >/dev/null
songferry_prepare_wine

mkdir -p "$data/Lists" "$data/Music"
: >"$data/Lists/bench.m3u"
for i in $(seq -w 1 101); do
  track=$data/Music/track$i.mp3
  [ -f "$track" ] || head -c $((8 << 20)) /dev/urandom >"$track"
  printf '..\\Music\\track%s.mp3\r\n' "$i" >>"$data/Lists/bench.m3u"
done

# The converting part's tracks: 30 s each of pink noise beside a tone, as WAV and as FLAC.
converting=$data/Converting
mkdir -p "$converting/Lists" "$converting/Music" "$converting/Wav"
: >"$converting/Lists/convert.m3u"
for i in $(seq -w 1 20); do
  wav=$converting/Wav/track$i.wav
  [ -f "$wav" ] || sox -q -n -r 44100 -c 2 -b 16 "$wav" synth 30 pinknoise sine $((200 + 10#$i * 20)) vol 0.5
  [ -f "$converting/Music/track$i.flac" ] || flac -s -f -o "$converting/Music/track$i.flac" "$wav"
  printf '..\\Music\\track%s.flac\r\n' "$i" >>"$converting/Lists/convert.m3u"
done
# Songferry runs from a folder of its own, whose settings file sends the copies to the benchmark's
# folder and keeps the program open after a run.
mkdir -p build/bench
# With the LAME and TagLib DLLs it loads from its own folder.
cp build/win64/src/Songferry.exe build/win64/src/libmp3lame-0.dll build/win64/src/libtag.dll build/bench/
printf '[Songferry]\r\nToDir=%s\\BySongferry\r\nStopAfterCopy=0\r\nAddMode=0\r\nReverse=0\r\n' "$windows_data" \
  >build/bench/Songferry.ini
# The re-syncs' copy of it leaves unchanged tracks, in a folder of their own.
mkdir -p build/bench/resync
cp build/win64/src/Songferry.exe build/win64/src/libmp3lame-0.dll build/win64/src/libtag.dll build/bench/resync/
printf '[Songferry]\r\nToDir=%s\\Resynced\r\nStopAfterCopy=0\r\nAddMode=0\r\nReverse=0\r\nSkipUnchanged=1\r\n' \
  "$windows_data" >build/bench/resync/Songferry.ini

xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$rounds"
