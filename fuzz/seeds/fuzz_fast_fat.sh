#!/usr/bin/env bash
# Seeds: the fixture FAT volumes (long names at the limit and damaged boot sectors among them) and
# the shared real ones, as sparse images of their non-zero sectors (boot areas, tables and folders
# first: they come first on the volume).
# max_len: 262144
out=$1 fixtures=$2 shared=$3
here=$(dirname "$0")
for img in fat12-del fat16-del fat32-del fat16-frag fat16-bigdir fat32-high fat16-r4096 fat-nested-del lfn20-fat16 \
           fat32-badboot fat32-absurd; do
  [ -f "$fixtures/$img.img" ] && python3 "$here/sparse.py" "$fixtures/$img.img" "$out/$img" 200000
done
for img in fat12 fat16 fat32_small fat_lfn_test fat_deleted_dir fat32_loop fat_unusual_cluster; do
  [ -f "$shared/dfir_ntfs/$img.raw.gz" ] && python3 "$here/sparse.py" "$shared/dfir_ntfs/$img.raw.gz" "$out/$img" 200000
done
exit 0
