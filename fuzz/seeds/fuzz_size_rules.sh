#!/usr/bin/env bash
# Seeds: the first 64 KiB of each carving fixture behind every rule's control byte.
out=$1 fixtures=$2
i=0
for f in "$fixtures"/carve/sample.*; do
  [ -f "$f" ] || continue
  for rule in 0 5 10 12 13 18 19; do
    { printf "\\x$(printf %02x $(( (i + rule) % 20 )))"; head -c 65536 "$f"; } > "$out/$(basename "$f").$rule"
  done
  i=$((i + 1))
done
exit 0
