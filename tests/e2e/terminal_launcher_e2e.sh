#!/usr/bin/env bash
# The launcher in a real terminal: its frame and colours where they belong, choice 0 ends the
# program with exit code 0, the last screen stays and the terminal settings are as before.
. "$(dirname "$0")/terminal_lib.sh"

start_shell
tm send-keys -t t "echo earlier-output" Enter
run_program
wait_for '1\.贪吃蛇  2\.跑酷  3\.狼人杀' || fail "no menu"
expect_frame
s=$(screen)
[ "$(sed -n 4p <<<"$s")" = "  *  1.贪吃蛇  2.跑酷  3.狼人杀$(printf '%87s' '')*" ] || fail "menu line"
grep -q earlier-output <<<"$s" && fail "the shell's screen was not cleared"

# Colours: black on aqua ("color 30") everywhere, as explicit SGR 30 / 46; no other background.
e=$(screen_e)
top=$(sed -n 3p <<<"$e")
grep -q $'\e\\[[0-9;]*46m' <<<"$top" || fail "top edge is not on aqua: $top"
grep -q $'\e\\[[0-9;]*30m\\*' <<<"$top" || fail "stars are not black: $top"
others=$(grep -oE $'\e\\[[0-9;]*m' <<<"$e" | grep -E '(\[|;)(4[0-57-9]|10[0-7])(;|m)' | head -1)
[ -z "$others" ] || fail "a background other than aqua: $others"

# The cursor waits at (5, 5), visible.
[ "$(tm display -p -t t '#{cursor_x},#{cursor_y},#{cursor_flag}')" = "5,5,1" ] || fail "cursor"

tm send-keys -t t "0" Enter
rc=$(wait_rc)
[ "$rc" = 0 ] || fail "exit code $rc"
expect_terminal_restored
expect_frame  # still on screen after the end
echo PASS
