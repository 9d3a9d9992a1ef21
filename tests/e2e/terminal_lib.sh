# Shared by the terminal_*_e2e.sh tests: the real program in a 120x40 tmux pane on a private
# server, started from a plain shell that records its exit code and the terminal settings
# before and after.
set -u
bin=$(readlink -f "$1")
command -v tmux >/dev/null || { echo "SKIP: tmux not installed"; exit 77; }
command -v pgrep >/dev/null && command -v ps >/dev/null ||
  { echo "SKIP: ps and pgrep not installed (procps)"; exit 77; }

sock_base="gamebox_e2e_$$_$RANDOM"
sock="$sock_base"
shells=0
work=$(mktemp -d)
tm() { tmux -L "$sock" "$@"; }
cleanup() {
  tm kill-server 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "--- screen:"
  tm capture-pane -p -t t 2>/dev/null
  exit 1
}

# A fresh pane with a quiet shell in the C.UTF-8 locale.
# Every shell gets a server of its own: a server still shutting down after its last pane was
# closed must not take the next session with it.
start_shell() {
  tm kill-server 2>/dev/null
  rm -f "$work"/*
  local try
  for try in 1 2 3; do
    shells=$((shells + 1))
    sock="${sock_base}_$shells"
    tm -f /dev/null new-session -d -s t -x 120 -y 40 \
      "env -i PATH=/usr/bin:/bin HOME=$work TERM=tmux-256color LANG=C.UTF-8 PS1='$ ' bash --norc --noprofile" &&
      break
    sleep 0.2
  done
  tm set-option -g status off
  wait_for '^\$' 5 || fail "no shell prompt"
}

# Runs the program in the pane: stty before, the program, its exit code, stty after; in a
# subshell, so that a stopped program stops the whole list and fg resumes it.
run_program() {
  tm send-keys -t t "(stty -g > $work/before; $bin $*; echo \$? > $work/rc; stty -g > $work/after)" Enter
}

screen() { tm capture-pane -p -t t; }
screen_e() { tm capture-pane -p -e -t t; }

# Waits up to $2 seconds (default 5; 0: as it stands) for a screen line matching the regex $1.
wait_for() {
  local limit=$(( ${2:-5} * 20 )) k
  for ((k = 0; ; k++)); do
    screen | grep -qE -- "$1" && return 0
    ((k < limit)) || return 1
    sleep 0.05
  done
}

# A run as steps of four words: the keys to send (send-keys words, - for none), the pattern
# the screen must then show, within how many seconds, and what failed if it does not.
steps() {
  while (($# >= 4)); do
    [ "$1" = - ] || tm send-keys -t t $1
    wait_for "$2" "$3" || fail "$4"
    shift 4
  done
}

# Waits for the program to end; prints its exit code.
wait_rc() {
  local k
  for ((k = 0; k < 200; k++)); do
    if [ -s "$work/after" ]; then
      cat "$work/rc"
      return 0
    fi
    sleep 0.05
  done
  echo "none"
}

# The program's process, found in the pane's session.
program_pid() {
  local sid
  sid=$(ps -o sid= -p "$(tm display -p -t t '#{pane_pid}')" | tr -d ' ')
  pgrep -s "$sid" -x "$(basename "$bin" | cut -c1-15)" | head -1
}

expect_terminal_restored() {
  cmp -s "$work/before" "$work/after" || fail "stty -g differs: $(cat "$work/before") / $(cat "$work/after")"
}

# The launcher's frame: the top and bottom edges at rows 2 and 27 (columns 2 to 118, the right
# side supplying the corners), the sides at columns 2 and 118 (capture-pane drops trailing
# blanks).
stars=$(printf '%*s' 117 '' | tr ' ' '*')
expect_frame() {
  local s
  s=$(screen)
  [ "$(sed -n 3p <<<"$s")" = "  $stars" ] || fail "top edge"
  [ "$(sed -n 28p <<<"$s")" = "  $stars" ] || fail "bottom edge"
  [ "$(sed -n 15p <<<"$s")" = "  *$(printf '%115s' '')*" ] || fail "sides"
}
