#!/usr/bin/env bash
# Installs what building and testing the game box needs, when it is missing (Debian/Ubuntu).
# Usage: tools/setup.sh run|test|deb|web
# Installing takes root: as root it runs apt-get itself, otherwise through sudo; without either
# it says in one line what to install, and fails.
set -eu
what=${1:-test}
need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd g++ || need+=(g++)
have_cmd cmake || need+=(cmake)
have_cmd make || need+=(make)
if [ "$what" = test ]; then
  have_pkg libgtest-dev || need+=(libgtest-dev)
  have_pkg libgmock-dev || need+=(libgmock-dev)
  have_cmd tmux || need+=(tmux)
  # ps and pgrep: the terminal tests find the program's process with them.
  { have_cmd ps && have_cmd pgrep; } || need+=(procps)
  have_cmd clang++ || need+=(clang)
  have_pkg libclang-rt-14-dev || need+=(libclang-rt-14-dev)
  have_cmd man || need+=(man-db)
  # The keys in real terminals: xterm and kitty under Xvfb, typed into with xdotool.
  have_cmd python3 || need+=(python3)
  have_cmd Xvfb || need+=(xvfb)
  have_cmd xset || need+=(x11-xserver-utils)
  have_cmd xdotool || need+=(xdotool)
  have_cmd xterm || need+=(xterm)
  have_cmd kitty || need+=(kitty)
  # import, for the screenshots the colour checks read.
  have_cmd import || need+=(imagemagick)
  # kitty loads OpenGL at run time; under Xvfb it draws with Mesa's software renderer.
  have_pkg libgl1-mesa-dri || need+=(libgl1 libglx-mesa0 libgl1-mesa-dri)
  have_pkg fonts-noto-cjk || need+=(fonts-noto-cjk)
  have_pkg fonts-dejavu-core || need+=(fonts-dejavu-core)
  # The locale sources, from which a terminal test builds the GBK locale it runs under.
  have_pkg locales || need+=(locales)
fi
if [ "$what" = web ]; then
  # The site: Debian's emscripten, its font cut with fontTools (woff2 needs brotli) from Noto
  # CJK, the page's parts from npm, and the browser its tests play it in. Node and npm only
  # when missing: a Node.js of another source may be there already, and Debian's npm would
  # conflict with it.
  have_cmd em++ || need+=(emscripten)
  /usr/bin/python3 -c 'import fontTools' 2>/dev/null || need+=(fonttools)
  /usr/bin/python3 -c 'import brotli' 2>/dev/null || need+=(python3-brotli)
  have_pkg fonts-noto-cjk || need+=(fonts-noto-cjk)
  have_cmd node || need+=(nodejs)
  have_cmd npm || need+=(npm)
  have_cmd chromium || need+=(chromium)
fi
if [ "$what" = deb ]; then
  for c in dpkg-shlibdeps:dpkg-dev file:file lintian:lintian; do have_cmd "${c%%:*}" || need+=("${c#*:}"); done
fi
[ ${#need[@]} -eq 0 ] && exit 0
if ! have_cmd apt-get; then
  echo "setup: please install: ${need[*]}" >&2
  exit 1
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! have_cmd sudo; then
    echo "setup: missing packages; as root, run: apt-get install ${need[*]}" >&2
    exit 1
  fi
  sudo=sudo
fi
echo "setup: installing ${need[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
