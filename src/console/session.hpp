// Attaching the console layer to a backend. main attaches the terminal or stream backend;
// tests attach a Headless one. Attaching gives the fresh-program console state: a 120x30 blank
// screen in attribute 0x07, an empty key queue and line buffer, and the generator at seed 1.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "console/backend.hpp"
#include "console/screen.hpp"

namespace con {

// Once input has ended and its last key is taken, a key poll that finds no key ends the
// program when the screen is as the previous such poll left it, and in any case once this much
// time has passed on the console's clock since the first such poll.
constexpr int64_t kRunOnMs = 20000;

void attach(Backend& backend);
// Presents the last screen and hands the backend its finish. Safe to call twice.
void detach();
bool attached();

Screen& screen();
KeyQueue& keys();

// --seed N: every srand uses N instead of what the program passes.
void set_seed_override(std::optional<unsigned> seed);

// Runs `program` with the console attached to `top` for the call, catching Exit. `ending` hears the
// exit code while `top` is still attached (a recorder writes its end line then). Returns the exit
// code; the screen model stays for inspection.
int run_attached(Backend& top, const std::function<int()>& program,
                 const std::function<void(int)>& ending = {});

// Echo and line editing of number reads write into the model only (never to a byte stream).
// Exposed for the backends that decode typed text.
void present_now();

}  // namespace con
