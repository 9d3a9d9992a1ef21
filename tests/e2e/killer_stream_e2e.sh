#!/usr/bin/env bash
# A whole killer game in stream mode: choice 3, the menu keys 1 1, then the human (a civilian
# at seat 12 with seed 1) types two things that are no seat, votes for seat 2 on two days and
# for seat 3 on two more, with a key for each pause. The killer at seat 3 is voted out on the
# fourth day.
set -u
bin=$1
fail() { echo "FAIL: $*"; exit 1; }

out=$(printf '3\n110\nabc\n2\nx2\nx3\nx3\nx' | GAMEBOX_CLOCK=virtual "$bin" --seed 1)
rc=$?
[ $rc -eq 0 ] || fail "exit code $rc"
printf '%s' "$out" | grep -q '1.开始游戏' || fail "killer menu missing"
printf '%s' "$out" | grep -q '^                                你是12号$' || fail "seat line missing"
printf '%s' "$out" | grep -q '^                               你是>>平民<<$' || fail "role line missing"
[ "$(printf '%s' "$out" | grep -c '请输入1到15之间的号码')" -eq 2 ] || fail "bad seats not refused"
[ "$(printf '%s' "$out" | grep -c '你选择投几号')" -eq 4 ] || fail "expected four days"
expected=$(printf '%34s3死了\n%30s3号的身份是杀手\n\n\t\t\t\t\t\t\t   3号是杀手！\n\t\t\t\t\t\t杀手已死亡！\n%26s\t游戏结束' '' '' '')
[ "$(printf '%s' "$out" | tail -n 6)" = "$expected" ] || fail "unexpected end: $(printf '%s' "$out" | tail -n 6)"
echo PASS
