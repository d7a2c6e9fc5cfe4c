#!/usr/bin/env bash
# Recovers IMAGE with the Linux salvora-cli and with salvora-cli.exe under Wine, and fails unless
# both wrote the same files: the same names in the same folders, with the same SHA-256. The image
# is checked unchanged afterwards.
# Usage: compare-recover.sh IMAGE LINUX_CLI WINDOWS_CLI WINE
set -euo pipefail
image=$1 linux_cli=$2 windows_cli=$3 wine=$4
[ -f "$image" ] || { echo "no image $image (build the fixtures first)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/salvora-wine-XXXXXX")
trap 'rm -rf "$work"' EXIT
before=$(sha256sum <"$image")

SALVORA_DATA_DIR=$work/data-linux "$linux_cli" recover "$image" --to "$work/linux" >"$work/linux.log" 2>&1 || {
  cat "$work/linux.log"; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$work/wineprefix} WINEDEBUG=-all
SALVORA_DATA_DIR=$work/data-windows "$wine" "$windows_cli" recover "$image" --to "$work/windows" \
  >"$work/windows.log" 2>&1 || { cat "$work/windows.log"; exit 1; }

listing() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 -r sha256sum); }
if ! diff <(listing "$work/linux") <(listing "$work/windows"); then
  echo "salvora-cli.exe under Wine wrote other files than the Linux build (< Linux, > Windows)"
  exit 1
fi
[ "$(sha256sum <"$image")" = "$before" ] || { echo "the image changed"; exit 1; }
echo "same $(listing "$work/linux" | wc -l) files from $(basename "$image")"
