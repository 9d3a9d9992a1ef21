#!/usr/bin/env bash
# The site in a real browser: tests/web/browser.mjs plays every case of tests/web/cases.mjs in
# headless Chromium (Debian's, driven by playwright-core from web/'s lock file), with the site
# built by make web and served by python3 -m http.server, the single-file page beside it, and
# replay_screen beside the program. Skipped (77) where the site, Chromium or Node is missing:
# make test builds the site wherever emscripten is installed.
set -u
bin=$(readlink -f "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
site=$root/build-web/site
skip() { echo "SKIP: $*"; exit 77; }
[ -f "$site/index.html" ] || skip "no site in $site (make web; it needs emscripten)"
[ -x /usr/bin/chromium ] || skip "no /usr/bin/chromium"
command -v node >/dev/null || skip "no node"
[ -d "$root/web/node_modules/playwright-core" ] || skip "no playwright-core (make web installs it)"
command -v python3 >/dev/null || skip "no python3 for the file server"
exec node "$root/tests/web/browser.mjs" "$site" "$bin"
