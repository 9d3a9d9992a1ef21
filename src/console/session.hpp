// Attaching the console layer to a backend. main attaches the terminal or stream backend;
// tests attach a Headless one. Attaching gives the fresh-program console state: a 120x30 blank
// screen in attribute 0x07, an empty key queue and line buffer, and the generator at seed 1.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "console/backend.hpp"
#include "console/screen.hpp"

namespace con {

// Once input has ended and its last key is taken, a key poll that finds no key ends the
// program when the screen is as the previous such poll left it, and in any case once this much
// time has passed on the console's clock since the first such poll.
constexpr int64_t kRunOnMs = 20000;

// Hears what the console learns that no backend answers: each srand (the seed the program
// passed and the one the generator took, which --seed may replace), each line typed for a
// number read, and the program's end with its exit code (while the backend is still attached,
// so the last screen is there to see). A recording writes them down; a replay checks them.
class Observer {
 public:
  virtual ~Observer() = default;
  virtual void seeded(unsigned asked, unsigned used) = 0;
  virtual void line_read(std::string_view line) = 0;
  virtual void ending(int code) = 0;
};

// `observer`, if any, hears of srand and typed lines until the console is detached; its
// ending is run_attached's to call (or the caller's, before detach()).
void attach(Backend& backend, Observer* observer = nullptr);
// Presents the last screen and hands the backend its finish. Safe to call twice.
void detach();
bool attached();

Screen& screen();
KeyQueue& keys();

// --seed N: every srand uses N instead of what the program passes.
void set_seed_override(std::optional<unsigned> seed);

// Runs `program` with the console attached to `top` for the call, catching Exit. The observer
// hears the exit code before the console is detached. Returns the exit code; the screen model
// stays for inspection.
int run_attached(Backend& top, const std::function<int()>& program, Observer* observer = nullptr);

}  // namespace con
