#!/usr/bin/env bash
# The installed manual page renders at 80 columns without a warning from man or groff, and
# names every option the program's --help lists and every GAMEBOX_ variable the program reads.
# Without man the test cannot run: it reports a skip (77), never a pass.
# Usage: man_page_test.sh CMAKE BUILD_DIR SOURCE_DIR CONFIG VERSION
set -u
cmake=$1 build=$2 src=$3 config=$4
fail() { echo "FAIL: $*"; exit 1; }
command -v man >/dev/null 2>&1 || { echo "SKIP: man is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" --config "$config" >"$work/log" 2>&1 ||
  fail "cmake --install: $(cat "$work/log")"
page=$prefix/share/man/man6/gamebox.6.gz
[ -f "$page" ] || fail "no manual page at $page"

# Every groff warning counts. The page is UTF-8 with Chinese names in it: it renders in a UTF-8
# locale, as the game needs one anyway (an ASCII rendering has no glyphs for them).
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "warnings: $warnings"
text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | sed 's/.\x08//g')
for heading in NAME SYNOPSIS DESCRIPTION GAMES OPTIONS ENVIRONMENT TERMINAL 'EXIT STATUS'; do
  printf '%s\n' "$text" | grep -q "^$heading\$" || fail "no section $heading"
done
width=$(printf '%s\n' "$text" | LC_ALL=C.UTF-8 wc -L)
[ "$width" -le 80 ] || fail "a line $width columns wide"

# Every option --help shows, as the page prints it, and every variable the sources read.
options=$("$prefix/bin/gamebox" --help | grep -oE -- '(^|[[ ])--?[a-z][a-z-]*' | tr -d '[ ' | sort -u)
[ -n "$options" ] || fail "no options found in --help"
for opt in $options; do
  printf '%s\n' "$text" | grep -qE -- "(^|[^a-z-])$opt([^a-z-]|\$)" || fail "option $opt not in the manual page"
done
vars=$(grep -rhoE 'getenv\("GAMEBOX_[A-Z_]+"\)' "$src/src" | sed 's/getenv("\(.*\)")/\1/' | sort -u)
[ -n "$vars" ] || fail "no GAMEBOX_ variables found in the sources"
for var in $vars; do
  printf '%s\n' "$text" | grep -qw -- "$var" || fail "variable $var not in the manual page"
done
echo PASS
