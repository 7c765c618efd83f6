#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a bounded time.
#   bash scripts/fuzz.sh             every target for 20 seconds
#   bash scripts/fuzz.sh 600         every target for 10 minutes
#   bash scripts/fuzz.sh 3600 cookie one target for an hour
# FUZZ_SEED=N fixes the random seed (the test command uses 1); unset, every run draws its own.
# Each run starts from the seed corpus in fuzz/corpus/<target>/ and keeps what it learns in
# build-fuzz/corpus/<target>/; an input that breaks a promise is saved as
# build-fuzz/findings/<target>/crash-* (replay it with build-fuzz/fuzz/fuzz_<target> FILE).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-20}"
shift || true
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DVELOMARIS_BUILD_FUZZ=ON >/dev/null
cmake --build "$build" -j2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$root"/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
passed=0
failed=0
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target" "$build/findings/$target"
  echo "fuzz_$target: ${seconds} s"
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -seed="${FUZZ_SEED:-0}" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/findings/$target/" -print_final_stats=0 \
    "$build/corpus/$target" "$root/fuzz/corpus/$target" >"$build/fuzz_$target.log" 2>&1; then
    passed=$((passed + 1))
    tail -n 1 "$build/fuzz_$target.log"
  else
    failed=$((failed + 1))
    tail -n 60 "$build/fuzz_$target.log"
    echo "fuzz_$target FAILED; its input is in $build/findings/$target/"
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
