#!/usr/bin/env bash
# Pictures of every page of the desktop program and of each window and message-box kind, with a
# fixture card image loaded, into docs/screenshots/. Runs under Xvfb when it is installed (real
# X11 rendering), else on Qt's offscreen platform.
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/default}"
out="$root/docs/screenshots"
tool="$build/tests/app/app_screenshots"

cmake --build "$build" -j2 --target app_screenshots
image="$build/fixtures/card.img"
if [ ! -f "$image" ]; then
  bash "$root/tests/fixtures/make-all.sh" "$build/fixtures"
fi
# The fixture disk (FAT32 and NTFS volumes) stands in for the machine's disks.
export SALVORA_DISK_MAP="0=$build/fixtures/mbr-disk.img"
# Scan logs go to a throw-away folder, so an earlier run's saved scan does not ask to be continued.
data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
export SALVORA_DATA_DIR="$data"
# A short test-card clip for the player in the preview pane.
clip="$data/clip.avi"
ffmpeg -loglevel error -f lavfi -i testsrc=size=320x180:rate=25 -t 6 -c:v mpeg4 "$clip" || clip=""
# English into docs/screenshots, German into docs/screenshots/de, each on a 1366 x 768 screen.
for language in English German; do
  dir="$out"
  [ "$language" = English ] || dir="$out/de"
  mkdir -p "$dir"
  rm -f "$dir"/*.png
  rm -rf "$data/SalvoraData"
  if command -v xvfb-run >/dev/null 2>&1; then
    SCREENSHOT_LANGUAGE=$language QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1366x768x24" \
      "$tool" "$dir" "$image" ${clip:+"$clip" "$root/players"}
  else
    SCREENSHOT_LANGUAGE=$language QT_QPA_PLATFORM=offscreen "$tool" "$dir" "$image"
  fi 2>&1 | grep -v propagateSizeHints
  ls "$dir"
done
