#!/usr/bin/env bash
# Builds Vintrel and runs every test suite: the main build, the sanitizer build of the engine's
# tests, and a bounded fuzzing run. Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh

cmake --preset default
cmake --build --preset default
ctest --preset default

# The Jet engine's tests under the address and undefined-behaviour sanitizers, then a
# bounded fuzzing run of its reader seeded with the fixture corpus.
cmake --preset sanitize && cmake --build --preset sanitize && ctest --preset sanitize
scripts/fuzz.sh 120

# The 32-bit Windows program and its tests, under Wine.
scripts/windows-test.sh
