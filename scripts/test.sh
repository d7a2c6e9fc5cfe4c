#!/usr/bin/env bash
# Installs the dependencies, builds and runs the whole test suite in both presets (default and
# AddressSanitizer + UndefinedBehaviorSanitizer). Usage: scripts/test.sh [default|asan ...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh all
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan)
for preset in "${presets[@]}"; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2
  ctest --preset "$preset"
done
