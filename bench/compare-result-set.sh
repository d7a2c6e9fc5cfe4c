#!/usr/bin/env bash
# The merge of the one result set beside the advanced scan that feeds it, in the same run: a FAT32
# card with COUNT deleted pictures that the fast FAT scan and carving both find
# (bench/make-many-deleted-image.py; kept as /tmp/salvora-many-deleted.img).
#
# usage: bench/compare-result-set.sh [BUILD_DIR] [COUNT]   (default build/default, 100000)
# Prints the scan's time, the merge's time and share, the records, the files listed (one per
# picture) and peak resident memory after the scan and after the merge.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${1:-$root/build/default}
count=${2:-100000}
bench=$build/bench/bench_result_set
[ -x "$bench" ] || { echo "missing $bench: build the default preset" >&2; exit 1; }
image=/tmp/salvora-many-deleted.img
if [ ! -f "$image" ] || [ "$(cat "$image.count" 2>/dev/null)" != "$count" ]; then
  tiny=$(mktemp --suffix=.jpg)
  convert -size 8x8 xc:red -quality 50 -strip "$tiny"
  python3 "$here/make-many-deleted-image.py" "$tiny" "$image" "$count"
  echo "$count" > "$image.count"
  rm -f "$tiny"
fi
cat "$image" > /dev/null  # warm the page cache
"$bench" "$image"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
