#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "console/platform.hpp"
#include "console/stream.hpp"

namespace con {

std::unique_ptr<Backend> make_platform_backend() {
  // GAMEBOX_CLOCK=virtual makes Sleep instant in stream mode (scripted runs in tests).
  const char* clock = std::getenv("GAMEBOX_CLOCK");
  bool virtual_clock = clock && std::strcmp(clock, "virtual") == 0;
  return std::make_unique<Stream>(STDIN_FILENO, STDOUT_FILENO, virtual_clock);
}

}  // namespace con
