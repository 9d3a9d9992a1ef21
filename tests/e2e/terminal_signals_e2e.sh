#!/usr/bin/env bash
# Every way out restores the terminal: SIGTERM, Ctrl-C, SIGHUP, SIGQUIT end with 128 + the
# signal and the last screen still visible; Ctrl-S does not freeze; Ctrl-Z suspends with the
# terminal restored and fg redraws; a resize to a smaller terminal shows a notice and what
# fits, and back to full size redraws everything.
. "$(dirname "$0")/terminal_lib.sh"

start_program() {
  start_shell
  run_program
  wait_for '1\.贪吃蛇' || fail "no menu"
}

for sig in TERM HUP QUIT; do
  start_program
  pid=$(program_pid)
  [ -n "$pid" ] || fail "no program pid"
  kill -s "$sig" "$pid"
  rc=$(wait_rc)
  [ "$rc" = $((128 + $(kill -l "$sig"))) ] || fail "SIG$sig: exit code $rc"
  expect_terminal_restored
  expect_frame
done

start_program
tm send-keys -t t C-c
rc=$(wait_rc)
[ "$rc" = 130 ] || fail "Ctrl-C: exit code $rc"
expect_terminal_restored
expect_frame

# Ctrl-S, then a choice: with flow control on, output would stop and the program hang.
start_program
tm send-keys -t t C-s
tm send-keys -t t "0" Enter
rc=$(wait_rc)
[ "$rc" = 0 ] || fail "after Ctrl-S: exit code $rc"
expect_terminal_restored

# Ctrl-Z: the shell gets a sane terminal; fg brings the whole screen back.
start_program
steps 4 '^  \*  4' 5 "no echo" C-z 'Stopped' 5 "not suspended"
tm send-keys -t t "stty -g > $work/suspended" Enter
for ((k = 0; k < 100; k++)); do [ -s "$work/suspended" ] && break; sleep 0.05; done
cmp -s "$work/before" "$work/suspended" || fail "terminal not restored while suspended"
tm send-keys -t t "clear; fg" Enter
wait_for '1\.贪吃蛇' || fail "no redraw after fg"
sleep 0.2
expect_frame
screen | grep -q 'Stopped' && fail "the shell's lines are left after fg"
screen | grep -q '^  \*  4' || fail "the typed 4 is gone after fg"
tm send-keys -t t Enter
rc=$(wait_rc)
[ "$rc" = 0 ] || fail "after fg: exit code $rc"
expect_terminal_restored

# A resize: too small, then big enough again.
start_program
tm resize-window -t t -x 100 -y 24
wait_for 'Terminal too small: 120x30 needed, this one is 100x24' || fail "no notice"
s=$(screen)
[ "$(sed -n 3p <<<"$s")" = "  $(printf '%*s' 98 '' | tr ' ' '*')" ] || fail "what fits is not shown"
tm resize-window -t t -x 120 -y 40
sleep 0.3
screen | grep -q 'too small' && fail "notice left after growing"
expect_frame
tm send-keys -t t "0" Enter
rc=$(wait_rc)
[ "$rc" = 0 ] || fail "after resize: exit code $rc"
expect_terminal_restored
echo PASS
