#!/usr/bin/env bash
# Whole-process comparison of salvora-cli image (with its map) against dd bs=1M and GNU ddrescue
# on a healthy source: one image file of random data read as disk 0, copied by each tool in turn
# into the same folder, every copy put on the medium before its time stops (dd conv=fdatasync,
# ddrescue followed by sync). Prints wall and processor seconds of each and the ratios to ours.
#
# usage: bench/compare-imaging.sh [BUILD_DIR] [SIZE_MIB] [OUT_DIR]
#   BUILD_DIR  default build/default; SIZE_MIB default 256; OUT_DIR default a folder under /tmp
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${1:-$root/build/default}
size=${2:-256}
cli=$build/src/salvora-cli
[ -x "$cli" ] || { echo "missing $cli: build the default preset" >&2; exit 1; }
command -v ddrescue >/dev/null || { echo "missing ddrescue (scripts/install-deps.sh: gddrescue)" >&2; exit 1; }
work=$(mktemp -d "${3:-/tmp}/salvora-imaging.XXXXXX")
trap 'rm -rf "$work"' EXIT

head -c "$((size * 1048576))" /dev/urandom > "$work/source.img"
cat "$work/source.img" > /dev/null  # the same warm page cache for every tool

timed() {
  local name=$1
  shift
  rm -f "$work/out.img" "$work/out.map"
  /usr/bin/time -f "%e %U %S" -o "$work/$name.time" "$@" > /dev/null 2>&1
  cmp -s "$work/source.img" "$work/out.img" || { echo "$name: the copy differs from the source" >&2; exit 1; }
}
timed salvora env SALVORA_DISK_MAP="0=$work/source.img" "$cli" image disk:0 "$work/out.img" --map "$work/out.map"
timed dd dd if="$work/source.img" of="$work/out.img" bs=1M conv=fdatasync
timed ddrescue sh -c "ddrescue -q '$work/source.img' '$work/out.img' '$work/out.map' && sync '$work/out.img'"

read -r ours_wall ours_user ours_sys < "$work/salvora.time"
printf "%-9s %8s %8s %10s %10s\n" tool wall cpu "wall/ours" "MiB/s"
for tool in salvora dd ddrescue; do
  read -r wall user sys < "$work/$tool.time"
  awk -v t="$tool" -v w="$wall" -v u="$user" -v s="$sys" -v ow="$ours_wall" -v mb="$size" \
    'BEGIN { printf "%-9s %8.2f %8.2f %10.2f %10.0f\n", t, w, u + s, w / ow, mb / (w > 0 ? w : 0.01) }'
done
