#!/usr/bin/env bash
# Builds the 32-bit Windows program and its tests with mingw-w64 (preset mingw-i686) and runs
# them under Wine on an Xvfb display: the pass's tests, the COM platform, the window, and
# vintrel.exe itself, whose window is photographed (build/windows-wine.png) and then closed.
# Every step that runs Windows code is bounded in time. Needs scripts/install-deps.sh first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# Everything below runs on a display of its own, of a known size.
if [ -z "${VINTREL_UNDER_XVFB:-}" ]; then
  exec env VINTREL_UNDER_XVFB=1 timeout 1200 xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

build="$root/build/mingw-i686"
export WINEPREFIX="$root/build/wine-prefix"
export WINEARCH=win32
export WINEDEBUG=-all
# No offers to install Mono or Gecko: neither is needed.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  timeout 300 wineboot -i
  # With no window manager on the display, Wine draws the window frames itself; the caption
  # buttons need its Marlett font in the prefix.
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  timeout 60 wineserver -w
fi
# One wineserver and one set of Wine's system processes for the whole run, instead of one per
# test program. They are started here with their output away from any pipe: a system process
# started by a test program would keep its output open, and CMake and ctest wait for that.
wineserver -p
timeout 60 wine cmd /c exit >/dev/null 2>&1
trap 'wineserver -k || true' EXIT

cmake --preset mingw-i686
cmake --build "$build" -j2

exe="$build/src/app/vintrel.exe"
echo "Imports of vintrel.exe:"
i686-w64-mingw32-objdump -p "$exe" | grep 'DLL Name' | tee "$build/vintrel-imports.txt"
if grep -qiE 'libstdc|libgcc|libwinpthread' "$build/vintrel-imports.txt"; then
  echo "vintrel.exe imports a runtime DLL; it must link the runtimes statically" >&2
  exit 1
fi

# Serially: the window tests share one desktop.
ctest --test-dir "$build" --output-on-failure --timeout 120

# The program in an empty directory, so that nothing could be compacted even by a stray click.
run_dir=$(mktemp -d)
(cd "$run_dir" && exec timeout 120 wine "$exe") &
program=$!
driver="$build/tests/windows/window_driver.exe"
timeout 60 wine "$driver" wait Vintrel
sleep 2
import -window root -crop 240x330+0+0 "$root/build/windows-wine.png"
timeout 60 wine "$driver" close Vintrel
for _ in $(seq 1 300); do
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
  echo "vintrel.exe did not end after its window was closed" >&2
  kill "$program"
  exit 1
fi
wait "$program"
rm -rf "$run_dir"
echo "Windows tests passed; screenshot in build/windows-wine.png"
