#!/usr/bin/env bash
# The snake game in stream mode with instant sleeps: from the launcher to the result screen and
# back, and the cover's rules and quit entries.
set -u
bin=$1
fail() { echo "FAIL: $*"; exit 1; }
export GAMEBOX_CLOCK=virtual
count() { printf '%s' "$1" | grep -o -- "$2" | wc -l; }

# No keys: the snake runs right into the frame.
out=$(printf '1\n1\n' | "$bin") || fail "run into the frame: exit code $?"
for text in '长虫竞逐' '当前速度:100' '糟糕 T_T' '哈哈，你输了' '你的最终得分是：'; do
  printf '%s' "$out" | grep -q -- "$text" || fail "run into the frame: '$text' missing"
done
[ "$(count "$out" '1.贪吃蛇  2.跑酷')" -eq 2 ] || fail "the launcher was not drawn again"

# Escape at once: lost with nothing eaten.
out=$(printf '1\n1\n\033' | "$bin") || fail "escape: exit code $?"
printf '%s' "$out" | grep -q '你的最终得分是：0' || fail "escape: score line missing"

# The rules screen, any key back to the cover, then quit.
out=$(printf '1\n2\nk3\n' | "$bin") || fail "rules and quit: exit code $?"
printf '%s' "$out" | grep -q '4、ESC：自爆，游戏结束' || fail "rules text missing"
[ "$(count "$out" '1.开始游戏')" -eq 2 ] || fail "the cover was not drawn again after the rules"
[ "$(count "$out" '1.贪吃蛇  2.跑酷')" -eq 1 ] || fail "quit must end the program"
printf '%s' "$out" | grep -q '糟糕' && fail "quit must not play a game"
echo PASS
