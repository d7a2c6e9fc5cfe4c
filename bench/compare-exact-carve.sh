#!/usr/bin/env bash
# Exact carving beside photorec, in the same run, on the planted image of the exact-carving fixture
# (every carvable format, stale bytes behind each file). For each tool: files written, bytes
# written against the sum of the planted files, and how many planted files came back
# byte-identical (matched by content: carved files may be named after their metadata), per format.
#
# usage: bench/compare-exact-carve.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
# Absolute, since photorec runs from the work folder.
build=$(realpath -m "${1:-$root/build/default}")
cli=$build/src/salvora-cli
fixtures=$build/fixtures
[ -x "$cli" ] || { echo "missing $cli: build the default preset" >&2; exit 1; }
command -v photorec >/dev/null || { echo "missing photorec (scripts/install-deps.sh)" >&2; exit 1; }
[ -f "$fixtures/exactcarve.img" ] || bash "$root/tests/fixtures/make-all.sh" "$fixtures"
image=$fixtures/exactcarve.img

base=${SALVORA_COMPARE_DIR:-/dev/shm}
[ -d "$base" ] && [ -w "$base" ] || base=/tmp
work=$(mktemp -d "$base/salvora-exact.XXXXXX")
trap 'rm -rf "$work"' EXIT

SALVORA_DATA_DIR="$work/data" "$cli" recover "$image" --to "$work/salvora" > /dev/null 2>&1
mkdir -p "$work/photorec"
(cd "$work" && photorec /log /d "$work/photorec/recup" /cmd "$image" \
  partition_none,fileopt,everything,enable,wholespace,search > /dev/null 2>&1)

python3 - "$fixtures/exactcarve/manifest.tsv" "$work" <<'PY'
import collections, hashlib, os, sys
manifest, work = sys.argv[1], sys.argv[2]
planted = [l.split("\t") for l in open(manifest).read().splitlines() if l]
total = sum(int(p[2]) for p in planted)

def outputs(tool):
    digests, count, written = set(), 0, 0
    for folder, _, names in os.walk(os.path.join(work, tool)):
        for n in names:
            if tool == "photorec" and n == "report.xml":
                continue
            path = os.path.join(folder, n)
            count += 1
            written += os.path.getsize(path)
            digests.add(hashlib.sha256(open(path, "rb").read()).hexdigest())
    return digests, count, written

print(f"planted: {len(planted)} files, {total} bytes")
results = {}
for tool in ("salvora", "photorec"):
    digests, count, written = outputs(tool)
    exact = collections.Counter(ext for ext, _, _, digest, _ in planted if digest in digests)
    results[tool] = exact
    print(f"{tool:9} files written {count:4}  bytes written {written:10} ({written / total:.3f} x planted)"
          f"  exact {sum(exact.values())}/{len(planted)}")
formats = collections.Counter(p[0] for p in planted)
print("format  planted  salvora  photorec")
for ext in sorted(formats):
    print(f"{ext:7} {formats[ext]:7}  {results['salvora'][ext]:7}  {results['photorec'][ext]:8}")
PY
