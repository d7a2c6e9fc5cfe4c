#!/usr/bin/env bash
# Installs the dependencies, builds the program, makes the bundled sample card image and shows what
# the tool makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j 2
bash tests/fixtures/make-all.sh build/default/fixtures >/dev/null
./build/default/src/salvora-cli probe build/default/fixtures/fat32.img
