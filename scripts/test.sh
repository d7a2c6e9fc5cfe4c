#!/usr/bin/env bash
# Installs the dependencies, builds and runs the whole test suite in the presets: default,
# AddressSanitizer + UndefinedBehaviorSanitizer, and Windows (cross-built, its tests under Wine;
# they compare with the default preset's salvora-cli and use its fixture images, so it comes after
# default). Usage: scripts/test.sh [default|asan|windows ...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh all
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan windows)
for preset in "${presets[@]}"; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2
  ctest --preset "$preset"
done
