// gamebox in a WebAssembly build: in a page (the browser backend), or under Node in stream
// mode. The page passes ?seed=N on as --seed N; there is nothing else to choose there.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "console/backends/platform.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "launcher/launcher.hpp"

namespace {

// As on the command line: a whole number from 0 to UINT_MAX, nothing around it.
bool parse_seed(const char* s, unsigned& out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(s, &end, 10);
  if (errno || *end || s[0] == '-' || v > UINT_MAX) return false;
  out = static_cast<unsigned>(v);
  return true;
}

// One line on standard error (the page shows it in place of the game).
int refuse(const std::string& message) {
  std::fprintf(stderr, "gamebox: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<unsigned> seed;
  for (int k = 1; k < argc; ++k) {
    const char* arg = argv[k];
    const char* value = nullptr;
    if (std::strcmp(arg, "--seed") == 0) {
      value = k + 1 < argc ? argv[++k] : nullptr;
    } else if (std::strncmp(arg, "--seed=", 7) == 0) {
      value = arg + 7;
    } else {
      return refuse(std::string("unknown option '") + arg + "'");
    }
    unsigned v = 0;
    if (!parse_seed(value, v))
      return refuse("--seed needs a whole number from 0 to " + std::to_string(UINT_MAX));
    seed = v;
  }
  std::unique_ptr<con::Backend> backend = con::make_platform_backend();
  con::set_seed_override(seed);
  return con::run_attached(*backend, launcher::run);
}
