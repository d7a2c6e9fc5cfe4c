#!/usr/bin/env bash
# salvora-cli scan beside cat and photorec on a camera card read at card speed: the card image
# served by nbdkit's rate filter under nbdfuse (a FUSE file that reads at RATE bits per second,
# opened afresh by each command, so none of them finds the others' reads in the page cache).
#
# usage: bench/compare-slow-card.sh [BUILD_DIR] [CARD] [RATE]
#   BUILD_DIR  default build/default (needs src/salvora-cli)
#   CARD       default card-fat32 (made by bench/compare-camera-card.sh into build/bench-cards)
#   RATE       default 720M (bits per second: 90 MB/s, a fast SD card)
# Prints each command's wall and processor time and scan / cat (target <= 1.1) with the load.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
card=${2:-card-fat32}
rate=${3:-720M}
cli=$build/src/salvora-cli
image=${SALVORA_CARD_DIR:-$root/build/bench-cards}/$card.img
for tool in nbdkit nbdfuse fusermount3 photorec /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "missing $cli: build the default preset" >&2; exit 1; }
[ -f "$image" ] || { echo "missing $image: run bench/compare-camera-card.sh once" >&2; exit 1; }

base=${SALVORA_COMPARE_DIR:-/dev/shm}
[ -d "$base" ] && [ -w "$base" ] || base=/tmp
work=$(mktemp -d "$base/salvora-slow.XXXXXX")
mount=$(mktemp -d /tmp/salvora-slow-mount.XXXXXX)
nbdfuse --readonly "$mount/card.img" --command nbdkit -r -s --filter=rate file "$image" rate="$rate" &
fuse=$!
cleanup() {
  fusermount3 -u "$mount" 2>/dev/null || true
  wait "$fuse" 2>/dev/null || true
  rmdir "$mount" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -f "$mount/card.img" ] && break; sleep 0.1; done
slow=$mount/card.img

timed() {
  local name=$1
  shift
  /usr/bin/time -f "%e %U %S" -o "$work/$name.time" "$@" > /dev/null 2> "$work/$name.err" || true
  read -r wall user sys < "$work/$name.time"
  echo "$name $wall $(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }') $(cut -d' ' -f1 /proc/loadavg)" >> "$work/results"
}
timed cat cat "$slow"
timed scan env SALVORA_DATA_DIR="$work/data" "$cli" scan "$slow" --fresh
mkdir -p "$work/photorec"
(cd "$work" && timed photorec photorec /log /d "$work/photorec/recup" /cmd "$slow" \
  partition_none,fileopt,everything,enable,freespace,search)

echo "$card read at $rate bit/s through nbdkit's rate filter"
printf "  %-10s %8s %8s %6s\n" command wall_s cpu_s load
while read -r name wall cpu load; do printf "  %-10s %8s %8s %6s\n" "$name" "$wall" "$cpu" "$load"; done < "$work/results"
awk '{w[$1]=$2} END {printf "  scan / cat       %.2f  (target <= 1.1)\n  scan / photorec  %.2f\n", w["scan"]/w["cat"], w["scan"]/w["photorec"]}' "$work/results"
