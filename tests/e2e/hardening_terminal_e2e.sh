#!/usr/bin/env bash
# The terminal comes back whatever ends the program, in every game: Ctrl-C, SIGTERM and SIGHUP
# leave the settings as they were (stty -g), the main screen and a visible cursor; a closed
# pane ends the program instead of leaving it spinning. A flood of thousands of keys and a storm
# of resizes neither crash a game nor garble its screen.
. "$(dirname "$0")/terminal_lib.sh"
export LANG=C.UTF-8

snake_board() {
  local s
  s=$(screen)
  [ "$(sed -n 3p <<<"$s" | cut -c1-83)" = "  $(printf '%*s' 81 '' | tr ' ' '*')" ] || return 1
  grep -q '   贪吃蛇游戏' <<<"$s" && grep -q '当前得分:' <<<"$s"
}

# Starts the program and goes into game $1; returns 1 when that game is not there to play.
enter() {
  start_shell
  run_program --seed 1
  wait_for '1\.贪吃蛇' || fail "no menu"
  case $1 in
    launcher) ;;
    snake)
      steps '1 Enter' '长虫竞逐' 5 "no snake cover" '1 Enter' '头' 5 "no snake"
      ;;
    killer)
      steps '3 Enter' '2\.查看游戏规则' 5 "no killer menu" \
        1 '15人场' 5 "no table choice" \
        1 '第1晚开始' 5 "no first night"
      ;;
    parkour)
      tm send-keys -t t "2" Enter
      local k
      for ((k = 0; k < 100; k++)); do
        screen | grep -q '=====================' && return 0
        [ -s "$work/after" ] && return 1  # the choice ended the program: no game yet
        sleep 0.05
      done
      fail "no parkour ground line"
      ;;
  esac
}

# After the program ended: exit code $1 expected, the terminal as it was, the main screen and a
# visible cursor.
expect_restored() {
  local rc
  rc=$(wait_rc)
  [ "$rc" = "$1" ] || fail "$2: exit code $rc, expected $1"
  expect_terminal_restored
  [ "$(tm display -p -t t '#{alternate_on},#{cursor_flag}')" = "0,1" ] ||
    fail "$2: alternate screen or hidden cursor left: $(tm display -p -t t '#{alternate_on},#{cursor_flag}')"
}

# Ends the running program the way $1 says and checks what is left.
end_by() {
  local how=$1 game=$2 pid k
  pid=$(program_pid)
  [ -n "$pid" ] || fail "$game: no program pid"
  case $how in
    C-c)
      tm send-keys -t t C-c
      expect_restored 130 "$game, Ctrl-C"
      ;;
    TERM | HUP)
      kill -s "$how" "$pid"
      expect_restored $((128 + $(kill -l "$how"))) "$game, SIG$how"
      ;;
    pane)
      # The pane goes, and the terminal with it: the program must end, not spin on a dead tty.
      tm kill-pane -t t
      for ((k = 0; k < 100; k++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
      done
      kill -0 "$pid" 2>/dev/null && fail "$game: still running 5 s after its pane was closed"
      ;;
  esac
  tried=$((tried + 1))
}

tried=0
for game in launcher snake killer parkour; do
  for how in C-c TERM HUP pane; do
    enter "$game" || fail "$game: the launcher's choice ended the program instead"
    sleep 0.3  # let the game run a little: a tick loop, a sleep, a wait for input
    end_by "$how" "$game"
  done
done

# A key flood in the snake game: thousands of keys that stop the snake. They are taken one a
# tick; none may show on the screen, and the board stays whole.
enter snake
tm send-keys -t t -l "$(printf 'x%.0s' {1..3000})"
sleep 1
snake_board || fail "snake board garbled by the key flood"
screen | grep -q 'xxx' && fail "flooded keys echoed on the snake board"
end_by C-c "snake after a key flood"

# A flood of answers in the killer game: every prompt gets seat 5 or the pause a key, and the
# game plays through to its end, which ends the program.
enter killer
tm send-keys -t t -l "$(printf '5\r%.0s' {1..1500})"
rc=$(wait_rc)
[ "$rc" = 0 ] || fail "killer game under a key flood: exit code $rc"
screen | grep -q '游戏结束' || fail "the flooded killer game did not end on the game-over line"
expect_terminal_restored

# A resize storm in the snake game; once the size is back, the whole board is there again.
enter snake
for ((k = 0; k < 60; k++)); do
  tm resize-window -t t -x $((60 + (k * 37) % 90)) -y $((15 + (k * 13) % 35))
done
tm resize-window -t t -x 120 -y 40
sleep 1
snake_board || fail "snake board not redrawn after a resize storm"
end_by C-c "snake after a resize storm"

# Thousands of arrow keys at once, held and repeated, then a resize storm: the game goes on
# and its ground line is where it was.
enter parkour || fail "parkour gone"
keys=()
for ((k = 0; k < 100; k++)); do keys+=(Up Left Right Down); done
for ((k = 0; k < 20; k++)); do tm send-keys -t t "${keys[@]}" || fail "send-keys"; done
sleep 1
kill -0 "$(program_pid)" 2>/dev/null || fail "parkour ended under a key flood"
for ((k = 0; k < 60; k++)); do
  tm resize-window -t t -x $((40 + (k * 37) % 90)) -y $((15 + (k * 13) % 35))
done
tm resize-window -t t -x 120 -y 40
sleep 1
screen | grep -q '=====================' || fail "parkour ground line gone after the resize storm"
end_by C-c "parkour after a key flood and a resize storm"
echo "signals and closings tried: $tried"
echo PASS
