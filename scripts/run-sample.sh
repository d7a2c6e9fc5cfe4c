#!/usr/bin/env bash
# The main job, end to end: installs what building the programs and making the sample need, builds the
# two programs (no tests or benchmarks), makes the bundled sample card (a FAT32 camera card with
# deleted photos and a deleted folder) and recovers it into ./recovered, printing what it got.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh sample
cmake --preset programs >/dev/null
cmake --build --preset programs -j 2
mkdir -p build
bash scripts/make-sample-card.sh build/sample-card.img build/sample-originals
status=0
./build/programs/src/salvora-cli recover build/sample-card.img --to ./recovered || status=$?
echo
echo "Recovered into ./recovered:"
find ./recovered -type f | sort
exit "$status"
