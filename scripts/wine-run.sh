#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix: wine-run.sh program.exe [arguments]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
songferry_prepare_wine
exec env LC_ALL="${SONGFERRY_WINE_LOCALE:-ja_JP.UTF-8}" wine "$@"
