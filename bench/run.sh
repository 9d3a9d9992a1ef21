#!/usr/bin/env bash
# Runs every benchmark built in BUILD (default: build/), and the page's in headless Chromium
# when build-web/ has them, shows what each measured, then prints the README's performance
# table from their rows. Fails when a benchmark fails or misses a target it checks itself.
# Usage: bench/run.sh [BUILD]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rows=()
failed=()
for src in "$root"/bench/*_bench.cpp; do
  name=$(basename "$src" .cpp)
  echo "== $name"
  if [ ! -x "$build/$name" ]; then
    echo "not built: $build/$name"
    failed+=("$name")
    continue
  fi
  out=$("$build/$name")
  rc=$?
  grep -v '^table: ' <<<"$out"
  while IFS= read -r line; do rows+=("${line#table: }"); done < <(grep '^table: ' <<<"$out")
  [ $rc -eq 0 ] || failed+=("$name")
done
# The page's figures, in headless Chromium, where make bench built the site and its benchmark
# pages (make web's build-web/, with emscripten).
web=$root/build-web
echo "== page_bench"
if [ -f "$web/bench/boss.html" ] && [ -f "$web/site/index.html" ] && [ -x /usr/bin/chromium ] &&
  command -v node >/dev/null; then
  out=$(node "$root/bench/web/page_bench.mjs" "$web" "$build")
  rc=$?
  grep -v '^table: ' <<<"$out"
  while IFS= read -r line; do rows+=("${line#table: }"); done < <(grep '^table: ' <<<"$out")
  [ $rc -eq 0 ] || failed+=(page_bench)
else
  echo "not run: no site and benchmark pages in $web (make web and emscripten), or no Chromium or node"
fi
echo
echo "| benchmark | figure | target |"
echo "|---|---|---|"
printf '%s\n' "${rows[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "bench: failed: ${failed[*]}" >&2
  exit 1
fi
