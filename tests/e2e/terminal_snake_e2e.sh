#!/usr/bin/env bash
# The snake game in a real terminal: choice 1 shows the cover, 1 starts the game, the head
# moves right on its own, Escape ends the game and the launcher comes back; 0 then ends the
# program with exit code 0.
. "$(dirname "$0")/terminal_lib.sh"

# Display column of the first $2 in screen row $1 (0-based); CJK glyphs take two columns.
column_of() {
  local line prefix chars bytes
  line=$(screen | sed -n "$(($1 + 1))p")
  [[ $line == *"$2"* ]] || { echo -1; return; }
  prefix=${line%%"$2"*}
  chars=${#prefix}
  bytes=$(LC_ALL=C; echo ${#prefix})
  echo $((chars + (bytes - chars) / 2))
}

export LANG=C.UTF-8
start_shell
run_program --seed 1
steps - '1\.贪吃蛇' 5 "no menu" \
  '1 Enter' '长虫竞逐' 5 "no cover" \
  - '1\.开始游戏' 0 "no cover menu" \
  '1 Enter' '头' 5 "no snake"
screen | grep -q '   贪吃蛇游戏' || fail "no side text"
c1=$(column_of 14 头)
[ "$c1" -ge 6 ] || fail "head at column $c1"
sleep 1.3
c2=$(column_of 14 头)
[ "$c2" -gt "$c1" ] || fail "the head did not move right: $c1 -> $c2"
[ $(((c2 - c1) % 2)) -eq 0 ] || fail "the head left the even columns: $c2"

steps Escape '糟糕 T_T' 3 "Escape did not end the game" \
  - '哈哈，你输了' 4 "no result screen" \
  - '1\.贪吃蛇  2\.跑酷  3\.狼人杀' 5 "the launcher did not come back"
expect_frame
tm send-keys -t t "0" Enter
rc=$(wait_rc)
[ "$rc" = 0 ] || fail "exit code $rc"
expect_terminal_restored
echo PASS
