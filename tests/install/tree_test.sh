#!/usr/bin/env bash
# `cmake --install` into an empty prefix: the tree holds the program, its manual page and its
# documents, with the permissions a package needs, names no path of the build, and the program
# runs from it in stream mode after the tree has been moved elsewhere.
# Usage: tree_test.sh CMAKE BUILD_DIR SOURCE_DIR CONFIG VERSION
set -u
cmake=$1 build=$2 src=$3 config=$4 version=$5
fail() { echo "FAIL: $*"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" --config "$config" >"$work/log" 2>&1 ||
  fail "cmake --install: $(cat "$work/log")"

expected='bin/gamebox
share/doc/gamebox/README.md
share/doc/gamebox/changelog.gz
share/doc/gamebox/copyright
share/man/man6/gamebox.6.gz'
got=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$got" = "$expected" ] || fail "installed files differ: $(printf '%s\n' "$got" | tr '\n' ' ')"

bad=$(find "$prefix" -mindepth 1 -type d ! -perm 755)
[ -z "$bad" ] || fail "directories not 755: $bad"
[ "$(stat -c %a "$prefix/bin/gamebox")" = 755 ] || fail "the program is not 755"
bad=$(find "$prefix" -type f ! -path '*/bin/*' ! -perm 644)
[ -z "$bad" ] || fail "files not 644: $bad"

# No path of the source or build tree in any installed file, compressed or not.
for dir in "$src" "$build" "$(cd "$src" && pwd -P)" "$(cd "$build" && pwd -P)"; do
  while IFS= read -r f; do
    case $f in
      *.gz) gzip -dc "$f" | grep -qaF -- "$dir" && fail "$f names $dir" ;;
      *) grep -qaF -- "$dir" "$f" && fail "$f names $dir" ;;
    esac
  done < <(find "$prefix" -type f)
done

# The changelog's newest entry is this version.
top=$(gzip -dc "$prefix/share/doc/gamebox/changelog.gz" | head -n 1)
case $top in
  "gamebox ($version) "*) ;;
  *) fail "changelog starts with '$top', not with $version" ;;
esac
gzip -dc "$prefix/share/man/man6/gamebox.6.gz" | grep -q "^\.TH GAMEBOX 6 \"[0-9-]*\" \"gamebox $version\"" ||
  fail "the manual page's title line does not carry $version"

# Moved away from where it was installed, with a bare environment, run from /.
mv "$prefix" "$work/moved"
bin=$work/moved/bin/gamebox
out=$(cd / && printf '0\n' | env -i PATH=/usr/bin:/bin "$bin")
rc=$?
[ $rc -eq 0 ] || fail "choice 0: exit code $rc"
printf '%s' "$out" | grep -q '     1.贪吃蛇  2.跑酷  3.狼人杀' || fail "menu line missing: $out"
[ "$(env -i "$bin" --version)" = "gamebox $version" ] || fail "--version: $(env -i "$bin" --version)"
echo PASS
