#!/usr/bin/env bash
# Builds the 32-bit Windows programs (preset mingw-i686) and checks their format and imports,
# then runs the Windows tests under Wine on an Xvfb display: the pass's tests, the COM platform,
# the engine's own tests, the window, a whole pass of vintrel-console.exe checked from Linux,
# and vintrel.exe itself, whose window is photographed (build/windows-wine.png) and then
# closed. Where 32-bit code cannot run (scripts/windows-arch.sh; VINTREL_WINE64=1 forces
# this), the same tests and program are built for x86_64 (preset mingw-x86_64) and run under
# wine64; with neither Wine, only the static checks are made. Every step that runs Windows
# code is bounded in time. Needs scripts/install-deps.sh first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

arch=$(scripts/windows-arch.sh)

# Everything below runs on a display of its own, of a known size.
if [ "$arch" != none ] && [ -z "${VINTREL_UNDER_XVFB:-}" ]; then
  exec env VINTREL_UNDER_XVFB=1 timeout 1200 xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

# A program built to ship: a PE file for the machine given, importing no runtime DLL.
check_program() {
  local exe=$1 target=$2 format=$3
  echo "Imports of $exe:"
  "$target-objdump" -p "$exe" | grep 'DLL Name' | tee "$exe.imports.txt"
  if grep -qiE 'libstdc|libgcc|libwinpthread' "$exe.imports.txt"; then
    echo "$exe imports a runtime DLL; it must link the runtimes statically" >&2
    exit 1
  fi
  if ! "$target-objdump" -f "$exe" | grep -q "file format $format\$"; then
    echo "$exe is not in the format $format" >&2
    exit 1
  fi
}

# Where the 32-bit tests do not run, the program is still built and checked.
if [ "$arch" != 32 ]; then
  cmake --preset mingw-i686
  cmake --build build/mingw-i686 -j2 --target vintrel vintrel-console
  check_program build/mingw-i686/src/app/vintrel.exe i686-w64-mingw32 pei-i386
  check_program build/mingw-i686/src/app/vintrel-console.exe i686-w64-mingw32 pei-i386
fi

case "$arch" in
  32)
    echo "Running the Windows tests built for 32-bit x86 under Wine's 32-bit loader"
    preset=mingw-i686 wine=/usr/lib/wine/wine
    export WINEARCH=win32 WINEPREFIX="$root/build/wine-prefix"
    ;;
  64)
    echo "32-bit code does not run here${VINTREL_WINE64:+ (VINTREL_WINE64 is set)}:" \
      "running the Windows tests built for x86_64 under wine64"
    preset=mingw-x86_64 wine=/usr/lib/wine/wine64
    export WINEARCH=win64 WINEPREFIX="$root/build/wine-prefix-64"
    ;;
  *)
    echo "SKIPPED: neither Wine's 32-bit loader nor wine64 with the x86_64 mingw-w64 compiler" \
      "runs here, so the Windows tests do not run; only the 32-bit program was built and checked"
    exit 0
    ;;
esac
build="$root/build/$preset"
# Beside the loader; only Debian's wine package puts it on the PATH too.
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
export WINEDEBUG=-all
# No offers to install Mono or Gecko: neither is needed.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  timeout 300 "$wine" wineboot -i
  # With no window manager on the display, Wine draws the window frames itself; the caption
  # buttons need its Marlett font in the prefix.
  timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  timeout 60 "$wineserver" -w
fi
# One wineserver and one set of Wine's system processes for the whole run, instead of one per
# test program. They are started here with their output away from any pipe: a system process
# started by a test program would keep its output open, and CMake and ctest wait for that.
"$wineserver" -p
timeout 60 "$wine" cmd /c exit >/dev/null 2>&1
trap '"$wineserver" -k || true' EXIT

# Built with the Wine session running: the build lists each test program's tests under Wine.
cmake --preset "$preset"
cmake --build "$build" -j2
exe="$build/src/app/vintrel.exe"
for program in "$exe" "$build/src/app/vintrel-console.exe"; do
  if [ "$arch" = 32 ]; then
    check_program "$program" i686-w64-mingw32 pei-i386
  else
    check_program "$program" x86_64-w64-mingw32 pei-x86-64
  fi
done

# Serially: the window tests share one desktop.
ctest --test-dir "$build" --output-on-failure --timeout 120

