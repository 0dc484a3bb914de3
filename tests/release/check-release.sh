#!/usr/bin/env bash
# Unpacks the release zip into a fresh folder, checks what it holds, starts Songferry from there under
# Wine and closes it as a user would: the settings file must then be beside the program. Then starts it
# with each sample playlist and presses Copy: each sample must load, and the run stop at a track that
# this computer lacks, as the read-me texts say.
# The zip of the libraries' sources must hold the Debian source packages of the DLLs it ships, in the
# versions its notice names.
#   check-release.sh Songferry-1.0-win64.zip songferry_sample_run.exe LIBRARY_SOURCES.zip   (needs a display)
set -euo pipefail
# Unpacking and iconv meet Japanese file names: a UTF-8 locale, whoever calls.
export LC_ALL=C.UTF-8
zip=$(realpath "$1")
sample_run=$(realpath "$2")
library_sources=$(realpath "$3")
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"
songferry_prepare_wine

fail() {
  echo "check-release: $*" >&2
  [ -f "$unpacked/wine.log" ] && cat "$unpacked/wine.log" >&2
  exit 1
}

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip")
folder=$unpacked/$(basename "$zip" .zip)
samples=(sample.m3u sample.m3u8 sample.pls sample.plst sample.wpl sample.xspf)
for file in Songferry.exe Songferry.CHM はじめにお読みください.txt README.txt "${samples[@]}" LICENSE; do
  [ -s "$folder/$file" ] || fail "$file is missing from the zip"
done
for text in はじめにお読みください.txt README.txt "${samples[@]}" LICENSE; do
  case $text in
    sample.m3u8 | sample.wpl | sample.xspf) encoding=UTF-8 ;;
    *) encoding=CP932 ;;
  esac
  iconv -f $encoding -t UTF-8 "$folder/$text" >/dev/null || fail "$text is not $encoding"
  [ "$(grep -c $'\r$' "$folder/$text")" -eq "$(wc -l <"$folder/$text")" ] || fail "$text has lines without CR LF"
done
# The libraries: LAME's and TagLib's DLLs beside the program, every library's licence and the notice.
for file in libmp3lame-0.dll libtag.dll licenses/NOTICE.txt; do
  [ -s "$folder/$file" ] || fail "$file is missing from the zip"
done
for package in libogg libvorbis flac opus opusfile lame taglib; do
  [ -s "$folder/licenses/$package/copyright" ] || fail "the licence of $package is missing from the zip"
  grep -q "^$package [^ ]*: " "$folder/licenses/NOTICE.txt" || fail "the notice does not name $package"
done
sources=$unpacked/sources
mkdir "$sources"
(cd "$sources" && cmake -E tar xf "$library_sources")
for package in lame taglib; do
  version=$(sed -n "s/^$package \([^ ]*\): .*/\1/p" "$folder/licenses/NOTICE.txt")
  version=${version#*:}
  for part in "${package}_$version.dsc" "${package}_${version%-*}.orig.tar.*" "${package}_$version.debian.tar.*"; do
    compgen -G "$sources/$part" >/dev/null || fail "the source package of $package $version lacks $part"
  done
done

[ "$(head -c 4 "$folder/Songferry.CHM")" = "ITSF" ] || fail "Songferry.CHM is not a compiled help file"
contents=$(chmls list "$folder/Songferry.CHM" 2>/dev/null)
for page in index playlist copy convert options errors; do
  grep -q "/$page.html" <<<"$contents" || fail "Songferry.CHM lacks $page.html"
done

# The program from its own folder, closed through its window as the close box would.
(cd "$folder" && songferry_wine Songferry.exe >"$unpacked/wine.log" 2>&1) &
program=$!
# Asks it to close until it has: the first requests may come before its window exists.
for _ in $(seq 60); do
  kill -0 "$program" 2>/dev/null || break
  songferry_wine taskkill /im Songferry.exe >/dev/null 2>&1 || true
  sleep 0.5
done
wait "$program" || fail "Songferry.exe did not end cleanly"
expected=$'[Songferry]\r\nToDir=\r\nDefaultDir=.\r\nAddMode=0\r\nReverse=0\r\nStopAfterCopy=1\r\n'
printf '%s' "$expected" | cmp -s - "$folder/Songferry.ini" || fail "no settings file with the defaults beside the program"

# Each sample with a destination set, as the read-me texts say it goes when used unchanged.
mkdir "$folder/Player"
printf '[Songferry]\r\nToDir=Player\r\nStopAfterCopy=0\r\n' >"$folder/Songferry.ini"
(cd "$folder" && songferry_wine "$sample_run" Songferry.exe answers.txt "${samples[@]}" >"$unpacked/wine.log" 2>&1) ||
  fail "Songferry did not answer Copy with a box for every sample: $(cat "$folder/answers.txt")"
while IFS=$'\t' read -r sample caption text; do
  [[ $caption == エラー && $text =~ ^ファイル.+が存在しません$ ]] ||
    fail "$sample did not load as a playlist of missing tracks: $caption: $text"
done <"$folder/answers.txt"
[ "$(wc -l <"$folder/answers.txt")" -eq ${#samples[@]} ] || fail "not every sample was tried"
echo "check-release: $(basename "$zip") unpacks, runs from its folder, keeps its settings there and loads its samples"
