#!/usr/bin/env bash
# Builds Vintrel and runs every test suite: the main build, the sanitizer build of the engine's
# tests, a bounded fuzzing run, the Debian package, and the Windows program under Wine.
# Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh test

cmake --preset default
cmake --build --preset default
ctest --preset default

# The Jet engine's tests under the address and undefined-behaviour sanitizers, then a
# bounded fuzzing run of its reader seeded with the fixture corpus.
cmake --preset sanitize && cmake --build --preset sanitize && ctest --preset sanitize
scripts/fuzz.sh 120

# The release build, packaged, installed and removed again.
scripts/package-test.sh

# The Windows program and its tests, under Wine: 32-bit where it runs, x86_64 where not.
scripts/windows-test.sh
