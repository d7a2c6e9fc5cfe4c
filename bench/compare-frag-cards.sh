#!/usr/bin/env bash
# Photos deleted in 2 to 5 pieces on a FAT32 and an exFAT card (tests/fixtures/make-fragcards.sh),
# as they are and quick-formatted (-qf), compared in the same run with photorec (free space) and The Sleuth Kit's tsk_recover.
#
# usage: bench/compare-frag-cards.sh [BUILD_DIR]
#   BUILD_DIR   default build/default (needs src/salvora-cli and the fragcard fixtures, looked for in
#               FIXTURE_DIR, default BUILD_DIR/fixtures)
#
# Each tool writes what it finds into a folder; printed per card and tool: wall time, files
# written, how many of the deleted photos came back byte-identical (by SHA-256; the zeroed ones
# count as the bytes the card held), and of those the whole ones in pieces; then the union of the
# two peers' exact photos beside ours.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${1:-$root/build/default}
cli=$build/src/salvora-cli
fixtures=${FIXTURE_DIR:-$build/fixtures}
[ -x "$cli" ] && [ -f "$fixtures/fragcard-fat32.img" ] || { echo "build the default preset and its fixtures first" >&2; exit 1; }
for tool in photorec tsk_recover; do
  command -v $tool >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
work=$(mktemp -d /tmp/salvora-fragcards.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data"
export SALVORA_DATA_DIR=$work/data

# exact FOLDER MANIFEST: the names of the manifest's photos found byte-identical in FOLDER.
exact() {
  find "$1" -type f -exec sha256sum {} + | cut -c1-64 | sort -u > "$work/sums"
  awk -F'\t' '{ print $4, $1 }' "$2" | while read -r sum name; do
    if grep -qx "$sum" "$work/sums"; then echo "$name"; fi
  done
}
# run CARD NAME COMMAND...: times the command, which writes into $work/CARD-NAME.
run() {
  local card=$1 name=$2 start end folder=$work/$1-$2
  shift 2
  start=$(date +%s.%N)
  "$@" > "$folder.log" 2>&1 || true
  end=$(date +%s.%N)
  exact "$folder" "$manifest" > "$folder.exact"
  printf '%-8s %-17s %6ss  files %4d  exact %2d/%d  (in pieces, whole: %d)\n' "$card" "$name" \
    "$(printf '%.2f' "$(echo "$end - $start" | bc)")" "$(find "$folder" -type f | wc -l)" \
    "$(wc -l < "$folder.exact")" "$total" "$(grep -cxFf "$work/whole" "$folder.exact" || true)"
}

for card in fat32 exfat fat32-qf exfat-qf; do
  image=$fixtures/fragcard-$card.img
  manifest=$fixtures/fragcards/${card%-qf}/manifest.tsv
  total=$(wc -l < "$manifest")
  awk -F'\t' '$5 == "-" { print $1 }' "$manifest" > "$work/whole"
  cp "$image" "$work/copy.img"
  run $card salvora-quick "$cli" recover "$image" --fast --to "$work/$card-salvora-quick"
  run $card salvora-advanced "$cli" recover "$image" --to "$work/$card-salvora-advanced"
  mkdir -p "$work/$card-photorec"
  run $card photorec photorec /d "$work/$card-photorec/r" /cmd "$work/copy.img" \
    "partition_none,fileopt,everything,enable,freespace,search"
  run $card tsk_recover tsk_recover -e "$work/copy.img" "$work/$card-tsk_recover"
  sort -u "$work/$card-photorec.exact" "$work/$card-tsk_recover.exact" > "$work/union"
  printf '%-8s peers union exact %d/%d; salvora advanced %d, of them outside the union %d\n' "$card" \
    "$(wc -l < "$work/union")" "$total" "$(wc -l < "$work/$card-salvora-advanced.exact")" \
    "$(grep -cvxFf "$work/union" "$work/$card-salvora-advanced.exact" || true)"
done
