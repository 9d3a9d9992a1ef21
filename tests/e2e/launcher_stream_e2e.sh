#!/usr/bin/env bash
# The real program in stream mode: a choice that is no game ends it with exit code 0,
# leaving the frame and the menu line in the output.
set -u
bin=$1
fail() { echo "FAIL: $*"; exit 1; }

out=$(printf '0\n' | "$bin")
rc=$?
[ $rc -eq 0 ] || fail "exit code $rc"
stars=$(printf '%s' "$out" | tr -cd '*' | wc -c)
[ "$stars" -eq 284 ] || fail "expected 284 asterisks, got $stars"
printf '%s' "$out" | grep -q '     1.贪吃蛇  2.跑酷  3.狼人杀' || fail "menu line missing"

for typed in 'abc' '' '4'; do
  printf '%s\n' "$typed" | "$bin" >/dev/null || fail "choice '$typed' did not exit 0"
done
"$bin" </dev/null >/dev/null || fail "end of input did not exit 0"

"$bin" --help | grep -q -- '--seed' || fail "--help"
"$bin" --version | grep -q '^gamebox ' || fail "--version"
"$bin" --bogus </dev/null >/dev/null 2>&1
[ $? -eq 2 ] || fail "unknown option must exit 2"
"$bin" --seed x </dev/null >/dev/null 2>&1
[ $? -eq 2 ] || fail "bad seed must exit 2"
echo PASS
