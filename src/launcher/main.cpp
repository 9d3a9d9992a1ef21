// gamebox: a launcher menu and three terminal games.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "console/console.hpp"
#include "console/platform.hpp"
#include "console/session.hpp"
#include "launcher/launcher.hpp"

namespace {

const char kUsage[] =
    "usage: gamebox [--seed N] [--help] [--version]\n"
    "\n"
    "A launcher menu with three games: 1 snake, 2 parkour, 3 killer.\n"
    "\n"
    "  --seed N    seed the random generator with N instead of the clock, to replay a game\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n";

bool parse_seed(const char* s, unsigned& out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(s, &end, 10);
  if (errno || *end || s[0] == '-' || v > UINT_MAX) return false;
  out = static_cast<unsigned>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<unsigned> seed;
  for (int k = 1; k < argc; ++k) {
    std::string arg = argv[k];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("gamebox %s\n", GAMEBOX_VERSION);
      return 0;
    }
    unsigned v = 0;
    if (arg == "--seed" && k + 1 < argc && parse_seed(argv[k + 1], v)) {
      seed = v;
      ++k;
      continue;
    }
    if (arg.rfind("--seed=", 0) == 0 && parse_seed(arg.c_str() + 7, v)) {
      seed = v;
      continue;
    }
    if (arg == "--seed" || arg.rfind("--seed=", 0) == 0) {
      std::fprintf(stderr, "gamebox: --seed needs a whole number from 0 to %u\n", UINT_MAX);
    } else {
      std::fprintf(stderr, "gamebox: unknown option '%s'\n", arg.c_str());
    }
    std::fputs("Try 'gamebox --help'.\n", stderr);
    return 2;
  }

  std::unique_ptr<con::Backend> backend = con::make_platform_backend();
  con::set_seed_override(seed);
  con::attach(*backend);
  int code = 0;
  try {
    code = launcher::run();
  } catch (const con::Exit& e) {
    code = e.code;
  }
  con::detach();
  return code;
}
