#!/usr/bin/env bash
# Builds Vintrel and runs it in the directory this script is started from: the window where a
# display is present, the console front-end where none is.
set -euo pipefail
here=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
(
  cd "$root"
  scripts/install-deps.sh
  cmake --preset default >/dev/null
  cmake --build --preset default
) >&2

cd "$here"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$root/build/default/src/app/vintrel" ]; then
  exec "$root/build/default/src/app/vintrel"
fi
exec "$root/build/default/src/app/vintrel-console"
