#!/usr/bin/env bash
# Seeds: reformatted and boot-less FAT32 cards (one whose folder continues in distant clusters),
# folder-rich volumes, a deleted-folder image, long names at the limit and a damaged FAT32 boot
# sector, as sparse images of their non-zero sectors.
# max_len: 262144
out=$1 fixtures=$2 shared=$3
here=$(dirname "$0")
for img in deepfat-reformatted deepfat-noboot fatdirs-fat16 fatdirs-fat32 fat16-del fat-cont-formatted lfn20-fat16 \
           fat32-badboot; do
  [ -f "$fixtures/$img.img" ] && python3 "$here/sparse.py" "$fixtures/$img.img" "$out/$img" 200000
done
for img in fat_deleted_dir fat_deleted_dir_2 fat_lfn_test; do
  [ -f "$shared/dfir_ntfs/$img.raw.gz" ] && python3 "$here/sparse.py" "$shared/dfir_ntfs/$img.raw.gz" "$out/$img" 200000
done
exit 0
