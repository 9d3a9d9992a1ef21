#include <cstdlib>
#include <cstring>

#include "console/platform.hpp"
#include "console/stream.hpp"
#include "console/win32_console.hpp"
// (after the console headers: <windows.h> defines some of their names as macros)
#include <windows.h>

namespace con {

std::unique_ptr<Backend> make_platform_backend() {
  // GAMEBOX_CLOCK=virtual makes Sleep instant in stream mode (scripted runs in tests).
  const char* clock = std::getenv("GAMEBOX_CLOCK");
  const bool virtual_clock = clock && std::strcmp(clock, "virtual") == 0;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  const bool consoles = GetConsoleMode(in, &mode) && GetConsoleMode(out, &mode);
  if (!virtual_clock && consoles) return std::make_unique<Win32Console>(in, out);
  return std::make_unique<Stream>(0, 1, virtual_clock);
}

}  // namespace con
