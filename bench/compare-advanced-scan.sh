#!/usr/bin/env bash
# The advanced scan end to end, compared in the same run with photorec on the same image.
#
# usage: bench/compare-advanced-scan.sh [BUILD_DIR] [SIZE_MIB] [MANY_FILES]
#   BUILD_DIR   default build/default (needs bench/bench_advanced_scan and the fixtures)
#   SIZE_MIB    size of the mixed image, default 1024
#   MANY_FILES  files planted in the second image, default 120000
#
# 1. A mixed image (bench/make-advanced-image.py; kept as /tmp/salvora-advanced-bench.img): a
#    FAT32 volume with deleted files in its folders and a removed folder, whose free space is
#    random data with real files planted in it. Our advanced scan (fast FAT pass, then the sweep
#    of the free clusters through the deep engines and carving) and photorec (FAT recognised,
#    free space only, every file type) each recover everything they find into a folder under
#    /dev/shm. Printed: wall time, MiB/s of swept space, peak resident memory, files found, and
#    how many of the planted files each wrote out byte-identical (matched by start sector).
#    The row "cli" is the same scan and recovery through salvora-cli recover, as a user runs it.
# 2. A raw image of MANY_FILES small JPEGs one after another (kept as /tmp/salvora-many-bench.img):
#    our scan alone, to show that peak memory stays bounded when the records number 100,000 and
#    more (they live in the scan logs on disk).
# Not part of CI: it takes a few minutes and about SIZE_MIB of /tmp and /dev/shm.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${1:-$root/build/default}
size=${2:-1024}
many=${3:-120000}
bench=$build/bench/bench_advanced_scan
[ -x "$bench" ] || { echo "missing $bench: build the default preset" >&2; exit 1; }
[ -x "$build/src/salvora-cli" ] || { echo "missing $build/src/salvora-cli: build the default preset" >&2; exit 1; }
for tool in photorec python3 mkfs.fat mcopy convert /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done

image=/tmp/salvora-advanced-bench.img
if [ ! -f "$image" ] || [ ! -f "$image.manifest" ] || [ "$(stat -c %s "$image")" -ne $(( size * 1024 * 1024 )) ]; then
  samples=$build/fixtures/carve
  [ -d "$samples" ] || bash "$root/tests/fixtures/make-all.sh" "$build/fixtures"
  python3 "$here/make-advanced-image.py" "$samples" "$image" "$size"
fi
manyimage=/tmp/salvora-many-bench.img
if [ ! -f "$manyimage" ] || [ "$(stat -c %s "$manyimage")" -ne $(( many * 512 )) ]; then
  tiny=$(mktemp --suffix=.jpg)
  convert -size 8x8 xc:red -quality 50 -strip "$tiny"
  python3 - "$tiny" "$manyimage" "$many" <<'PY'
import sys
body = open(sys.argv[1], "rb").read()
assert len(body) <= 512, "the picture must fit one sector"
with open(sys.argv[2] + ".tmp", "wb") as f:
    f.write((body + b"\0" * (512 - len(body))) * int(sys.argv[3]))
import os; os.replace(sys.argv[2] + ".tmp", sys.argv[2])
PY
  rm -f "$tiny"
fi

