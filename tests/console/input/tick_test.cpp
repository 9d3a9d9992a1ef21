// What the parkour game's tick reads from a terminal's keys: the real game loop on the
// terminal's input path, with the bytes xterm (no release events) and kitty (the keyboard
// protocol) send for the same taps and holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "console/input/flight.hpp"
#include "console/input/replay.hpp"

namespace {

using input_test::Flight;
using input_test::fly;
using input_test::Trace;

// X's defaults: the first auto-repeat 660 ms after the press, then one every 40 ms.
constexpr int64_t kDelay = 660, kInterval = 40;

// An arrow held for `ms` in a terminal without release events: its press and auto-repeats.
void xterm_hold(Trace& t, int64_t from, int64_t ms, const std::string& key = "\x1b[A") {
  t.at(from, key);
  for (int64_t r = from + kDelay; r < from + ms; r += kInterval) t.at(r, key);
}

// The same under the keyboard protocol, with its release.
void kitty_tap(Trace& t, int64_t from, int64_t ms) {
  t.at(from, "\x1b[A");
  t.at(from + ms, "\x1b[1;1:3A");
}

TEST(TickReads, TwoTapsJumpTwiceInATerminalWithoutReleases) {
  Trace one;
  one.at(0, "\x1b[A");
  const Flight single = fly(one);
  EXPECT_EQ(single.top_stage, 1);
  for (int64_t gap : {120, 150, 200, 250, 300, 350, 400, 450, 500}) {
    Trace two;
    two.at(0, "\x1b[A").at(gap, "\x1b[A");
    const Flight f = fly(two);
    EXPECT_EQ(f.top_stage, 2) << gap << " ms apart";
    // Half a second in, the player is already falling: the second jump lifts less.
    if (gap <= 450) {
      EXPECT_LE(f.top_row, single.top_row - 2) << gap << " ms apart: " << f.top_row;
    }
  }
}

TEST(TickReads, AHeldUpArrowJumpsOnceWhateverItsRepeats) {
  Trace held;
  xterm_hold(held, 0, 1500);
  EXPECT_EQ(fly(held).top_stage, 1);
  Trace kitty;
  kitty.flags = 31;
  kitty.at(0, "\x1b[A");
  for (int64_t r = kDelay; r < 1500; r += kInterval) kitty.at(r, "\x1b[1;1:2A");
  kitty.at(1500, "\x1b[1;1:3A");
  EXPECT_EQ(fly(kitty).top_stage, 1);
}

TEST(TickReads, TapsUnderTheKeyboardProtocolCountOnceEachEvenWithinATick) {
  // Pressed and released between two ticks: the next tick still sees it, once.
  Trace quick;
  quick.flags = 31;
  kitty_tap(quick, 0, 10);
  const Flight f = fly(quick);
  EXPECT_EQ(f.top_stage, 1);
  Trace two;
  two.flags = 31;
  kitty_tap(two, 0, 10);
  kitty_tap(two, 250, 10);
  const Flight g = fly(two);
  EXPECT_EQ(g.top_stage, 2);
  EXPECT_LE(g.top_row, f.top_row - 2);
}

TEST(TickReads, HeldRightKeepsPushingThroughAJumpWithoutReleases) {
  // Hold → for 1.2 s, tap ↑, hold → 2 s more: the keyboard stops repeating → at the tap.
  Trace xterm;
  xterm_hold(xterm, 0, 1200, "\x1b[C");
  xterm.at(1200, "\x1b[A");
  const Flight f = fly(xterm, 90, 1200, 3200);
  EXPECT_EQ(f.top_stage, 1);
  EXPECT_GT(f.least_push, 2.f);
  // The same hands in kitty, where the releases are seen.
  Trace kitty;
  kitty.flags = 31;
  kitty.at(0, "\x1b[C");
  for (int64_t r = kDelay; r < 1200; r += kInterval) kitty.at(r, "\x1b[1;1:2C");
  kitty_tap(kitty, 1200, 80);
  kitty.at(3200, "\x1b[1;1:3C");
  const Flight g = fly(kitty, 90, 1200, 3200);
  EXPECT_GT(g.least_push, 2.f);
}

}  // namespace
