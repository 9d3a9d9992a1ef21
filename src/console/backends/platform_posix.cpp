#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "console/backends/platform.hpp"
#include "console/backends/stream/stream.hpp"
#include "console/backends/terminal/terminal.hpp"

namespace con {

std::unique_ptr<Backend> make_platform_backend() {
  // GAMEBOX_CLOCK=virtual makes Sleep instant in stream mode (scripted runs in tests).
  const char* clock = std::getenv("GAMEBOX_CLOCK");
  bool virtual_clock = clock && std::strcmp(clock, "virtual") == 0;
  const char* term = std::getenv("TERM");
  bool dumb = term && std::strcmp(term, "dumb") == 0;
  if (!virtual_clock && !dumb && isatty(STDIN_FILENO) && isatty(STDOUT_FILENO))
    return std::make_unique<Terminal>(STDIN_FILENO, STDOUT_FILENO);
  return std::make_unique<Stream>(STDIN_FILENO, STDOUT_FILENO, virtual_clock);
}

}  // namespace con
