#!/usr/bin/env bash
# Builds the release: build/win64/release/Songferry-<version>-win64.zip, holding the program, its
# help file, the read-me texts, sample playlists and the licence. Installs whatever is missing first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
# The tools that handle the Japanese file names (CPack, zip, iconv) need a UTF-8 locale, whatever the
# caller has set or not; C.UTF-8 is on every Debian. Wine alone gets the Japanese one (wine-env.sh).
export LC_ALL=C.UTF-8

scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target package
ls -l build/win64/release/*.zip
