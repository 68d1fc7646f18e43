#!/usr/bin/env bash
# The window program on a real X display (Xvfb, xcb): started elsewhere with a directory of six
# fixture copies as its argument, "Сжать" clicked, the outcome observed (the databases
# compacted, or the "ОШИБКА" box), a screenshot taken, then "Выход" clicked and the program's
# exit with status 0 awaited. Started on a folder that is missing, or with a second argument, it
# shows the "ОШИБКА" box instead of the window and ends with status 2.
# Usage: window_on_xvfb.sh <vintrel> <fixtures folder> <screenshot.png>. Exit status 77: skipped.
set -euo pipefail
program=$(realpath "$1")
fixtures=$2
screenshot=$3
export LC_ALL=C.UTF-8

fail() { echo "FAIL: $*" >&2; exit 1; }
if [ ! -d "$fixtures/jet4" ]; then
  echo "SKIP: no fixture databases at $fixtures/jet4"
  exit 77
fi
for tool in Xvfb xdotool xprop import cmp; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

work=$(mktemp -d)
app=
xvfb=
cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

names=(lift log prof rang_lift rang_log rang_prof)
sources=(emptyV2000 delTestV2000 indexTestV2000 overflowTestV2000 compIndexTestV2000 emptyV2003)
mkdir "$work/dir" "$work/elsewhere"
for i in "${!names[@]}"; do
  cp "$fixtures/jet4/${sources[$i]}.mdb" "$work/dir/${names[$i]}.mdb"
  chmod u+w "$work/dir/${names[$i]}.mdb"
done

# Each step waits at most this many tenths of a second for what it expects.
within() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}
visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
exited() { ! kill -0 "$app" 2>/dev/null; }
# Waits for the program's end and checks its status: ended <status> <what ended it>.
ended() {
  within 100 exited || fail "the program did not end after $2"
  local status=0
  wait "$app" || status=$?
  app=
  [ "$status" = "$1" ] || fail "the program ended with status $status after $2, not $1"
}
# Every database replaced by a copy that differs from its source, and no scratch file left.
compacted() {
  for i in "${!names[@]}"; do
    [ ! -e "$work/dir/${names[$i]}1.mdb" ] || return 1
    ! cmp -s "$work/dir/${names[$i]}.mdb" "$fixtures/jet4/${sources[$i]}.mdb" || return 1
  done
}
click() {
  xdotool mousemove "$1" "$2"
  sleep 0.2
  xdotool click 1
}

# -noreset: the server resets when its last client leaves, and a program started meanwhile
# (the window after an error box) cannot connect.
Xvfb -displayfd 3 -screen 0 360x400x24 -dpi 96 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
within 100 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"

# A folder it cannot enter, or a second argument: the error box alone, then status 2.
refused() {
  (cd "$work/elsewhere" && exec "$program" "$@") &
  app=$!
  within 100 visible '^ОШИБКА$' || fail "no error box for the arguments $*"
  ! visible '^Vintrel$' || fail "the window opened for the arguments $*"
  xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^ОШИБКА$' | head -1)" key Return
  ended 2 "the error box for the arguments $*"
}
refused "$work/missing"
refused "$work/dir" extra

(cd "$work/elsewhere" && exec "$program" "$work/dir") &
app=$!
within 100 visible '^Vintrel$' || fail "the window did not appear"
window=$(xdotool search --onlyvisible --name '^Vintrel$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH" = 227 ] && [ "$HEIGHT" = 300 ] || fail "client area is ${WIDTH}x${HEIGHT}, not 227x300"

# What the window asks of a window manager: a fixed size, a close box and no minimise or
# maximise box (Motif hints: functions 0x08 and 0x10, decorations 0x20 and 0x40), the icon.
hints=$(xprop -id "$window" WM_NORMAL_HINTS)
grep -q "minimum size: 227 by 300" <<<"$hints" && grep -q "maximum size: 227 by 300" <<<"$hints" ||
  fail "the frame is not fixed at 227x300: $hints"
read -r _ functions decorations _ < <(xprop -id "$window" _MOTIF_WM_HINTS | sed 's/.*= //; s/,/ /g')
(( (functions & 0x20) && !(functions & 0x18) && !(decorations & 0x60) )) ||
  fail "frame functions $functions, decorations $decorations"
icons=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u | tr '\n' ' ')
[ "$icons" = "Icon (16 x 16) Icon (32 x 32) " ] || fail "window icon images: $icons"

# The centre of "Сжать" (13,17 100x33 at 96 dpi), then the outcome.
click $((X + 63)) $((Y + 33))
within 600 eval 'visible "^ОШИБКА$" || compacted' || fail "neither entries nor an error box after the click"
if visible '^ОШИБКА$'; then outcome="the ОШИБКА box"; else outcome="all six databases compacted"; fi
sleep 0.5
mkdir -p "$(dirname "$screenshot")"
import -window root -trim +repage "$screenshot"
echo "outcome: $outcome; screenshot: $screenshot"

if visible '^ОШИБКА$'; then
  box=$(xdotool search --onlyvisible --name '^ОШИБКА$' | head -1)
  xdotool windowfocus --sync "$box" key Return
  within 100 eval '! visible "^ОШИБКА$"' || fail "the error box did not close on Enter"
  visible '^Vintrel$' || fail "the window closed with the error box"
fi

# The centre of "Выход" (13,250 100x33 at 96 dpi).
click $((X + 63)) $((Y + 266))
ended 0 "a click on Выход"
echo "PASS"
