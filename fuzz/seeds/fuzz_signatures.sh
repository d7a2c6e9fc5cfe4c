#!/usr/bin/env bash
# Seeds: the first 8 KiB of each media fixture and a FAT folder volume's root sectors, each behind a
# control byte of 0 (512-byte sectors, the first sector under test).
out=$1 fixtures=$2
for f in "$fixtures"/media/*; do
  [ -f "$f" ] || continue
  { printf '\0'; head -c 8192 "$f"; } > "$out/$(basename "$f")"
done
if [ -f "$fixtures/fatdirs-fat16.img" ]; then
  { printf '\0'; dd if="$fixtures/fatdirs-fat16.img" bs=512 skip=260 count=8 status=none; } > "$out/fat-folder"
fi
exit 0
