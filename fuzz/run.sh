#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a bounded time, starting
# from the seed corpus in fuzz/corpus/<target>/ (new inputs go to build-fuzz/corpus/<target>/).
# Usage: fuzz/run.sh [SECONDS] [TARGET...]   (SECONDS defaults to $FUZZ_SECONDS, else 60)
# Fails when a target finds a crash or a broken invariant; the input is kept in
# build-fuzz/artifacts/ and the end of the target's log is shown.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
secs=${1:-${FUZZ_SECONDS:-60}}
[ $# -gt 0 ] && shift
build=${FUZZ_BUILD:-$root/build-fuzz}

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" >/dev/null
cmake --build "$build" -j "${JOBS:-2}" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$root"/fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" _fuzz.cpp)"); done
fi

failed=()
mkdir -p "$build/artifacts" "$build/logs"
for t in "${targets[@]}"; do
  t=${t%_fuzz}
  mkdir -p "$root/fuzz/corpus/$t"
  mkdir -p "$build/corpus/$t"
  log=$build/logs/$t.log
  set +e
  "$build/${t}_fuzz" -max_total_time="$secs" -timeout=20 -max_len=4096 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" \
    "$build/corpus/$t" "$root/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  printf 'fuzz %-22s %ss  %s executions  coverage %s  %s\n' "$t" "$secs" "${execs:-?}" \
    "${cov:-?}" "$([ $rc -eq 0 ] && echo ok || echo FAILED)"
  if [ $rc -ne 0 ]; then
    failed+=("$t")
    tail -n 40 "$log"
  fi
done
echo "fuzz: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
