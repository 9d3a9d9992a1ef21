#!/usr/bin/env bash
# The WebAssembly build in stream mode, run by Node: for each scripted run below (the runs the
# stream end-to-end tests make) its output and exit code are those of the native program, byte
# for byte. Skipped (77) where there is no WebAssembly build (make web) or no node.
set -u
bin=$(readlink -f "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
wasm=$root/build-web/gamebox-node.js
[ -f "$wasm" ] || { echo "SKIP: no $wasm (make web; it needs emscripten)"; exit 77; }
command -v node >/dev/null || { echo "SKIP: no node"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

killer_keys() {
  printf '3\n11'
  for k in $(seq 1 60); do printf '%d\n \n' $((k % 16)); done
}
# name | clock | arguments | input (printf format)
runs() {
  cat <<'RUNS'
launcher-0|real||0\n
launcher-word|real||abc\n
launcher-empty|real||
launcher-4|real||4\n
killer-seed-1|virtual|--seed 1|3\n110\nabc\n2\nx2\nx3\nx3\nx
snake-seed-7|virtual|--seed 7|1\n1\nddssaawwddxs
parkour-seed-3|virtual|--seed 3|2\n
bad-seed|real|--seed x|
RUNS
}

failed=0
passed=0
while IFS='|' read -r name clock args input; do
  [ "$clock" = virtual ] && export GAMEBOX_CLOCK=virtual || unset GAMEBOX_CLOCK
  # shellcheck disable=SC2086 # the arguments are words
  printf "$input" | "$bin" $args >"$work/native" 2>"$work/native.err"
  native_rc=$?
  # shellcheck disable=SC2086
  printf "$input" | node "$wasm" $args >"$work/wasm" 2>"$work/wasm.err"
  wasm_rc=$?
  if [ $native_rc -ne $wasm_rc ] || ! cmp -s "$work/native" "$work/wasm"; then
    echo "FAIL $name: exit codes $native_rc (native) and $wasm_rc (wasm); $(cmp "$work/native" "$work/wasm" 2>&1)"
    failed=$((failed + 1))
  else
    echo "PASS $name: $(wc -c <"$work/native") bytes, exit code $native_rc"
    passed=$((passed + 1))
  fi
done < <(runs)

# The killer game to its end, as the record test types it.
killer_keys >"$work/keys"
GAMEBOX_CLOCK=virtual "$bin" --seed 7 <"$work/keys" >"$work/native"
GAMEBOX_CLOCK=virtual node "$wasm" --seed 7 <"$work/keys" >"$work/wasm"
if cmp -s "$work/native" "$work/wasm" && grep -q '游戏结束' "$work/native"; then
  echo "PASS killer-seed-7: $(wc -c <"$work/native") bytes"
  passed=$((passed + 1))
else
  echo "FAIL killer-seed-7: $(cmp "$work/native" "$work/wasm" 2>&1)"
  failed=$((failed + 1))
fi
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
