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

# A mirror can be caught mid-sync ("File has unexpected size"): the update is tried again,
# and lists it could not refresh are used as they are.
updated=
update_lists() {
  [ -z "$updated" ] || return 0
  updated=1
  local attempt
  for attempt in 1 2 3; do
    need_root apt-get update -qq && return 0
    echo "apt-get update failed (attempt $attempt of 3)" >&2
    sleep $((attempt * 10))
  done
  echo "Going on with the package lists as they are" >&2
}

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

install_missing() {
  local missing
  mapfile -t missing < <(missing_of "$@")
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  update_lists
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
      build-essential file lintian desktop-file-utils appstream clang libclang-rt-14-dev
      googletest libgtest-dev libgmock-dev
      mdbtools time
      xvfb xauth fonts-dejavu-core xdotool x11-utils imagemagick)
    # Node.js may come from elsewhere than Debian (with npm inside); Debian's npm would conflict.
    command -v npm >/dev/null || packages+=(nodejs npm)
    # The Windows build: mingw-w64 for 32-bit x86; 32-bit Wine to run it is installed below.
    packages+=(g++-mingw-w64-i686 fonts-wine)
    ;;
  *)
    echo "usage: $0 [console|window|test]" >&2
    exit 2
    ;;
esac
install_missing "${packages[@]}"
[ "$purpose" = test ] || exit 0

# 32-bit Wine runs the Windows tests. Where its i386 packages cannot be installed (a mirror
# whose i386 lists lag behind the amd64 ones) or 32-bit code cannot run, the tests are built
# for x86_64 and run under wine64 instead (scripts/windows-arch.sh tells which ran).
dpkg --print-foreign-architectures | grep -qx i386 || { need_root dpkg --add-architecture i386; updated=; }
install_missing wine
install_missing wine32:i386 || echo "32-bit Wine could not be installed; the Windows tests will run under wine64" >&2
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
