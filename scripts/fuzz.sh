#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (default 30 s), seeded
# from the fixtures, the third-party real images and the kept regression inputs under
# tests/fuzz/regressions/. A seed script may raise the input size limit with a "# max_len: N" line.
# Fails on any crash, leak or sanitizer report. Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
root=$PWD
shared=$root/tests/third_party
fixtures=$root/build/fixtures
bash tests/fixtures/make-all.sh "$fixtures" >/dev/null
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
failed=0
for t in "${targets[@]}"; do
  work=build/fuzz/run/$t
  rm -rf "$work"; mkdir -p "$work/corpus" "$work/artifacts"
  [ -d "tests/fuzz/regressions/$t" ] && cp -r "tests/fuzz/regressions/$t/." "$work/corpus/"
  maxlen=$(sed -n 's/^# max_len: \([0-9]*\)$/\1/p' "fuzz/seeds/$t.sh" 2>/dev/null || true)
  maxlen=${maxlen:-65536}
  [ -f "fuzz/seeds/$t.sh" ] && bash "fuzz/seeds/$t.sh" "$work/corpus" "$fixtures" "$shared"
  echo "== $t ($seconds s)"
  if ! ASAN_OPTIONS=detect_leaks=1 "build/fuzz/fuzz/$t" -max_total_time="$seconds" -max_len="$maxlen" \
       -rss_limit_mb=2048 -artifact_prefix="$work/artifacts/" "$work/corpus" > "$work/log" 2>&1; then
    echo "FINDING in $t:"; tail -n 40 "$work/log"; failed=1
  else
    grep -E '^#[0-9]+.*DONE' "$work/log" | tail -n 1 || tail -n 1 "$work/log"
  fi
done
exit $failed
