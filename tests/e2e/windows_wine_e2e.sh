#!/usr/bin/env bash
# The Windows build under wine. In stream mode (pipes) it must print byte for byte what the
# Linux build prints for the same seeded input. In a tmux pane: the launcher's frame and menu in
# their colours, choice 1 to the snake cover, a game steered with an arrow key and ended with
# Escape, back to the launcher and out with exit code 0; then Ctrl-C at the launcher.
#
# $1 is the Linux binary; the .exe is build-win/gamebox.exe beside this script's checkout, or
# $GAMEBOX_EXE. Wine here draws Chinese glyphs one cell wide, drops a lone Escape,
# reports no key state and loses the background after foreground 7: the checks match text, not
# columns, send Escape twice, and look only at colours that wine draws right.
# Where it cannot run (no cross compiler, no wine, no tmux, no exe) it exits 77: skipped.
set -u
bin=${1:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=${GAMEBOX_EXE:-$root/build-win/gamebox.exe}

command -v x86_64-w64-mingw32-g++-posix >/dev/null || {
  echo "SKIP: no mingw-w64 cross compiler (apt-get install g++-mingw-w64-x86-64)"
  exit 77
}
command -v wine >/dev/null || {
  echo "SKIP: wine is not installed (apt-get install wine wine64)"
  exit 77
}
command -v tmux >/dev/null || {
  echo "SKIP: tmux is not installed"
  exit 77
}
[ -f "$exe" ] || {
  echo "SKIP: $exe not built (make windows)"
  exit 77
}
if [ -n "$(find "$root/src" -newer "$exe" -name '*.[ch]pp' -print -quit)" ]; then
  echo "note: $exe is older than the sources (make windows rebuilds it)"
fi

own_prefix=0
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=$root/build-win/wineprefix
  own_prefix=1
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine converts console text with the locale's character set: UTF-8 whatever the caller has.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
work=$(mktemp -d)
T="tmux -L gamebox-wine-$$"
pane_pid=

stop() {
  # Our pane's processes only, then the wine server of our own prefix.
  [ -n "$pane_pid" ] && pkill -KILL -P "$pane_pid" 2>/dev/null
  $T kill-server 2>/dev/null
  [ "$own_prefix" = 1 ] && wineserver -k 2>/dev/null
  rm -rf "$work"
}
fail() {
  echo "FAIL: $*"
  $T capture-pane -p -t s 2>/dev/null
  stop
  exit 1
}
screen() { $T capture-pane -p -t s; }
shows() { screen | grep -qE -- "$1"; }
# Runs a command until it succeeds, for at most $1 seconds (0: once).
within() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.2
  done
}
# A run as steps of four words: the keys to send (send-keys words, - for none); the pattern
# the screen must then show, or "exit N": the program ends with code N, the cursor visible;
# within how many seconds (0: at once); and what failed if not.
steps() {
  while (($# >= 4)); do
    [ "$1" = - ] || $T send-keys -t s $1
    if [[ $2 == exit\ * ]]; then
      within "$3" test -s "$work/rc" || fail "$4: the program did not end"
      [ "$(cat "$work/rc")" = "${2#exit }" ] || fail "$4: exit code $(cat "$work/rc")"
      [ "$($T display -p -t s '#{cursor_flag}')" = 1 ] || fail "$4: the cursor is not visible"
    else
      within "$3" shows "$2" || fail "$4"
    fi
    shift 4
  done
}
start() {
  rm -f "$work/rc"
  $T new-session -d -s s -x 120 -y 30 "wine '$exe'; echo \$? > '$work/rc'; sleep 600" ||
    fail "tmux did not start"
  pane_pid=$($T display -p -t s '#{pane_pid}')
}

if [ ! -d "$WINEPREFIX" ]; then
  timeout 180 wineboot -i >/dev/null 2>&1 || fail "wineboot could not create $WINEPREFIX"
fi

# --- Stream mode: the same text as the Linux build, for a whole seeded killer game and the
# snake cover's rules. ---
if [ -x "$bin" ]; then
  for input in '3\n110\nabc\n2\nx2\nx3\nx3\nx' '1\n2\nk3\n'; do
    printf "$input" | GAMEBOX_CLOCK=virtual "$bin" --seed 1 >"$work/linux.txt"
    printf "$input" | GAMEBOX_CLOCK=virtual wine "$exe" --seed 1 >"$work/win.txt"
    rc=$?
    [ $rc = 0 ] || fail "stream mode, input '$input': exit code $rc"
    [ -s "$work/win.txt" ] || fail "stream mode, input '$input': no output"
    cmp -s "$work/linux.txt" "$work/win.txt" ||
      fail "stream mode, input '$input': output differs from the Linux build's
$(diff "$work/linux.txt" "$work/win.txt" | head -20)"
  done
  # A run recorded by the Windows build replays in the Linux build to the same text.
  printf '3\n110\nabc\n2\nx2\nx3' | GAMEBOX_CLOCK=virtual wine "$exe" --seed 1 \
    --record "$work/win.rec" >"$work/win.txt" || fail "stream mode with --record: exit code $?"
  "$bin" --replay "$work/win.rec" </dev/null >"$work/linux.txt" ||
    fail "the Windows build's recording does not replay here: exit code $?"
  cmp -s "$work/linux.txt" "$work/win.txt" || fail "the Windows build's recording replays otherwise"
fi

# --- A whole round: launcher, snake cover, a short game, back, out. ---
start
steps - '3\.狼人杀' 60 "the launcher's menu did not appear" \
  - '1\.贪吃蛇  2\.跑酷  3\.狼人杀' 0 "menu line"
[ "$(screen | grep -cE '^  \*{100,}')" -ge 2 ] || fail "the frame's top and bottom edges"
[ "$(screen | grep -cE '^  \* .* \*$')" -ge 20 ] || fail "the frame's side edges"
# "color 30": black on aqua everywhere.
$T capture-pane -p -e -t s | grep -q $'\e\\[30m\e\\[46m' || fail "launcher not black on aqua"

steps '1 Enter' '长虫竞逐' 10 "choice 1 did not reach the snake cover" \
  - '输入数字做出你的选择' 5 "the cover's prompt" \
  - '1\.开始游戏' 0 "the cover's menu"
# The title in light aqua (0x0B).
$T capture-pane -p -e -t s | grep -q $'\e\\[96m[^\e]*\e\\[40m长虫竞逐\|\e\\[96m长虫竞逐' ||
  fail "the cover's title is not light aqua"

steps '1 Enter' '头' 10 "the game did not start"
row0=$(screen | grep -n '头' | head -1 | cut -d: -f1)
sleep 0.5
$T send-keys -t s Down
# The head turns down: it shows on a lower row within a few ticks.
lower() { local r; r=$(screen | grep -n '头' | tail -1 | cut -d: -f1); ((${r:-0} > row0)); }
within 6 lower || fail "the down arrow did not turn the snake"

steps '-H 1b 1b' '你的最终得分是' 10 "Escape did not end the game" \
  - '3\.狼人杀' 10 "the launcher did not come back" \
  '9 Enter' 'exit 0' 15 "choice 9"
$T kill-server 2>/dev/null
sleep 0.3

# --- Ctrl-C at the launcher: the program ends as Windows programs do on Ctrl-C
# (STATUS_CONTROL_C_EXIT, whose low byte wine passes on: 58). ---
start
steps - '3\.狼人杀' 30 "second run: the launcher's menu did not appear"
sleep 0.3
steps C-c 'exit 58' 10 "Ctrl-C"

stop
echo PASS
