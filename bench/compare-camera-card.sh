#!/usr/bin/env bash
# salvora-cli on camera cards as users have them, beside cat and photorec in the same run.
#
# usage: bench/compare-camera-card.sh [BUILD_DIR] [ROUNDS] [CARDS]
#   BUILD_DIR  default build/default (needs src/salvora-cli)
#   ROUNDS     rounds of every command, alternating; medians are printed (default 1)
#   CARDS      the cards to run, default "card-fat32 card-exfat" (also card-fat32-qf, card-exfat-qf)
#
# The cards (bench/make-camera-card.py: 2 GiB, 85 % full of 12 Mpx photos with Exif and some
# movies, a quarter deleted and refilled, half of the rest deleted; a quick-formatted copy of each)
# are made once into build/bench-cards of the checkout (or $SALVORA_CARD_DIR) and kept there. Per card, warm page cache:
#   cat                      reading the card once
#   scan --no-verify         the advanced scan's listing without content checks
#   scan                     the listing with every file's verdict
#   recover                  every file written to /dev/shm, each checked
#   photorec                 free space, every file type (as bench/compare-advanced-scan.sh)
# and the ratios the speed targets are stated in, with the floors: reading once plus writing the
# recovered bytes once, and checking the found photos once (their bytes / the decode speed djpeg
# -scale 1/8 reaches on one of them / the cores). Not part of CI: a round takes a few minutes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${1:-$root/build/default}
rounds=${2:-1}
cards=${3:-card-fat32 card-exfat}
cli=$build/src/salvora-cli
[ -x "$cli" ] || { echo "missing $cli: build the default preset" >&2; exit 1; }
for tool in photorec python3 djpeg /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
store=${SALVORA_CARD_DIR:-$root/build/bench-cards}
if [ ! -f "$store/card-exfat-qf.img" ]; then
  mkdir -p "$store"
  python3 "$here/make-camera-card.py" "$store"
fi

base=${SALVORA_COMPARE_DIR:-/dev/shm}
[ -d "$base" ] && [ -w "$base" ] || base=/tmp
work=$(mktemp -d "$base/salvora-card.XXXXXX")
trap 'rm -rf "$work"' EXIT

# timed NAME COMMAND...: /usr/bin/time -v of the command, appended to $work/NAME.times.
timed() {
  local name=$1
  shift
  /usr/bin/time -v -o "$work/$name.one" "$@" > "$work/$name.out" 2> "$work/$name.err" || true
  cat "$work/$name.one" >> "$work/$name.times"
}

# The decode speed of the checks' reference: djpeg at an eighth of the size on one photo, one core.
# sed reads the whole list: head would end ls early, and pipefail would end the script silently.
sample=$(ls "$store"/photos/IMG_*.JPG | sed -n 1p)
timed djpeg bash -c "for i in 1 2 3 4 5; do djpeg -scale 1/8 '$sample' > /dev/null; done"

for card in $cards; do
  image=$store/$card.img
  cat "$image" > /dev/null
  for round in $(seq 1 "$rounds"); do
    # Reading only: its bytes go to /dev/null, not into the work folder's memory.
    timed "$card.cat" sh -c 'exec cat "$1" > /dev/null' cat "$image"
    timed "$card.noverify" env SALVORA_DATA_DIR="$work/d-$card-nv-$round" "$cli" scan "$image" --fresh --no-verify
    timed "$card.scan" env SALVORA_DATA_DIR="$work/d-$card-s-$round" "$cli" scan "$image" --fresh
    rm -rf "$work/rec"
    timed "$card.recover" env SALVORA_DATA_DIR="$work/d-$card-r-$round" "$cli" recover "$image" --fresh --to "$work/rec"
    [ "$round" = 1 ] && cp "$work/$card.recover.out" "$work/$card.recover.kept"
    timed "$card.write" cp -r "$work/rec" "$work/rec-copy"
    rm -rf "$work/rec" "$work/rec-copy" "$work/photorec"
    mkdir -p "$work/photorec"
    (cd "$work" && timed "$card.photorec" photorec /log /d "$work/photorec/recup" /cmd "$image" \
      partition_none,fileopt,everything,enable,freespace,search)
    [ "$round" = 1 ] && find "$work/photorec" -type f | wc -l > "$work/$card.photorec.files"
    rm -rf "$work/photorec" "$work"/d-*
  done
  cp "$work/$card.scan.out" "$work/$card.listing"
