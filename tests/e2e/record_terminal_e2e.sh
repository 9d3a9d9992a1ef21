#!/usr/bin/env bash
# --record and --replay in a real terminal (tmux): a snake game played with arrow keys and a
# parkour game stopped with Ctrl-C are recorded; each replays in the terminal (at --speed 3,
# while keys are typed that must not reach the game) to the very screen the recorded run left,
# and headless in stream mode without a divergence. q stops watching, space pauses, Ctrl-C
# ends a replay with 130; a refused and a diverging file leave the terminal as it was.
. "$(dirname "$0")/terminal_lib.sh"
export LANG=C.UTF-8

# start_shell empties $work; the recordings live apart.
files=$(mktemp -d)
trap 'cleanup; rm -rf "$files"' EXIT

# The pane once the program has ended: the game's last screen, the shell's prompt under it.
final_screen() { screen | sed -n 1,38p; }

start_shell
run_program --seed 2 --record "$files/snake.rec"
steps - '1\.贪吃蛇' 5 "no menu" '1 Enter' '长虫竞逐' 5 "no cover" '1 Enter' '头' 5 "no snake"
for key in Down Right Up Right Down; do
  sleep 0.6
  tm send-keys -t t $key
done
sleep 0.5
steps Escape '1\.贪吃蛇  2\.跑酷  3\.狼人杀' 10 "the launcher did not come back"
tm send-keys -t t "0" Enter
rc=$(wait_rc)
[ "$rc" = 0 ] || fail "recording: exit code $rc"
expect_terminal_restored
final_screen >"$files/snake.screen"
cp "$files/snake.rec" "$files/keep.rec"
grep -qx 'backend terminal' "$files/keep.rec" || fail "the backend is not named terminal"
grep -qx 'size 120 40' "$files/keep.rec" || fail "the terminal's size is not kept"
grep -qx 'keyboard inferred' "$files/keep.rec" || fail "tmux's keys are not called inferred"
grep -q '^k [0-9]* [0-9]* down$' "$files/keep.rec" || fail "the arrow ↓ is not recorded"

# Watched in the terminal, with keys typed while it plays: the same last screen.
start_shell
run_program --replay "$files/keep.rec" --speed 3
for k in 1 2 3; do
  sleep 0.4
  tm send-keys -t t Left w 2 Enter
done
rc=$(wait_rc)
[ "$rc" = 0 ] || fail "replay: exit code $rc"
expect_terminal_restored
final_screen >"$files/snake.replayed"
diff "$files/snake.screen" "$files/snake.replayed" >"$files/diff" ||
  fail "the replay's last screen differs: $(cat "$files/diff")"
# And headless, in stream mode.
"$bin" --replay "$files/keep.rec" </dev/null >"$files/out" 2>"$files/err" ||
  fail "stream replay: exit code $? ($(cat "$files/err"))"

# A parkour game, paused with space and ended with Ctrl-C.
start_shell
run_program --seed 4 --record "$files/parkour.rec"
steps - '1\.贪吃蛇' 5 "no menu" '2 Enter' '=====' 5 "no parkour field"
for k in 1 2 3 4; do
  sleep 0.4
  tm send-keys -t t Up
  sleep 0.3
  tm send-keys -t t Right Right Right
done
tm send-keys -t t Space
sleep 0.5
tm send-keys -t t C-c
rc=$(wait_rc)
[ "$rc" = 130 ] || fail "parkour recording: exit code $rc"
final_screen >"$files/parkour.screen"
tail -2 "$files/parkour.rec" | head -1 | grep -q '^exit [0-9]* [0-9]* 130$' ||
  fail "Ctrl-C is not recorded: $(tail -2 "$files/parkour.rec")"
start_shell
run_program --replay "$files/parkour.rec" --speed 2
rc=$(wait_rc)
[ "$rc" = 0 ] || fail "parkour replay: exit code $rc"
final_screen >"$files/parkour.replayed"
diff "$files/parkour.screen" "$files/parkour.replayed" >"$files/diff" ||
  fail "the parkour replay's last screen differs: $(cat "$files/diff")"

# q stops watching at once; space holds the replay where it is until space again.
start_shell
run_program --replay "$files/keep.rec"
wait_for '头' 8 || fail "the replay did not reach the game"
tm send-keys -t t Space
sleep 0.3
held=$(screen)
sleep 2
[ "$(screen)" = "$held" ] || fail "space did not pause the replay"
tm send-keys -t t Space
sleep 0.8
[ "$(screen)" != "$held" ] || fail "space did not resume the replay"
tm send-keys -t t q
rc=$(wait_rc)
[ "$rc" = 0 ] || fail "q: exit code $rc"
expect_terminal_restored
start_shell
run_program --replay "$files/keep.rec"
# The game, which the recorded run played for seconds (its menu showed for a moment only).
wait_for '头' 8 || fail "the replay did not reach the game"
tm send-keys -t t C-c
rc=$(wait_rc)
[ "$rc" = 130 ] || fail "Ctrl-C while watching: exit code $rc"
expect_terminal_restored

# Refused and diverging files: the message, the code, the terminal as it was.
head -c 100 "$files/keep.rec" >"$files/cut.rec"
start_shell
run_program --replay "$files/cut.rec"
rc=$(wait_rc)
[ "$rc" = 2 ] || fail "a cut file: exit code $rc"
expect_terminal_restored
screen | grep -q 'cut.rec: line [0-9]*: the file is truncated' || fail "no refusal shown"
# Escape becomes a pause: the snake plays on where the recorded one had ended.
n=$(grep -n '^k .* 27$' "$files/keep.rec" | head -1 | cut -d: -f1)
[ -n "$n" ] || fail "no Escape in the recording"
sed "${n}s/27\$/120/" "$files/keep.rec" >"$files/edited.rec"
start_shell
run_program --replay "$files/edited.rec" --speed 10
rc=$(wait_rc)
[ "$rc" = 3 ] || fail "an edited file: exit code $rc"
expect_terminal_restored
screen | grep -q 'edited.rec: the replay diverged at line' || fail "no divergence shown"
echo PASS
