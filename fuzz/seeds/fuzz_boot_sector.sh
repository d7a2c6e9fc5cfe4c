#!/usr/bin/env bash
# Seeds: the probe areas of the fixture volumes and the real boot sectors of the shared collection.
out=$1 fixtures=$2 shared=$3
for img in fat12 fat16 fat32 ntfs ntfs-4k ext2 ext4 fat32-badboot fat32-absurd; do
  [ -f "$fixtures/$img.img" ] && head -c 16384 "$fixtures/$img.img" > "$out/$img"
done
for f in 512.boot 4k.boot 4kn.boot 64k.boot 128k.boot fat12_bs.bin fat16_edge.bin fat32_bs.bin fat32_bs_dirty.bin; do
  [ -f "$shared/dfir_ntfs/$f" ] && cp "$shared/dfir_ntfs/$f" "$out/$f"
done
exit 0
