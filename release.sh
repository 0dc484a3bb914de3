#!/usr/bin/env bash
# Builds the release: build/win64/release/Songferry-<version>-win64.zip, holding the program, its
# help file, the read-me texts, sample playlists and the licence. Installs whatever is missing first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target package
ls -l build/win64/release/*.zip
