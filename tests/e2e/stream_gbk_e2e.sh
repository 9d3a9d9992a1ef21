#!/usr/bin/env bash
# Stream mode under a GBK locale: the piped output of scripted runs is byte for byte the
# output of the same runs under a UTF-8 locale, converted to GBK by iconv, and what is typed is
# read as GBK (a Chinese character typed at the killer game's "pause" is one key, so the next
# vote is read whole). The locale is made with localedef in a folder of the test's own
# (LOCPATH); where it cannot be made (no localedef, or no zh_CN source: the locales package),
# the test is skipped.
set -u
bin=$1
fail() { echo "FAIL: $*"; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
if ! localedef -f GBK -i zh_CN "$dir/zh_CN.GBK" >/dev/null 2>&1 || [ ! -d "$dir/zh_CN.GBK" ]; then
  echo "SKIP: no zh_CN.GBK locale can be made here (localedef and the zh_CN source of locales)"
  exit 77
fi

# name, then the input as UTF-8: the launcher's end, the snake game on the virtual clock, the
# parkour game until it stands still, and the killer game of killer_stream_e2e.sh with Chinese
# text for the bad seat and a Chinese key for every pause.
runs=(
  launcher $'0\n'
  snake $'1\n1\n'
  parkour $'2\n'
  killer $'3\n110\n三号\n2\n啊2\n啊3\n啊3\n啊'
)
for ((k = 0; k < ${#runs[@]}; k += 2)); do
  name=${runs[k]}
  input=${runs[k + 1]}
  printf '%s' "$input" | LC_ALL=C.UTF-8 GAMEBOX_CLOCK=virtual "$bin" --seed 1 >"$dir/$name.utf8"
  rc=$?
  [ $rc -eq 0 ] || fail "$name: exit code $rc under C.UTF-8"
  iconv -f UTF-8 -t GBK "$dir/$name.utf8" >"$dir/$name.want" || fail "$name: the UTF-8 output has text GBK lacks"
  printf '%s' "$input" | iconv -f UTF-8 -t GBK |
    LOCPATH=$dir LANG=zh_CN.GBK LC_ALL=zh_CN.GBK GAMEBOX_CLOCK=virtual "$bin" --seed 1 >"$dir/$name.gbk"
  rc=$?
  [ $rc -eq 0 ] || fail "$name: exit code $rc under zh_CN.GBK"
  [ -s "$dir/$name.gbk" ] || fail "$name: no output"
  cmp -s "$dir/$name.want" "$dir/$name.gbk" ||
    fail "$name: the output under zh_CN.GBK is not the UTF-8 run's in GBK: $(cmp "$dir/$name.want" "$dir/$name.gbk")"
done
# The killer game read the typed Chinese as one key each: four days of votes, as in UTF-8.
[ "$(iconv -f GBK -t UTF-8 "$dir/killer.gbk" | grep -c '你选择投几号')" -eq 4 ] || fail "killer: not four days"
echo PASS
