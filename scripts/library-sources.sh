#!/usr/bin/env bash
# Zips the exact Debian source packages (.dsc, .orig.tar.*, .debian.tar.*) of the DLLs the release
# ships beside the program, LAME and TagLib, as scripts/build-codecs.sh built them: their LGPL asks
# that the source go with them. Takes them from build-codecs.sh's cache, by the versions it built.
#   library-sources.sh PREFIX OUTPUT.zip   (PREFIX: build-codecs.sh's prefix, as in cmake/Codecs.cmake)
set -euo pipefail
prefix=$(realpath "$1")
output=$2
downloads=$(dirname "$prefix")/downloads
fail() { echo "library-sources: $*" >&2; exit 1; }

files=()
for package in lame taglib; do
  stamp=$prefix/share/songferry-codecs/stamps/$package
  [ -f "$stamp" ] || fail "$package has not been built into $prefix (run scripts/build-codecs.sh)"
  version=$(cut -d' ' -f1 "$stamp")
  dsc=${package}_${version#*:}.dsc
  [ -f "$downloads/$dsc" ] || fail "$downloads/$dsc is missing (run scripts/build-codecs.sh --rebuild)"
  files+=("$dsc")
  # The files the .dsc names, each checked against its SHA-256 there.
  while read -r sum _ name; do
    [ -f "$downloads/$name" ] || fail "$downloads/$name is missing (run scripts/build-codecs.sh --rebuild)"
    [ "$(sha256sum "$downloads/$name" | cut -d' ' -f1)" = "$sum" ] || fail "$downloads/$name does not match $dsc"
    files+=("$name")
  done < <(sed -n '/^Checksums-Sha256:/,/^[^ ]/s/^ \([0-9a-f]\{64\}\) /\1 /p' "$downloads/$dsc")
done

mkdir -p "$(dirname "$output")"
rm -f "$output"
output=$(realpath "$output")
(cd "$downloads" && cmake -E tar cf "$output" --format=zip "${files[@]}")
