#!/usr/bin/env bash
# Seeds: exFAT cards (one quick-formatted over its old folders) as sparse images of their
# non-zero sectors.
# max_len: 262144
out=$1 fixtures=$2 shared=$3
here=$(dirname "$0")
for img in exfat-formatted exfat-card exfat-card-qf; do
  [ -f "$fixtures/$img.img" ] && python3 "$here/sparse.py" "$fixtures/$img.img" "$out/$img" 200000
done
exit 0
