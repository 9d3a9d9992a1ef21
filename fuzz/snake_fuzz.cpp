// The snake game from its cover, fed arbitrary keys and lines (see fuzz::script): the cover's
// number, the rules screen's key, steering, pauses, Escape, held arrows. The input ends where
// the script does; virtual time stops at five minutes, for scripts whose own pauses run long.
//
// Checked: the game never loops without reading or sleeping; once the input has ended it
// writes bounded text and ends within bounded time (see run_bounds.hpp); once a game is played
// to its end it shows its result screen with the score the side panel showed last, and goes
// back to the launcher.
#include <cstdio>
#include <cstring>
#include <string>

#include "harness.hpp"
#include "snake/snake.hpp"

namespace {

// The side panel's score and the result screen's, as they stood on the screen.
struct Watch : fuzz::Watched {
  Watch() : Watched(100000) {}
  int panel = -1, result = -1;
  bool won = false;
  void present(const con::Screen& s) override {
    Watched::present(s);
    int v;
    if (std::sscanf(s.text_at(87, 19, 16).c_str(), "当前得分:%d", &v) == 1) panel = v;
    std::string r = s.text_at(24, 7, 30);
    if (std::sscanf(r.c_str(), "你的最终得分是：%d", &v) == 1) result = v;
    if (r.rfind("你得到了满分：24", 0) == 0) won = true, result = 24;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::kMaxInput) size = fuzz::kMaxInput;
  Watch h;
  fuzz::script(h, data, size);
  h.stop_at_ms = 300000;
  snake::reset();
  snake::Outcome outcome = snake::Outcome::Quit;
  bool returned = false;
  con::run_headless(h, [&] {
    outcome = snake::play();
    returned = true;
    return 0;
  });
  if (returned && outcome == snake::Outcome::BackToLauncher) {
    FUZZ_CHECK(h.result >= 0, "a game ended without its result screen");
    // The winning tick eats the 24th food after the panel was drawn.
    FUZZ_CHECK(h.result == h.panel + (h.won ? 1 : 0),
               "the result screen says %d, the panel "
               "said %d",
               h.result, h.panel);
    FUZZ_CHECK(con::screen().row_text(7).find_first_not_of(' ') == std::string::npos,
               "the result screen was not cleared for the launcher");
  }
  return 0;
}