done

python3 - "$work" "$sample" "$(nproc)" $cards <<'PY'
import os, re, statistics, sys
work, sample, cores, cards = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]

def runs(name):
    text = open(os.path.join(work, name + ".times")).read()
    out = []
    for block in text.split("Command being timed")[1:]:
        wall = block.split("Elapsed (wall clock) time (h:mm:ss or m:ss):")[1].split()[0]
        seconds = sum(float(p) * 60 ** i for i, p in enumerate(reversed(wall.split(":"))))
        user = float(re.search(r"User time \(seconds\): ([\d.]+)", block).group(1))
        system = float(re.search(r"System time \(seconds\): ([\d.]+)", block).group(1))
        rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", block).group(1)) / 1024
        out.append((seconds, user + system, rss))
    return out

def median(name, i=0):
    return statistics.median(r[i] for r in runs(name))

decode_mb_s = 5 * os.path.getsize(sample) / 1e6 / median("djpeg")
print("reference decode: djpeg -scale 1/8 reads %.0f MB/s on one core (%s)" % (decode_mb_s, os.path.basename(sample)))
checkable = re.compile(r"\.(jpe?g|jfif|png|gif|tiff?|psd|pdf|zip|mov|mp4|m4v|3gp)$", re.I)
for card in cards:
    # The photos the listing found, by their sizes: what a scan with verdicts has to check.
    checked = 0
    photos = 0
    for line in open(os.path.join(work, card + ".listing")):
        fields = line.split()
        if len(fields) > 4 and fields[0] != "#" and re.search(r"\.jpe?g$", line.strip(), re.I):
            sizes = [f for f in fields[2:5] if f.isdigit()]
            if sizes:
                checked += int(sizes[0])
                photos += 1
    files = sum(1 for line in open(os.path.join(work, card + ".recover.kept")) if ": Success" in line)
    cat, nv, scan, rec, pr = (median(card + "." + n) for n in ("cat", "noverify", "scan", "recover", "photorec"))
    write = median(card + ".write")
    floor_decode = checked / 1e6 / decode_mb_s / cores
    print("\n%s (%d files written by recover, %s by photorec; %d photos of %.0f MB in the listing)"
          % (card, files, open(os.path.join(work, card + ".photorec.files")).read().strip(), photos, checked / 1e6))
    print("  %-18s %8s %9s %9s" % ("command", "wall_s", "cpu_s", "peak_MiB"))
    for label, name in (("cat", "cat"), ("scan --no-verify", "noverify"), ("scan", "scan"),
                        ("recover", "recover"), ("photorec", "photorec")):
        print("  %-18s %8.2f %9.2f %9.1f" % (label, median(card + "." + name), median(card + "." + name, 1),
                                           median(card + "." + name, 2)))
    print("  recover / photorec            %.2f  (target <= 0.5)" % (rec / pr))
    print("  scan / photorec               %.2f  (target <= 0.4)" % (scan / pr))
    print("  scan --no-verify / cat        %.2f  (target <= 2)" % (nv / cat))
    print("  scan / check floor            %.2f  (floor %.2f s = %.0f MB / %.0f MB/s / %d cores; target <= 1.3)"
          % (scan / floor_decode if floor_decode else 0, floor_decode, checked / 1e6, decode_mb_s, cores))
    print("  recover cpu / photorec cpu    %.2f  (target <= 1)" % (median(card + ".recover", 1) / median(card + ".photorec", 1)))
    print("  recover peak memory           %.1f MiB (target <= 32)" % median(card + ".recover", 2))
    print("  floor: read once + write once %.2f s; recover / floor %.2f" % (cat + write, rec / (cat + write)))
PY
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
