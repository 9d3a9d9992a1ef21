#!/usr/bin/env bash
# Stream mode on the real clock: once the input has ended, every game ends by itself with exit
# code 0, in bounded time and with bounded output. A game standing still (the snake paused by
# a key) ends at its next tick; the parkour game ends within the run-on time (20 s) plus a
# wave's end. (A moving snake running on into the frame is checked on the virtual clock.)
set -u
bin=$1
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs the program on input $1 with --seed 1; fails unless it ends within $2 seconds, exit 0,
# with at most $3 bytes of output.
ends() {
  local input=$1 limit=$2 most=$3 t0 rc secs bytes
  t0=$(date +%s%N)
  printf "$input" | timeout "$((limit + 5))" "$bin" --seed 1 >"$work/out"
  rc=$?
  secs=$((($(date +%s%N) - t0) / 1000000000))
  bytes=$(wc -c <"$work/out")
  [ $rc -eq 124 ] && fail "'$input' still running after $((limit + 5)) s ($bytes bytes)"
  [ $rc -eq 0 ] || fail "'$input': exit code $rc"
  [ "$secs" -le "$limit" ] || fail "'$input' took $secs s, more than $limit"
  [ "$bytes" -le "$most" ] || fail "'$input' wrote $bytes bytes, more than $most"
  echo "'$input': $secs s, $bytes bytes"
}

# The snake stopped by a key, then the input ends (once a run-away that never ended).
ends '1\n1\nx' 3 4000
# The leftover "3" and Enter stop it the same way.
ends '1x\n3\n' 3 4000
grep -q '糟糕' "$work/out" && fail "a paused snake must not play on into the frame"
# The parkour game: its screen changes at nearly every tick.
ends '2\n' 25 200000
grep -q '空格可以暂停。' "$work/out" || fail "the parkour game did not start"
# Paused in the parkour game: "pause" is a read, and it ends at once.
ends '2\n ' 3 4000
echo PASS
