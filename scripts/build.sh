#!/usr/bin/env bash
# Configures and builds Velomaris in build/ (two jobs, as on the CI machine).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$root/build" -j2
