#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through CTest; then the
# same tests again under AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of
# every fuzz target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
(cd "$root/build" && ctest --output-on-failure -j2 --timeout 600)
bash "$root/scripts/sanitize.sh"
# A fixed seed, so that a run of the test command explores the same inputs each time.
FUZZ_SEED=1 bash "$root/scripts/fuzz.sh" 20