base=${SALVORA_COMPARE_DIR:-/dev/shm}
[ -d "$base" ] && [ -w "$base" ] || base=/tmp
work=$(mktemp -d "$base/salvora-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
cat "$image" "$manyimage" > /dev/null  # warm page cache for every tool alike

# timed NAME COMMAND...: /usr/bin/time -v of the command into $work/NAME.time.
timed() {
  local name=$1
  shift
  /usr/bin/time -v -o "$work/$name.time" "$@"
}

timed salvora env SALVORA_DATA_DIR="$work/data" "$bench" --scan "$image" --recover-to "$work/salvora" \
  > "$work/salvora.txt"
# The same work through the program a user runs: its names come from the files' metadata, so its
# exact files are matched to the planted ones by content.
timed cli env SALVORA_DATA_DIR="$work/data-cli" "$build/src/salvora-cli" recover "$image" --to "$work/cli" \
  --fresh > "$work/cli.txt" 2>/dev/null
mkdir -p "$work/photorec"
(cd "$work" && timed photorec photorec /log /d "$work/photorec/recup" /cmd "$image" \
  partition_none,fileopt,everything,enable,freespace,search > /dev/null 2>&1)
# The floor under any tool that reads the image and writes what it recovers: reading the image
# once, and copying salvora-cli's output once more.
timed floor-read dd if="$image" of=/dev/null bs=1M status=none
timed floor-write cp -r "$work/cli" "$work/floor-copy"
timed many env SALVORA_DATA_DIR="$work/data-many" "$bench" --scan "$manyimage" > "$work/many.txt"

python3 - "$image.manifest" "$work" <<'PY'
import hashlib, os, re, sys
manifest, work = sys.argv[1], sys.argv[2]

def usage(name):
    text = open(os.path.join(work, name + ".time")).read()
    wall = text.split("Elapsed (wall clock) time (h:mm:ss or m:ss):")[1].split()[0]
    parts = [float(p) for p in wall.split(":")]
    seconds = sum(p * 60 ** i for i, p in enumerate(reversed(parts)))
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", text).group(1))
    return seconds, rss / 1024.0

def facts(name):
    return dict(kv.split("=") for kv in open(os.path.join(work, name + ".txt")).read().split())

planted = {}
for line in open(manifest):
    if line.strip():
        sector, ext, size, digest = line.split("\t")
        planted[int(sector)] = (int(size), digest.strip(), ext)
per_ext = {}

def outputs(tool):
    pattern = {"salvora": r"^4-(\d+)", "photorec": r"^f(\d+)"}[tool]
    for folder, _, files in os.walk(os.path.join(work, tool)):
        for name in files:
            if name == "report.xml":
                continue
            m = re.match(pattern, name)
            yield (int(m.group(1)) if m else None), os.path.join(folder, name)

ours = facts("salvora")
swept = float(ours["swept_MiB"])
print("mixed image: %.0f MiB of free space swept, %d files planted in it" % (swept, len(planted)))
print("%-9s %8s %9s %10s %7s %7s" % ("tool", "wall_s", "MiB/s", "peak_MiB", "files", "exact"))
for tool in ("salvora", "photorec"):
    seconds, rss = usage(tool)
    files = exact = 0
    for sector, path in outputs(tool):
        files += 1
        if sector in planted:
            size, digest, ext = planted[sector]
            data = open(path, "rb").read()
            if len(data) == size and hashlib.sha256(data).hexdigest() == digest:
                exact += 1
                per_ext.setdefault(ext, {}).setdefault(tool, 0)
                per_ext[ext][tool] += 1
    print("%-9s %8.2f %9.1f %10.1f %7d %7d" % (tool, seconds, swept / seconds, rss, files, exact))
# A planted sample may be planted more than once: each planted copy is matched at most once.
wanted = {}
for _, d, _ in planted.values():
    wanted[d] = wanted.get(d, 0) + 1
seconds, rss = usage("cli")
files = exact = 0
for folder, _, names in os.walk(os.path.join(work, "cli")):
    for name in names:
        files += 1
        d = hashlib.sha256(open(os.path.join(folder, name), "rb").read()).hexdigest()
        if wanted.get(d, 0) > 0:
            wanted[d] -= 1
            exact += 1
photorec_seconds = usage("photorec")[0]
print("%-9s %8.2f %9.1f %10.1f %7d %7d   (salvora-cli recover; %.2f x photorec's wall time)"
      % ("cli", seconds, swept / seconds, rss, files, exact, seconds / photorec_seconds))
floor = usage("floor-read")[0] + usage("floor-write")[0]
print("floor: reading the image once and writing the recovered files once take %.2f s (%.2f x photorec's wall time)"
      % (floor, floor / photorec_seconds))
print("exact recoveries of the planted files per format (salvora / photorec):")
line = []
for ext in sorted({e for _, _, e in planted.values()}):
    counts = per_ext.get(ext, {})
    total = sum(1 for _, _, e in planted.values() if e == ext)
    line.append("%s %d/%d/%d" % (ext, counts.get("salvora", 0), counts.get("photorec", 0), total))
for i in range(0, len(line), 7):
    print("  " + "   ".join(line[i:i + 7]))
print("salvora: scan alone %s s (%s MiB/s), %s records, scan peak %s MiB, %s recovered, %s failed"
      % (ours["scan_s"], ours["swept_MiB_per_s"], ours["found"], ours["scan_peak_rss_MiB"],
         ours["recovered"], ours["failed"]))
print("salvora: checking the written files' content took %s s of the %s s run (%s intact, %s damaged, %s not checked)"
      % (ours["validate_s"], ours["total_s"], ours["intact"], ours["damaged"], ours["not_checked"]))
many = facts("many")
seconds, rss = usage("many")
print("many small files: %s records found in %.2f s (%s MiB swept), peak resident memory %.1f MiB"
      % (many["found"], seconds, many["swept_MiB"], rss))
PY
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
