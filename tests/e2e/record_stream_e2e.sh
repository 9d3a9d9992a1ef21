#!/usr/bin/env bash
# --record and --replay with the real program in stream mode: a killer game and a snake game
# recorded from piped input replay to the same output byte for byte, without reading standard
# input; every bad file, every bad combination of options and an edited recording get their
# message and exit code; a recording cut short replays to where it stops.
set -u
bin=$(readlink -f "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cd "$work"
export GAMEBOX_CLOCK=virtual

# Exit code and stderr of a command that must be refused: expect_refused CODE TEXT -- ARGS...
expect_refused() {
  local code=$1 text=$2
  shift 3
  "$bin" "$@" </dev/null >out 2>err
  local rc=$?
  [ $rc -eq "$code" ] || fail "'$*': exit code $rc, expected $code ($(cat err))"
  grep -qF -- "$text" err || fail "'$*': no '$text' in: $(cat err)"
  [ ! -s out ] || fail "'$*' drew something: $(head -c 200 out)"
}

# A killer game to its end, and a snake game steered with letters.
printf '3\n11' >keys-killer
for k in $(seq 1 60); do printf '%d\n \n' $((k % 16)) >>keys-killer; done
printf '1\n1\nddssaawwddxs' >keys-snake
for game in killer snake; do
  "$bin" --seed 7 --record "$game.rec" <"keys-$game" >"$game.out" 2>err ||
    fail "$game: recording run exit code $? ($(cat err))"
  head -1 "$game.rec" | grep -qx 'gamebox recording 1' || fail "$game: no header"
  grep -qx 'backend stream' "$game.rec" || fail "$game: backend not named"
  grep -qx 'seed 7' "$game.rec" || fail "$game: seed not kept"
  tail -1 "$game.rec" | grep -q '^end ' || fail "$game: no end line"
  # The replay reads nothing from standard input: give it a stream that would change the game.
  printf '2\n' | "$bin" --replay "$game.rec" >"$game.again" 2>err ||
    fail "$game: replay exit code $? ($(cat err))"
  [ ! -s err ] || fail "$game: replay said: $(cat err)"
  cmp -s "$game.out" "$game.again" || fail "$game: the replay's output differs"
done
grep -q '游戏结束' killer.out || fail "the killer game did not end"
grep -q '^line .* "3"$' killer.rec || fail "the typed choice is not in the recording"

# Bad files: exit code 2 and a message naming the file, before anything is drawn.
expect_refused 2 'nothing.rec: No such file or directory' -- --replay nothing.rec
mkdir adir
expect_refused 2 'adir: ' -- --replay adir
printf 'hello\n' >notes.txt
expect_refused 2 'not a gamebox recording' -- --replay notes.txt
head -c 4096 "$bin" >binary.rec
expect_refused 2 'not a gamebox recording' -- --replay binary.rec
head -c -1 killer.rec >cut.rec
expect_refused 2 'the file is truncated: its last line is cut off' -- --replay cut.rec
sed -n 1,4p killer.rec >header.rec
expect_refused 2 "it ends within its header" -- --replay header.rec
{ cat killer.rec; printf 'k 0 0 13\x1b[2J\n'; } >escape.rec
expect_refused 2 'a byte no recording holds (0x1b)' -- --replay escape.rec
sed '12s/^\([a-z]*\) /\1 -/' killer.rec >negative.rec
expect_refused 2 'line 12: ' -- --replay negative.rec
{ head -8 killer.rec; yes 'k 0 0 13' | head -c 17000000; } >big.rec
expect_refused 2 'too large' -- --replay big.rec
: >empty.rec
expect_refused 2 'empty: not a recording' -- --replay empty.rec

# Options that do not go together.
expect_refused 2 'exclude each other' -- --record a.rec --replay killer.rec
expect_refused 2 '--seed does not go with --replay' -- --replay killer.rec --seed 3
expect_refused 2 '--speed goes with --replay' -- --speed 2
expect_refused 2 '--speed needs a number' -- --replay killer.rec --speed 0
expect_refused 2 '--speed needs a number' -- --replay=killer.rec --speed=fast
expect_refused 2 '--replay needs a file name' -- --replay
expect_refused 2 'is not a recording; it is left as it is' -- --record notes.txt
[ "$(cat notes.txt)" = hello ] || fail "a file that was not a recording was overwritten"
"$bin" --replay=killer.rec --speed=3 >speed.out </dev/null || fail "--replay= --speed= forms"
cmp -s killer.out speed.out || fail "--speed changed the stream output"
# An earlier recording is overwritten.
"$bin" --seed 7 --record=killer.rec <keys-killer >/dev/null || fail "overwriting a recording"

# An edited recording: the first seat typed in the game (after the launcher's "3") becomes
# another one.
n=$(grep -n '^line [0-9]* [0-9]* 1 "[0-8]"$' killer.rec | sed -n 2p | cut -d: -f1)
[ -n "$n" ] || fail "no seat typed"
awk -v n="$n" 'NR == n { sub(/"[0-8]"$/, "\"9\"") } { print }' killer.rec >edited.rec
! cmp -s killer.rec edited.rec || fail "nothing edited"
"$bin" --replay edited.rec </dev/null >/dev/null 2>err
rc=$?
[ $rc -eq 3 ] || fail "edited recording: exit code $rc, expected 3 ($(cat err))"
grep -q "edited.rec: the replay diverged at line $n " err || fail "no line $n named: $(cat err)"

# A run cut short (no end line, as a crash leaves it) replays as far as it goes.
grep -v '^end ' snake.rec >short.rec
"$bin" --replay short.rec </dev/null >short.out 2>err || fail "cut short: exit code $?"
grep -q 'without an end' err || fail "cut short: no notice: $(cat err)"
cmp -s snake.out short.out || fail "cut short: another output"
# A run killed outright (as a crash ends it): the parkour game on the real clock, keys coming
# while it plays, SIGKILL after 2.5 s. What it had taken is in the file and replays as far as
# it goes.
unset GAMEBOX_CLOCK
{ printf '2\n'; sleep 1; printf ' '; sleep 0.3; printf 'x'; sleep 5; } |
  "$bin" --seed 3 --record killed.rec >/dev/null 2>&1 &
pid=$!  # the pipeline's last command: the program
sleep 2.5
kill -KILL $pid
wait $pid 2>/dev/null
grep -q '^k [0-9]* [0-9]* 32$' killed.rec || fail "killed run: the space is not in the file"
grep -aq '^end ' killed.rec && fail "killed run: an end line"
"$bin" --replay killed.rec </dev/null >/dev/null 2>err || fail "killed run: replay exit code $?"
grep -q 'was cut short there' err || fail "killed run: no notice: $(cat err)"
echo PASS
