#!/usr/bin/env bash
# Seeds: FILE records of the fixture volumes and of the shared MFT extracts, each behind the byte
# that selects 512-byte sectors.
out=$1 fixtures=$2 shared=$3
seed() {  # seed FILE OFFSET COUNT NAME
  for i in $(seq 0 $(( $3 - 1 ))); do
    { printf '\x00'; dd if="$1" bs=1024 skip=$(( $2 / 1024 + i )) count=1 status=none; } > "$out/$4-$i"
  done
}
[ -f "$fixtures/ntfs-files.img" ] && seed "$fixtures/ntfs-files.img" $(( 4 * 4096 )) 90 files
for f in deleted orphan unicode mapping_pairs_1 compressed_sparse; do
  [ -f "$shared/dfir_ntfs/$f.mft" ] && seed "$shared/dfir_ntfs/$f.mft" 0 64 "$f"
done
[ -f "$shared/dfir_ntfs/frs.bin" ] && { printf '\x00'; cat "$shared/dfir_ntfs/frs.bin"; } > "$out/frs"
exit 0
