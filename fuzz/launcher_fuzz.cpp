// The whole program from the launcher menu, fed arbitrary keys and lines: numbers, the games'
// keys, arrows, held arrows and pauses (see fuzz::script). The first byte picks the seed.
// The input ends where the script does, as a pipe's; virtual time stops at three minutes, for
// scripts whose own pauses run that long.
//
// Checked: the program never loops without reading or sleeping; once the input has ended it
// writes bounded text and ends within bounded time (see run_bounds.hpp); it always ends with
// exit code 0, leaving the console attached to nothing.
#include "harness.hpp"
#include "killer/killer.hpp"
#include "launcher/launcher.hpp"
#include "snake/snake.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (size > fuzz::kMaxInput) size = fuzz::kMaxInput;
  fuzz::Watched h(100000);
  fuzz::script(h, data + 1, size - 1);
  h.stop_at_ms = 180000;
  snake::reset();
  killer::reset();
  con::set_seed_override(data[0]);
  int rc = con::run_headless(h, [] { return launcher::run(); });
  con::set_seed_override(std::nullopt);
  FUZZ_CHECK(rc == 0, "exit code %d", rc);
  FUZZ_CHECK(!con::attached(), "the console is still attached");
  return 0;
}
