#!/usr/bin/env bash
# Today's formats beside photorec, in the same run: the card of make-formats.sh (JPEGs starting in
# each way a JPEG may, HEIC, AVIF, WebP, camera raws, FLAC, Ogg, Opus, M4A) quick-formatted as
# FAT32 and as exFAT, and planted raw without a file system. For each image and tool: files
# written, and how many of the card's files came back byte-identical (matched by content) and
# under their own extension, per format.
#
# usage: bench/compare-formats.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
cli=$build/src/salvora-cli
fixtures=$build/fixtures
[ -x "$cli" ] || { echo "missing $cli: build the default preset" >&2; exit 1; }
command -v photorec >/dev/null || { echo "missing photorec (scripts/install-deps.sh)" >&2; exit 1; }
[ -f "$fixtures/formats-raw.img" ] || bash "$root/tests/fixtures/make-all.sh" "$fixtures"

base=${SALVORA_COMPARE_DIR:-/dev/shm}
[ -d "$base" ] && [ -w "$base" ] || base=/tmp
work=$(mktemp -d "$base/salvora-formats.XXXXXX")
trap 'rm -rf "$work"' EXIT

for image in formats-fat32-formatted formats-exfat-formatted formats-raw; do
  SALVORA_DATA_DIR="$work/data-$image" "$cli" recover "$fixtures/$image.img" --to "$work/$image/salvora" > /dev/null 2>&1
  mkdir -p "$work/$image/photorec"
  (cd "$work" && photorec /log /d "$work/$image/photorec/recup" /cmd "$fixtures/$image.img" \
    partition_none,fileopt,everything,enable,wholespace,search > /dev/null 2>&1)
done

python3 - "$fixtures/formats-src/manifest.tsv" "$work" <<'PY'
import collections, hashlib, os, sys
manifest, work = sys.argv[1], sys.argv[2]
card = [l.split("\t") for l in open(manifest).read().splitlines() if l]  # path, ext, sha, name

def outputs(folder):
    found, count = collections.defaultdict(set), 0
    for d, _, names in os.walk(folder):
        for n in names:
            if n in ("report.xml", "photorec.log"):
                continue
            count += 1
            path = os.path.join(d, n)
            found[hashlib.sha256(open(path, "rb").read()).hexdigest()].add(os.path.splitext(n)[1][1:].lower())
    return found, count

formats = collections.Counter(c[1] for c in card)
for image in ("formats-fat32-formatted", "formats-exfat-formatted", "formats-raw"):
    print(f"== {image}: {len(card)} files")
    exact, named = {}, {}
    for tool in ("salvora", "photorec"):
        found, count = outputs(os.path.join(work, image, tool))
        exact[tool] = collections.Counter(c[1] for c in card if c[2] in found)
        named[tool] = collections.Counter(c[1] for c in card if c[1] in found.get(c[2], ()))
        print(f"{tool:9} files written {count:4}  exact {sum(exact[tool].values()):2}/{len(card)}"
              f"  exact with its extension {sum(named[tool].values()):2}/{len(card)}")
    print("format  card  salvora  photorec   (exact / with its extension)")
    for ext in sorted(formats):
        print(f"{ext:7} {formats[ext]:4}  {exact['salvora'][ext]:3}/{named['salvora'][ext]:<3}  "
              f"{exact['photorec'][ext]:4}/{named['photorec'][ext]:<3}")
PY
