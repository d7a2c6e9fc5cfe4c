#!/usr/bin/env bash
# Seeds: the first MiB of the formatted-over volume (its file tables, old and new), and the same
# stretch from inside the partitioned disk, and the file table of the compressed volume.
out=$1 fixtures=$2
[ -f "$fixtures/deepntfs-formatted.img" ] && head -c 1048576 "$fixtures/deepntfs-formatted.img" > "$out/deepntfs-formatted"
[ -f "$fixtures/deepntfs-disk.img" ] && dd if="$fixtures/deepntfs-disk.img" of="$out/deepntfs-disk-volume" bs=512 skip=4096 count=2048 status=none
# The file table of a formatted-over volume whose old records hold compressed data and named streams.
[ -f "$fixtures/ntfs-comp-formatted.img" ] && head -c 1048576 "$fixtures/ntfs-comp-formatted.img" > "$out/ntfs-comp-formatted"
exit 0
