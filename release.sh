#!/usr/bin/env bash
# Builds the release: build/win64/release/Songferry-<version>-win64.zip, holding the program, the
# LAME and TagLib DLLs, its help file, the read-me texts, sample playlists, the licence and the
# libraries' licences; and beside it Songferry-<version>-win64-library-sources.zip, the Debian source
# packages of the two DLLs. Installs whatever is missing first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
# The tools that handle the Japanese file names (CPack, zip, iconv) need a UTF-8 locale, whatever the
# caller has set or not; C.UTF-8 is on every Debian. Wine alone gets the Japanese one (wine-env.sh).
export LC_ALL=C.UTF-8

scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target package library_sources
ls -l build/win64/release/*.zip
