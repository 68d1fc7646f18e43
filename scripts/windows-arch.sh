#!/usr/bin/env bash
# Prints which Wine runs the Windows tests here: 32 (Wine's 32-bit loader runs), 64 (it does
# not, as where the kernel's IA-32 emulation is off, but wine64 and the x86_64 mingw-w64
# compiler are present) or none. VINTREL_WINE64=1 passes over the 32-bit loader, to exercise
# the 64-bit path on any machine.
set -euo pipefail
# The loader is a 32-bit program: running it is the test of whether 32-bit code runs at all.
if [ -z "${VINTREL_WINE64:-}" ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo 32
elif /usr/lib/wine/wine64 --version >/dev/null 2>&1 && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo 64
else
  echo none
fi