# The whole pass by vintrel-console.exe, over copies of a Jet 4 and a Jet 3 fixture and
# generated/frag-small in a folder with a Cyrillic name, checked from Linux: each copy is Jet 4,
# our checker finds it sound, and mdb-reader and mdbtools read from it what they read from its
# source (compare_copy.mjs). Then a database that another Windows program holds open as a Jet
# client does (tests/windows/hold_open.cc), or whose lock file it holds, is refused and kept,
# and that program's later write is in it.
fixtures="$root/../shared/fixtures"
if [ -f "$fixtures/jet4/testV2000.mdb" ] && [ -f "$fixtures/jet3/testV1997.mdb" ] &&
   [ -f "$fixtures/generated/frag-small.mdb.gz" ]; then
  cmake --preset default >/dev/null
  cmake --build build/default -j2 --target vintrel-jet-check
  export LANG=C.UTF-8
  console="$build/src/app/vintrel-console.exe"
  pass_dir=$(mktemp -d)
  sources="$pass_dir/sources" databases="$pass_dir/Базы данных"
  mkdir "$sources" "$databases"
  cp "$fixtures/jet4/testV2000.mdb" "$sources/lift.mdb"
  cp "$fixtures/jet3/testV1997.mdb" "$sources/log.mdb"
  gunzip -c "$fixtures/generated/frag-small.mdb.gz" > "$sources/prof.mdb"
  cp "$sources"/*.mdb "$databases/"
  chmod u+w "$databases"/*.mdb
  (cd "$databases" && timeout 300 "$wine" "$console" > "$pass_dir/log.txt")
  printf '%s\r\n' "lift.mdb ok" "log.mdb ok" "prof.mdb ok" "rang_lift.mdb not found" "rang_log.mdb not found" \
    "rang_prof.mdb not found" | cmp - "$pass_dir/log.txt"
  for name in lift log prof; do
    copy="$databases/$name.mdb"
    [ "$(od -An -tx1 -j20 -N1 "$copy" | tr -d ' ')" = 01 ] || { echo "$copy is not a Jet 4 database" >&2; exit 1; }
    build/default/tools/jet/vintrel-jet-check "$copy"
    TZ=UTC node tests/jet/compact/compare_copy.mjs "$sources/$name.mdb" "$copy"
  done

  windows_folder="Z:${databases//\//\\}"
  for held in lift.mdb lift.ldb; do
    cp "$sources/lift.mdb" "$databases/lift.mdb"
    chmod u+w "$databases/lift.mdb"
    : > "$databases/lift.ldb"
    coproc holder { cd "$databases" && exec timeout 120 "$wine" "$build/tests/windows/hold_open.exe" "$held"; }
    read -r -t 60 ready <&"${holder[0]}"
    ready=${ready%$'\r'}
    [ "$ready" = held ] || { echo "hold_open did not hold $held" >&2; exit 1; }
    status=0
    (cd "$databases" && timeout 120 "$wine" "$console" > /dev/null 2> "$pass_dir/errors.txt") || status=$?
    echo "Could not use '$windows_folder\\lift.mdb'; file already in use." | cmp - <(tr -d '\r' < "$pass_dir/errors.txt")
    [ "$status" = 1 ] || { echo "vintrel-console.exe ended with $status beside a held $held" >&2; exit 1; }
    cmp "$sources/lift.mdb" "$databases/lift.mdb"
    echo >&"${holder[1]}"
    wait "$holder_PID"
    [ "$(tail -c 11 "$databases/$held")" = "later write" ] || { echo "the later write is not in $held" >&2; exit 1; }
    rm "$databases/lift.ldb"
  done
  # A lock file that nobody has open is a crash's left-over and stops nothing.
  : > "$databases/lift.ldb"
  (cd "$databases" && timeout 120 "$wine" "$console" > "$pass_dir/log.txt")
  [ "$(head -1 "$pass_dir/log.txt")" = $'lift.mdb ok\r' ] || { echo "a lone lock file stopped the pass" >&2; exit 1; }
  rm -rf "$pass_dir"
  echo "vintrel-console.exe compacted a Jet 4, a Jet 3 and a fragmented database and refused held ones"
else
  echo "SKIPPED: the fixtures under $fixtures are absent, so vintrel-console.exe's pass was not run"
fi

# The program in an empty directory, so that nothing could be compacted even by a stray click.
run_dir=$(mktemp -d)
(cd "$run_dir" && exec timeout 120 "$wine" "$exe") &
program=$!
driver="$build/tests/windows/window_driver.exe"
timeout 60 "$wine" "$driver" wait Vintrel
sleep 2
import -window root -crop 240x330+0+0 "$root/build/windows-wine.png"
timeout 60 "$wine" "$driver" close Vintrel
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
echo "Windows tests ($preset under $(basename "$wine")) passed; screenshot in build/windows-wine.png"
