#!/usr/bin/env bash
# Seeds: the fixture NTFS volumes and the shared real ones (one with attribute lists), as sparse
# images: the boot sector and the first file records, then other non-zero sectors. The volume with
# a damaged boot sector keeps its last sector, where the backup copy lies.
# max_len: 262144
out=$1 fixtures=$2 shared=$3
here=$(dirname "$0")
for img in ntfs-files ntfs-4k-files ntfs; do
  [ -f "$fixtures/$img.img" ] && python3 "$here/sparse.py" "$fixtures/$img.img" "$out/$img" 200000 mft:96
done
# The compressed volume with its compressed clusters, as written and with hostile chunk headers.
if [ -f "$fixtures/ntfs-comp.img" ]; then
  ranges=$(python3 "$here/lznt1_hostile.py" "$fixtures/ntfs-comp.img" "$out/ntfs-comp-hostile.img")
  python3 "$here/sparse.py" "$fixtures/ntfs-comp.img" "$out/ntfs-comp" 200000 mft:80 $ranges
  python3 "$here/sparse.py" "$out/ntfs-comp-hostile.img" "$out/ntfs-comp-hostile" 200000 mft:80 $ranges
  rm -f "$out/ntfs-comp-hostile.img"
fi
[ -f "$fixtures/ntfs-badboot.img" ] &&
  python3 "$here/sparse.py" "$fixtures/ntfs-badboot.img" "$out/ntfs-badboot" 200000 mft:96 16383:1
for img in ntfs3 ntfs3_attrlist ntfs_index; do
  [ -f "$shared/dfir_ntfs/$img.raw.gz" ] && python3 "$here/sparse.py" "$shared/dfir_ntfs/$img.raw.gz" "$out/$img" 200000 mft:96
done
exit 0
