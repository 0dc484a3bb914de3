#!/usr/bin/env bash
# Measures the copy run under Wine: a playlist of 101 tracks of 8 MiB, copied by CopyTracks and by a
# bare loop of CopyFileA over the same files, interleaved; then cp of the same files for reference.
#   scripts/bench.sh [RUNS]
# The files lie in memory (/dev/shm, 2.5 GB) unless SONGFERRY_BENCH_DIR names another folder: on
# a disk, write-back makes single runs vary by a third.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
runs=${1:-31}

scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target songferry_copy_bench >/dev/null

data=${SONGFERRY_BENCH_DIR:-/dev/shm/songferry-bench}
mkdir -p "$data/Lists" "$data/Music"
: >"$data/Lists/bench.m3u"
for i in $(seq -w 1 101); do
  track=$data/Music/track$i.mp3
  [ -f "$track" ] || head -c $((8 << 20)) /dev/urandom >"$track"
  printf '..\\Music\\track%s.mp3\r\n' "$i" >>"$data/Lists/bench.m3u"
done

# Wine's drive Z: is the Linux root.
windows_data="Z:${data//\//\\}"
scripts/wine-run.sh build/win64/tools/bench/songferry_copy_bench.exe "$windows_data" "$runs" | tr -d '\r'

times=()
for _ in $(seq "$runs"); do
  rm -rf "$data/ByCp" && mkdir "$data/ByCp"
  start=$(date +%s.%N)
  cp "$data"/Music/*.mp3 "$data/ByCp/"
  times+=("$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN {print e - s}')")
done
printf 'cp median (reference): %.3f s\n' "$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}')"
