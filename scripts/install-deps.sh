#!/usr/bin/env bash
# Installs what Vintrel needs on Debian 12, for one purpose:
#   console  building and running vintrel-console (scripts/run.sh where there is no display)
#   window   the same, and the window program vintrel (scripts/run.sh on a display)
#   test     everything scripts/test.sh builds and runs (the default)
# Installs only what is missing, so running it again is quick and harmless.
set -euo pipefail
purpose=${1:-test}
root=$(cd "$(dirname "$0")/.." && pwd)

need_root() { if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi; }

updated=
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  [ -n "$updated" ] || need_root apt-get update -qq
  updated=1
  DEBIAN_FRONTEND=noninteractive need_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Building needs a C++ compiler, CMake and Ninja, and the engine's hash (xxHash, found through
# pkg-config, as Qt's CMake files find some of its libraries); the window adds Qt.
packages=(g++ cmake ninja-build pkg-config libxxhash-dev)
case "$purpose" in
  console) ;;
  window) packages+=(qt6-base-dev) ;;
  test)
    packages+=(qt6-base-dev
      build-essential file clang libclang-rt-14-dev
      googletest libgtest-dev libgmock-dev
      mdbtools time
      xvfb xauth fonts-dejavu-core xdotool x11-utils imagemagick)
    # Node.js may come from elsewhere than Debian (with npm inside); Debian's npm would conflict.
    command -v npm >/dev/null || packages+=(nodejs npm)
    # The Windows build: mingw-w64 for 32-bit x86, and 32-bit Wine with its fonts to run it.
    dpkg --print-foreign-architectures | grep -qx i386 || need_root dpkg --add-architecture i386
    packages+=(g++-mingw-w64-i686 wine wine32:i386 fonts-wine)
    ;;
  *)
    echo "usage: $0 [console|window|test]" >&2
    exit 2
    ;;
esac
install_missing "${packages[@]}"
[ "$purpose" = test ] || exit 0

# Where 32-bit code cannot run, the Windows tests are built for x86_64 and run under wine64.
if [ "$("$root/scripts/windows-arch.sh")" != 32 ]; then
  install_missing g++-mingw-w64-x86-64-posix wine64
fi

# The Jet oracle tests' Node packages, at the versions their package-lock.json pins.
oracle_dir="$root/tests/jet/oracle"
locked_reader=$(node -p "require('$oracle_dir/package-lock.json').packages['node_modules/mdb-reader'].version")
installed_reader=$(node -p "try { require('$oracle_dir/node_modules/mdb-reader/package.json').version } catch { '' }")
if [ "$locked_reader" != "$installed_reader" ]; then
  echo "Installing the Node packages of $oracle_dir"
  npm ci --prefix "$oracle_dir" --no-audit --no-fund
fi
