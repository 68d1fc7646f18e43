#!/usr/bin/env bash
# Installs what building and testing Vintrel needs on Debian 12; installs only what is missing,
# so running it again is quick and harmless.
set -euo pipefail

need_root() { if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi; }

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  mdbtools time libxxhash-dev
  qt6-base-dev xvfb xauth fonts-dejavu-core xdotool x11-utils imagemagick
)
# Node.js may come from elsewhere than Debian (with npm inside); Debian's npm would conflict.
command -v npm >/dev/null || packages+=(nodejs npm)
# The Windows build: mingw-w64 for 32-bit x86, and 32-bit Wine with its fonts to run it.
dpkg --print-foreign-architectures | grep -qx i386 || need_root dpkg --add-architecture i386
packages+=(g++-mingw-w64-i686 wine wine32:i386 fonts-wine)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  need_root apt-get update -qq
  DEBIAN_FRONTEND=noninteractive need_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Jet oracle tests' Node packages, at the versions their package-lock.json pins.
oracle_dir="$(cd "$(dirname "$0")/.." && pwd)/tests/jet/oracle"
locked_reader=$(node -p "require('$oracle_dir/package-lock.json').packages['node_modules/mdb-reader'].version")
installed_reader=$(node -p "try { require('$oracle_dir/node_modules/mdb-reader/package.json').version } catch { '' }")
if [ "$locked_reader" != "$installed_reader" ]; then
  echo "Installing the Node packages of $oracle_dir"
  npm ci --prefix "$oracle_dir" --no-audit --no-fund
fi
