#!/usr/bin/env bash
# Takes the README's pictures of the desktop program: the main window (showing the demo page of
# scripts/demo, served on loopback), the settings, help and result windows, as PNGs in
# docs/screenshots/. Runs on a virtual X display of its own (xvfb-run), so it works without a
# desktop; the side page stays off, so nothing beyond 127.0.0.1 is reached.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh" >/dev/null
mkdir -p "$root/docs/screenshots"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$root/build/tests/gui/screenshot_tool" "$root/docs/screenshots" "$root/scripts/demo/index.php" \
  2> >(grep -v -e '^ *\*' -e 'Init Parameters' -e '^Using ' -e '^QSG RHI' -e '^$' >&2)
