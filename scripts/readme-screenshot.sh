#!/usr/bin/env bash
# Renews the README's picture of the main window: runs the demonstration on a private display and
# keeps its first screenshot as docs/images/main-window.png.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
env -u DISPLAY ./run.sh >/dev/null
mkdir -p docs/images
cp build/demo/screenshots/1-main.png docs/images/main-window.png
echo "docs/images/main-window.png renewed"
