#!/usr/bin/env bash
# Builds Vintrel and runs it in the directory this script is started from: the window where a
# display is present, the console front-end where none is. Installs only what that program
# needs to build and run, and builds the programs without their tests (preset release).
set -euo pipefail
here=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  purpose=window ui=ON program=vintrel
else
  purpose=console ui=OFF program=vintrel-console
fi
(
  cd "$root"
  scripts/install-deps.sh "$purpose"
  cmake --preset release -DVINTREL_BUILD_UI="$ui" >/dev/null
  cmake --build --preset release
) >&2

cd "$here"
exec "$root/build/release/src/app/$program"
