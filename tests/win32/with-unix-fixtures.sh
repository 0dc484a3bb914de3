#!/usr/bin/env bash
# Runs a Windows test program with what only the Unix side can make: a folder reached through a
# symbolic link, and, where the system lets us mount, a file system of 4 MiB. Their Windows paths go
# to the program in SONGFERRY_LINKED_FOLDER, SONGFERRY_LINK and SONGFERRY_SMALL_FOLDER.
#   with-unix-fixtures.sh program.exe [arguments]
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
fixtures=$(mktemp -d "${TMPDIR:-/tmp}/songferry-fixtures.XXXXXX")
cleanup() {
  mountpoint -q "$fixtures/small" && umount "$fixtures/small"
  rm -rf "$fixtures"
}
trap cleanup EXIT
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

mkdir "$fixtures/linked" "$fixtures/small"
ln -s "$fixtures/linked" "$fixtures/link"
export SONGFERRY_LINKED_FOLDER=$(windows_path "$fixtures/linked")
export SONGFERRY_LINK=$(windows_path "$fixtures/link")
if mount -t tmpfs -o size=4m songferry-small "$fixtures/small" 2>/dev/null; then
  export SONGFERRY_SMALL_FOLDER=$(windows_path "$fixtures/small")
fi
"$here/../../scripts/wine-run.sh" "$@"
