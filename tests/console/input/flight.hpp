// The parkour game played on replayed terminal input: how high the player got and how far the
// arrows pushed it, tick by tick.
#pragma once

#include <algorithm>
#include <cstdint>

#include "console/input/replay.hpp"
#include "console/session.hpp"
#include "parkour/harness.hpp"

namespace input_test {

struct Flight {
  int top_stage = 0;   // the highest jump stage reached (Up): 1 a jump, 2 a double jump
  float top_row = 99;  // the highest row the player reached
  // The player's least push off home (in the game's double-column units) over the ticks
  // between `from` and `to` ms of the trace.
  float least_push = 99;
  int64_t from = -1, to = -1;
};

// Plays wave 0 with the trace starting one second in, keeping the field clear of monsters.
inline Flight fly(Trace trace, int ticks = 70, int64_t from = -1, int64_t to = -1) {
  using namespace parkour;
  parkour::reset();
  Replay r(std::move(trace), 1000);
  Flight f;
  f.from = from;
  f.to = to;
  int last = 0;
  r.on_sleep = [&](Replay&) {
    if (T == last) return;
    last = T;
    parkour_test::calm();
    f.top_stage = std::max(f.top_stage, Up);
    f.top_row = std::min(f.top_row, X);
    const int64_t at = r.now() - 1000;
    if (at >= f.from && at <= f.to) f.least_push = std::min(f.least_push, Y - Ding);
    if (T >= ticks) throw con::Exit{0};
  };
  con::attach(r);
  try {
    parkour::play();
  } catch (const con::Exit&) {
  }
  con::detach();
  return f;
}

}  // namespace input_test
