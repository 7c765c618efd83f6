#!/usr/bin/env bash
# Installs what is missing, builds Velomaris and starts the headless program. Message boxes
# appear on stderr; Ctrl+C ends it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
exec "$root/build/app/velomaris-headless"
