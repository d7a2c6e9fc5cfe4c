#!/usr/bin/env bash
# Deleted FAT files in pieces, compared in the same run with photorec on the same image.
#
# usage: bench/compare-fat-fragments.sh [BUILD_DIR]
#   BUILD_DIR   default build/default (needs src/salvora-cli and the fixture fat-frag.img)
#
# The image (tests/fixtures/make-fatfrag.sh) holds deleted files written into the holes between
# other files, with their originals in fatfrag-src/. Our quick and advanced recoveries and photorec
# (FAT recognised: free space only; and the whole volume) each write what they find into a folder;
# printed: wall time, files written, and how many of the deleted files in two pieces or more each
# wrote out byte-identical (matched by SHA-256).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${1:-$root/build/default}
cli=$build/src/salvora-cli
image=$build/fixtures/fat-frag.img
src=$build/fixtures/fatfrag-src
[ -x "$cli" ] && [ -f "$image" ] || { echo "build the default preset and its fixtures first" >&2; exit 1; }
command -v photorec >/dev/null || { echo "missing photorec (scripts/install-deps.sh)" >&2; exit 1; }
work=$(mktemp -d /tmp/salvora-fragments.XXXXXX)
trap 'rm -rf "$work"' EXIT

fragmented=$(awk -F'\t' '$3 >= 2 { print $1 }' "$src/deleted.tsv")
total=$(wc -w <<<"$fragmented")
# report NAME FOLDER SECONDS
report() {
  find "$2" -type f -exec sha256sum {} + | cut -c1-64 | sort -u > "$work/sums"
  local exact=0
  for f in $fragmented; do
    grep -qx "$(sha256sum < "$src/$f" | cut -c1-64)" "$work/sums" && exact=$(( exact + 1 ))
  done
  printf '%-22s %6ss  files %4d  fragmented exact %d/%d\n' "$1" "$3" "$(find "$2" -type f | wc -l)" "$exact" "$total"
}
# run NAME COMMAND...: times the command, which writes into $work/NAME.
run() {
  local name=$1 start end
  shift
  start=$(date +%s.%N)
  "$@" > "$work/$name.log" 2>&1 || true
  end=$(date +%s.%N)
  report "$name" "$work/$name" "$(printf '%.2f' "$(echo "$end - $start" | bc)")"
}

mkdir -p "$work/data"
export SALVORA_DATA_DIR=$work/data
run salvora-quick "$cli" recover "$image" --fast --to "$work/salvora-quick"
run salvora-advanced "$cli" recover "$image" --to "$work/salvora-advanced"
cp "$image" "$work/copy.img"
for space in freespace wholespace; do
  mkdir -p "$work/photorec-$space"
  run "photorec-$space" photorec /d "$work/photorec-$space/r" /cmd "$work/copy.img" \
    "partition_none,fileopt,everything,enable,$space,search"
done
