#!/usr/bin/env bash
# The keys in a real kitty under Xvfb, typed with X's keyboard: keys_e2e.py says what is checked
# and how the screen is read. Skipped (77) where there is no display, kitty or xdotool.
command -v python3 >/dev/null || { echo "SKIP: python3 not installed"; exit 77; }
exec python3 "$(dirname "$0")/keys_e2e.py" kitty "$1"
