#!/usr/bin/env bash
# Runs a Windows test program with the prefix's DPI (LogPixels) switched to DPI, and back to 96
# after it, whatever happens: at-dpi.sh DPI program.exe [arguments]. The test needs the prefix to
# itself (ctest's RUN_SERIAL): every Wine program started meanwhile would get that DPI too.
set -euo pipefail
dpi=$1
shift
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"
songferry_prepare_wine

set_dpi() {
  songferry_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96' EXIT
set_dpi "$dpi"
SONGFERRY_TEST_DPI=$dpi songferry_wine "$@"
