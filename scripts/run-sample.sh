#!/usr/bin/env bash
# The main job, end to end: installs the dependencies, builds the program, makes the bundled sample
# card (a FAT32 camera card with deleted photos and a deleted folder) and recovers it into
# ./recovered, printing what it got.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j 2
mkdir -p build
bash scripts/make-sample-card.sh build/sample-card.img build/sample-originals
status=0
./build/default/src/salvora-cli recover build/sample-card.img --to ./recovered || status=$?
echo
echo "Recovered into ./recovered:"
find ./recovered -type f | sort
exit "$status"
