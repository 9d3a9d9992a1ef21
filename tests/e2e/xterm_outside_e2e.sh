#!/usr/bin/env bash
# The area outside the console in a real terminal: xterm under Xvfb, 120x40, white on its own
# default background, so the terminal's default colours and the console's explicit black tell
# apart on a screenshot. Below the 120x30 console of the snake game's rules screen, and around
# the parkour game's 60x37 one, the terminal keeps its default background whatever "color",
# "cls" and "mode con" did; inside, the console shows its own colours.
#
# Needs Xvfb, xterm, xdotool and ImageMagick (exit 77, skipped, without them). The X display is
# $GAMEBOX_XVFB_DISPLAY (for example :71) or, unset, the first free one Xvfb finds.
set -u
bin=$(readlink -f "$1")
for tool in Xvfb xterm xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done
work=$(mktemp -d)
xvfb_pid= xterm_pid=
cleanup() {
  [ -n "$xterm_pid" ] && kill "$xterm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/shot.png" ] && cp "$work/shot.png" "${TMPDIR:-/tmp}/gamebox_xterm_fail.png" &&
    echo "screenshot: ${TMPDIR:-/tmp}/gamebox_xterm_fail.png"
  exit 1
}

if [ -n "${GAMEBOX_XVFB_DISPLAY:-}" ]; then
  display=$GAMEBOX_XVFB_DISPLAY
  Xvfb "$display" -screen 0 1800x1000x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
else
  Xvfb -displayfd 3 -screen 0 1800x1000x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for ((k = 0; k < 100; k++)); do [ -s "$work/display" ] && break; sleep 0.05; done
  display=:$(cat "$work/display" 2>/dev/null)
fi
export DISPLAY=$display
for ((k = 0; k < 100; k++)); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.05; done
xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start on $display: $(cat "$work/xvfb.log")"

LANG=C.UTF-8 xterm -geometry 120x40+0+0 -fa Monospace -fs 9 -bg white -fg black -b 0 \
  -xrm 'XTerm*cursorBlink: false' -e bash -c "'$bin' --seed 1; exec sleep 60" >"$work/xterm.log" 2>&1 &
xterm_pid=$!
win=
for ((k = 0; k < 100; k++)); do
  win=$(xdotool search --pid "$xterm_pid" 2>/dev/null | head -1)
  [ -n "$win" ] && break
  sleep 0.05
done
[ -n "$win" ] || fail "no xterm window"
sleep 1.5  # the program's start-up probe and first frame
read -r ww wh < <(xdotool getwindowgeometry "$win" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\)/\1 \2/p')
cw=$((ww / 120)) ch=$((wh / 40))

# Typed as a keyboard would (XTEST), into the window under the pointer: xterm ignores keys
# that other programs send it.
xdotool mousemove 200 200
type_keys() {
  xdotool windowfocus --sync "$win" type --delay 50 "$1"
  sleep 1
}
shoot() { import -window "$win" "$work/shot.png" || fail "no screenshot"; }
# The colour at the middle of cell (column $1, row $2): r,g,b from 0 to 255.
colour_at() {
  convert "$work/shot.png" -format \
    "%[fx:int(255*p{$(($1 * cw + cw / 2)),$(($2 * ch + ch / 2))}.r+0.5)],%[fx:int(255*p{$(($1 * cw + cw / 2)),$(($2 * ch + ch / 2))}.g+0.5)],%[fx:int(255*p{$(($1 * cw + cw / 2)),$(($2 * ch + ch / 2))}.b+0.5)]" info:
}
expect_colour() {
  local got
  got=$(colour_at "$1" "$2")
  [ "$got" = "$3" ] || fail "$4: cell ($1, $2) is $got, expected $3"
}
white=255,255,255 black=0,0,0

# The snake game's cover ("color 80", grey), then its rules screen ("cls" in black on black).
type_keys $'1\r'
shoot
expect_colour 60 29 127,127,127 "the snake cover"
expect_colour 60 30 $white "below the snake cover"
type_keys $'2\r'
shoot
expect_colour 100 28 $black "the rules screen"
for row in 30 35 39; do expect_colour 60 $row $white "below the rules screen"; done

# Back to the cover, a game ended at once with Escape, and the launcher again ("color 10",
# then "color 30" around the choice).
type_keys 'k'
type_keys $'1\r'
xdotool key --delay 100 Escape
sleep 3.5  # the result screens
shoot
expect_colour 1 29 0,205,205 "the launcher"
expect_colour 60 30 $white "below the launcher"
type_keys $'2\r'
shoot
# Inside, the field's own background: the launcher's aqua from the game's first "cls", black
# from the first "cls" of its ticks on.
inside=$(colour_at 30 30)
[ "$inside" = 0,205,205 ] || [ "$inside" = $black ] || fail "the parkour field: cell (30, 30) is $inside"
for cell in "60 0" "90 10" "119 36" "30 37" "100 39"; do
  expect_colour $cell $white "around the parkour field"
done
echo PASS
