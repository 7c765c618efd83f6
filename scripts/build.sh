#!/usr/bin/env bash
# Configures and builds Velomaris in build/ (two jobs, as on the CI machine).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# The benchmarks are built too, so they keep compiling; they run only by hand.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELOMARIS_BUILD_BENCH=ON "$@"
cmake --build "$root/build" -j2
