#!/usr/bin/env bash
# What the terminal shows after the program, on every way out: the last screen stays, the
# shell's prompt starts at column 0 of the row below the lowest row the program wrote (or on
# the bottom row, after a line feed), in the terminal's default colours, and no "Terminal too
# small" notice is left behind.
. "$(dirname "$0")/terminal_lib.sh"
export LANG=C.UTF-8

# The shell's prompt "$ " alone on row $1, the cursor after it.
expect_prompt_at() {
  local k line
  for ((k = 0; k < 60; k++)); do
    [ "$(tm display -p -t t '#{cursor_x},#{cursor_y}')" = "2,$1" ] && break
    sleep 0.05
  done
  line=$(screen | sed -n "$(($1 + 1))p")
  [ "$line" = '$' ] || fail "$2: row $1 is '$line', not the prompt"
  [ "$(tm display -p -t t '#{cursor_x},#{cursor_y}')" = "2,$1" ] ||
    fail "$2: cursor at $(tm display -p -t t '#{cursor_x},#{cursor_y}'), not after the prompt on row $1"
  # The prompt in the default colours: no colour is set from its row on.
  screen_e | sed -n "$(($1 + 1)),\$p" | grep -qE $'\e\\[[0-9;]*(3[0-8]|4[0-8]|9[0-7]|10[0-7])m' &&
    fail "$2: colours set on or below the prompt's row: $(screen_e | sed -n "$(($1 + 1)),\$p" | cat -v | head -3)"
  return 0
}

start_in() {
  start_shell
  tm resize-window -t t -x "$1" -y "$2"
  tm send-keys -t t "clear" Enter
  sleep 0.2
  run_program --seed 1
  wait_for '1\.贪吃蛇' || fail "no menu in ${1}x$2"
}

# Choice 0 in a 120x40 terminal: "color 30" coloured all 30 rows of the console, so the
# prompt goes right under it, with the frame intact above.
start_in 120 40
tm send-keys -t t "0" Enter
[ "$(wait_rc)" = 0 ] || fail "choice 0: exit code"
expect_frame
expect_prompt_at 30 "choice 0"
expect_terminal_restored

# A terminal exactly the console's size: the prompt on the bottom row after a line feed, which
# scrolls the frame up by one.
start_in 120 30
tm send-keys -t t "0" Enter
[ "$(wait_rc)" = 0 ] || fail "120x30: exit code"
expect_prompt_at 29 "120x30"
[ "$(screen | sed -n 2p)" = "  $stars" ] || fail "120x30: the frame's top edge is not one row up"
[ "$(screen | sed -n 27p)" = "  $stars" ] || fail "120x30: the frame's bottom edge is not one row up"

# Ctrl-C in the parkour game: its 60x37 console, all coloured; the prompt under it, not
# where the hidden cursor stood in the field.
start_in 120 40
tm send-keys -t t "2" Enter
wait_for '=====================' 5 || fail "no parkour ground line"
sleep 0.5
tm send-keys -t t C-c
[ "$(wait_rc)" = 130 ] || fail "parkour Ctrl-C: exit code"
screen | sed -n 21p | grep -q '^============================================================$' ||
  fail "parkour Ctrl-C: the last screen's ground line is gone"
expect_prompt_at 37 "parkour Ctrl-C"
[ "$(tm display -p -t t '#{cursor_flag}')" = 1 ] || fail "parkour Ctrl-C: cursor hidden"

# SIGTERM and SIGHUP in the snake game: under its 120x30 console.
for sig in TERM HUP; do
  start_in 120 40
  steps '1 Enter' '长虫竞逐' 5 "no snake cover" '1 Enter' '头' 5 "no snake"
  kill -s "$sig" "$(program_pid)"
  [ "$(wait_rc)" = $((128 + $(kill -l "$sig"))) ] || fail "snake SIG$sig: exit code"
  screen | grep -q '   贪吃蛇游戏' || fail "snake SIG$sig: the last screen is gone"
  expect_prompt_at 30 "snake SIG$sig"
done

# Too small: the notice while the program runs, none after it. On the terminal's last row
# (100x24), that row shows what the console has there and the prompt follows a line feed.
start_in 100 24
wait_for 'Terminal too small: 120x30 needed, this one is 100x24' || fail "no notice at 100x24"
tm send-keys -t t "0" Enter
[ "$(wait_rc)" = 0 ] || fail "100x24: exit code"
screen | grep -q 'too small' && fail "100x24: the notice is left behind"
expect_prompt_at 23 "100x24"
# Below a narrower console (100x40): the notice's row is where the prompt goes.
start_in 100 40
wait_for 'Terminal too small: 120 columns needed, this one has 100\.' || fail "no notice at 100x40"
tm send-keys -t t "0" Enter
[ "$(wait_rc)" = 0 ] || fail "100x40: exit code"
screen | grep -q 'too small' && fail "100x40: the notice is left behind"
expect_prompt_at 30 "100x40"

# The end of input, in stream mode (input from a pipe, output the terminal): the text ends its
# last line, so the prompt starts on a line of its own.
start_shell
tm send-keys -t t "clear; printf '0\\n' | $bin; echo \$? > $work/rc; echo done > $work/after" Enter
[ "$(wait_rc)" = 0 ] || fail "stream mode: exit code"
row=$(tm display -p -t t '#{cursor_y}')
[ "$(screen | sed -n "${row}p" | tr -d '*')" = "" ] || fail "stream mode: the row above the prompt is not the frame's last"
expect_prompt_at "$row" "stream mode"
echo PASS
