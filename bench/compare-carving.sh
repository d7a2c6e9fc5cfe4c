#!/usr/bin/env bash
# Whole-process comparison of this project's carving sweep with photorec (batch mode, whole space)
# and foremost on one image of random data with real files planted in it.
#
# usage: bench/compare-carving.sh [BUILD_DIR] [IMAGE] [SIZE_MIB]
#   BUILD_DIR  default build/default (needs bench/bench_carving and the fixtures)
#   IMAGE      default /tmp/salvora-carve-bench.img; built by make-carve-image.py when missing
#
# Outputs go to a folder under /dev/shm when it exists (SALVORA_COMPARE_DIR chooses another), so
# that the file system's cost of creating files does not hide the tools' own. Prints each tool's
# wall time and processor time (user + system), their ratios to ours, and how many of the planted files each tool
# recovered byte-identical ("exact") and with the whole original at the start of what it wrote
# ("complete": the original followed by bytes of its own choosing). Files are matched to the
# planted ones by their start sector, which all three tools put into their output names.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${1:-$root/build/default}
image=${2:-/tmp/salvora-carve-bench.img}
size=${3:-1024}
bench=$build/bench/bench_carving
[ -x "$bench" ] || { echo "missing $bench: build the default preset" >&2; exit 1; }
for tool in photorec foremost python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done

# The carving fixtures hold one real file of every carvable format (formats that are recognised but
# have no size rule are never carved, so planting them would compare nothing).
if [ ! -f "$image" ] || [ ! -f "$image.manifest" ]; then
  samples=$build/fixtures/carve
  [ -d "$samples" ] || bash "$root/tests/fixtures/make-all.sh" "$build/fixtures"
  python3 "$here/make-carve-image.py" "$samples" "$image" "$size"
fi

base=${SALVORA_COMPARE_DIR:-/dev/shm}
[ -d "$base" ] && [ -w "$base" ] || base=/tmp
work=$(mktemp -d "$base/salvora-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
cat "$image" > /dev/null  # warm page cache for every tool alike

# timed NAME COMMAND...: runs the command and keeps "wall user system" seconds in $work/NAME.time.
timed() {
  local name=$1
  shift
  /usr/bin/time -f "%e %U %S" -o "$work/$name.time" "$@"
}

timed salvora "$bench" --carve "$image" --recover-to "$work/salvora" > "$work/salvora.txt"
mkdir -p "$work/photorec"
(cd "$work" && timed photorec photorec /log /d "$work/photorec/recup" /cmd "$image" \
  partition_none,fileopt,everything,enable,wholespace,search > /dev/null 2>&1)
timed foremost foremost -t all -Q -i "$image" -o "$work/foremost" > /dev/null 2>&1

python3 - "$image.manifest" "$work" <<'PY'
import hashlib, os, re, sys
manifest, work = sys.argv[1], sys.argv[2]
wall, cpu = {}, {}
for tool in ("salvora", "photorec", "foremost"):
    e, u, s = open(os.path.join(work, tool + ".time")).read().split()[-3:]
    wall[tool], cpu[tool] = float(e), float(u) + float(s)
planted = {}
for line in open(manifest):
    if line.strip():
        sector, ext, size, digest = line.split("\t")
        planted[int(sector)] = (ext, int(size), digest.strip())

def outputs(tool):
    pattern = {"salvora": r"^(\d+)\.", "photorec": r"^f(\d+)", "foremost": r"^(\d+)"}[tool]
    for folder, _, files in os.walk(os.path.join(work, tool)):
        for name in files:
            m = re.match(pattern, name)
            if m:
                yield int(m.group(1)), os.path.join(folder, name)

print("%-9s %7s %6s %7s %6s %6s %9s %6s  (of %d planted files)" %
      ("tool", "wall_s", "ratio", "cpu_s", "ratio", "exact", "complete", "files", len(planted)))
per_ext = {}
for tool in ("salvora", "photorec", "foremost"):
    exact = complete = files = 0
    for sector, path in outputs(tool):
        files += 1
        if sector not in planted:
            continue
        ext, size, digest = planted[sector]
        data = open(path, "rb").read()
        if len(data) >= size and hashlib.sha256(data[:size]).hexdigest() == digest:
            complete += 1
            if len(data) == size:
                exact += 1
                per_ext.setdefault(ext, {}).setdefault(tool, 0)
                per_ext[ext][tool] += 1
    print("%-9s %7.2f %6.2f %7.2f %6.2f %6d %9d %6d" %
          (tool, wall[tool], wall[tool] / wall["salvora"], cpu[tool], cpu[tool] / max(cpu["salvora"], 0.01),
           exact, complete, files))
print("\nexact recoveries per format (salvora / photorec / foremost):")
for ext in sorted({e for e, _, _ in planted.values()}):
    counts = per_ext.get(ext, {})
    total = sum(1 for e, _, _ in planted.values() if e == ext)
    print("  %-5s %3d planted: %3d %3d %3d" % (ext, total, counts.get("salvora", 0),
          counts.get("photorec", 0), counts.get("foremost", 0)))
PY
echo
echo "salvora: $(cat "$work/salvora.txt")"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
