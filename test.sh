#!/usr/bin/env bash
# Builds Songferry and runs every test: the portable core natively (AddressSanitizer + UBSan), each
# fuzz target for a few seconds, and the Windows program's tests under Wine (code page 932), the
# window tests on a virtual display.
# Installs whatever is missing first. Ends with ctest's summary over all of them.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

scripts/install-deps.sh

for preset in native fuzz win64; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

source scripts/wine-env.sh
songferry_prepare_wine
# One Wine server for the whole run, with its background services started here: started by the
# first test instead, they would hold ctest's output pipe open after that test ends.
wineserver -p
songferry_wine wineboot --init >"$WINEPREFIX/wineboot.log" 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT

# One ctest run over the three build trees, so that one summary counts every test. The window
# tests need a display: a private Xvfb.
printf 'subdirs("native" "fuzz" "win64")\n' > build/CTestTestfile.cmake
xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir build --output-on-failure -j2
