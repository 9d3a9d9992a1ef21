#include <cstring>

#include "console/backends/platform.hpp"
#include "console/backends/stream/stream.hpp"
#include "console/backends/win32/win32_api.hpp"
#include "console/backends/win32/win32_console.hpp"

namespace con {

std::unique_ptr<Backend> make_platform_backend() {
  // GAMEBOX_CLOCK=virtual makes Sleep instant in stream mode (scripted runs in tests).
  char clock[16] = "";
  const DWORD n = GetEnvironmentVariableA("GAMEBOX_CLOCK", clock, sizeof clock);
  const bool virtual_clock = n > 0 && n < sizeof clock && std::strcmp(clock, "virtual") == 0;
  HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  const bool consoles = GetConsoleMode(in, &mode) && GetConsoleMode(out, &mode);
  if (!virtual_clock && consoles) return std::make_unique<Win32Console>(in, out);
  return std::make_unique<Stream>(0, 1, virtual_clock);
}

}  // namespace con
