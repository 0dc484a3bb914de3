#!/usr/bin/env bash
# Builds Songferry and its release zip, and runs every test: the portable core natively
# (AddressSanitizer + UBSan), each fuzz target for a few seconds, the help's list of messages, the
# program's import table, the Windows program's tests under Wine (code page 932), the window tests on
# a virtual display, and the release zip unpacked and run.
# Installs whatever is missing first. Ends with ctest's summary over all of them.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
# The tools that handle the Japanese file names (CPack, zip, iconv) need a UTF-8 locale, whatever the
# caller has set or not; C.UTF-8 is on every Debian. Wine alone gets the Japanese one (wine-env.sh).
export LC_ALL=C.UTF-8

source scripts/wine-env.sh
if [ "${1:-}" = "--on-display" ]; then
  # One Wine server for the whole run, with its background services started here, on the display:
  # started by the first test instead, they would hold ctest's output pipe open after that test
  # ends; started without a display, Wine's desktop would refuse the windows of the tests.
  wineserver -k 2>/dev/null || true
  wineserver -p
  songferry_wine wineboot --init >"$WINEPREFIX/wineboot.log" 2>&1
  trap 'wineserver -k 2>/dev/null || true' EXIT
  ctest --test-dir build --output-on-failure -j2
  exit
fi

scripts/install-deps.sh

for preset in native fuzz win64; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
# The release zip, which the tests unpack and run.
cmake --build --preset win64 --target package >/dev/null

songferry_prepare_wine
# One ctest run over the three build trees, so that one summary counts every test, on a private
# display for the window tests.
printf 'subdirs("native" "fuzz" "win64")\n' > build/CTestTestfile.cmake
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display
