#include "console/input/heldkeys.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "console/console.hpp"

namespace {

using con::HeldKeys;
constexpr int kUp = con::VK_UP;

// A keyboard held from `from` for `hold` ms, with auto-repeat after `delay`, every `interval`:
// the presses a terminal without release events sends.
std::vector<int64_t> held(int64_t from, int64_t hold, int64_t delay, int64_t interval) {
  std::vector<int64_t> t{from};
  for (int64_t r = from + delay; r < from + hold; r += interval) t.push_back(r);
  return t;
}

// A game loop polling every `tick` ms from `from` to `to`, feeding the events as they come.
// Returns how many times the key went from up to down (jumps of a latching game) and whether
// it read as up at any poll between `gap_from` and `gap_to`.
struct Polled {
  int rises = 0;
  bool up_between = false;
};
Polled poll(HeldKeys& h, const std::vector<int64_t>& events, int64_t from, int64_t to, int64_t tick,
            int64_t gap_from = -1, int64_t gap_to = -1) {
  Polled r;
  size_t next = 0;
  bool was = false;
  for (int64_t now = from; now <= to; now += tick) {
    while (next < events.size() && events[next] <= now) h.press(kUp, events[next++]);
    bool d = h.down(kUp, now);
    if (d && !was) ++r.rises;
    if (!d && now >= gap_from && now <= gap_to) r.up_between = true;
    was = d;
  }
  return r;
}

TEST(HeldKeys, HeldKeyReadsDownWithoutAGapAndJumpsOnce) {
  for (int64_t delay : {250, 500, 660}) {
    for (int64_t interval : {30, 40, 91}) {
      HeldKeys h;
      // Learn this keyboard first, as a player's first holds teach it.
      poll(h, held(0, 2000, delay, interval), 0, 3000, 17);
      auto ev = held(10000, 3000, delay, interval);
      Polled r = poll(h, ev, 10000, 14000, 17, 10000, 12990);
      EXPECT_EQ(r.rises, 1) << delay << "/" << interval;
      EXPECT_FALSE(r.up_between) << delay << "/" << interval;
      // Released: up within twice the interval plus the margin.
      EXPECT_FALSE(h.down(kUp, ev.back() + 2 * interval + HeldKeys::kIntervalMarginMs + 1));
      EXPECT_NEAR(h.delay_ms(), delay, 20);
      EXPECT_NEAR(h.interval_ms(), interval, 5);
    }
  }
}

TEST(HeldKeys, WithDefaultsTheFirstHoldHasNoGapBeforeTheFirstRepeat) {
  HeldKeys h;  // a keyboard at the X server's defaults, never seen before
  Polled r = poll(h, held(0, 2000, 660, 40), 0, 1990, 10, 0, 1990);
  EXPECT_EQ(r.rises, 1);
  EXPECT_FALSE(r.up_between);
}

TEST(HeldKeys, TwoQuickTapsJumpTwiceAndATapEndsSoon) {
  HeldKeys h;
  poll(h, held(0, 1500, 500, 30), 0, 2000, 20);  // learns 500 / 30
  Polled r = poll(h, {5000, 5150}, 5000, 6000, 20);
  EXPECT_EQ(r.rises, 2);
  // A single tap reads as down for the learned delay plus its margin, no longer.
  HeldKeys g;
  poll(g, held(0, 1500, 500, 30), 0, 2000, 20);
  EXPECT_LE(g.delay_ms(), 540);
  g.press(kUp, 8000);
  EXPECT_TRUE(g.down(kUp, 8000 + g.delay_ms() + HeldKeys::kDelayMarginMs - 1));
  EXPECT_FALSE(g.down(kUp, 8000 + g.delay_ms() + HeldKeys::kDelayMarginMs));
  // A fresh tracker keeps a tap no longer than the default delay needs.
  HeldKeys f;
  f.press(kUp, 0);
  EXPECT_FALSE(f.down(kUp, HeldKeys::kDefaultDelayMs + HeldKeys::kDelayMarginMs));
}

TEST(HeldKeys, AShortDelayIsLearnedAfterOneMistakenHold) {
  // kbdrate's 250 ms delay is under the default's share: the first hold reads its first repeat
  // as a second tap, the repeats that follow show it was not, and later holds are clean.
  HeldKeys h;
  Polled first = poll(h, held(0, 1000, 250, 30), 0, 1200, 17);
  EXPECT_EQ(first.rises, 2);
  EXPECT_NEAR(h.delay_ms(), 250, 1);
  Polled later = poll(h, held(5000, 1000, 250, 30), 5000, 6200, 17);
  EXPECT_EQ(later.rises, 1);
}

TEST(HeldKeys, ReleaseBetweenPollsIsNotLost) {
  HeldKeys h;
  h.press(kUp, 0);
  EXPECT_TRUE(h.down(kUp, 10));
  // The window ran out and a new press came before any poll saw the key up.
  h.press(kUp, 5000);
  EXPECT_FALSE(h.down(kUp, 5001));
  EXPECT_TRUE(h.down(kUp, 5002));
  // Other keys are not tracked.
  h.press('w', 0);
  EXPECT_FALSE(h.down('w', 1));
}

TEST(HeldKeys, ExactEventsUnderTheKeyboardProtocol) {
  HeldKeys h;
  h.set_exact(true);
  h.press(kUp, 0);
  EXPECT_TRUE(h.down(kUp, 5000));  // no window: held until released
  h.repeat(kUp, 5100);
  h.release(kUp, 5200);
  EXPECT_FALSE(h.down(kUp, 5201));
  // A tap between two polls is seen once.
  h.press(kUp, 6000);
  h.release(kUp, 6010);
  EXPECT_TRUE(h.down(kUp, 6020));
  EXPECT_FALSE(h.down(kUp, 6030));
  // Released and pressed again between polls: one poll reads up, so the press counts again.
  h.press(kUp, 7000);
  EXPECT_TRUE(h.down(kUp, 7001));
  h.release(kUp, 7002);
  h.press(kUp, 7003);
  EXPECT_FALSE(h.down(kUp, 7004));
  EXPECT_TRUE(h.down(kUp, 7005));
  // Focus lost: everything up, also a key whose release will never come.
  h.clear();
  EXPECT_FALSE(h.down(kUp, 7006));
  h.press(con::VK_LEFT, 8000);
  h.clear();
  EXPECT_FALSE(h.down(con::VK_LEFT, 8001));
}

constexpr int kRight = con::VK_RIGHT, kLeft = con::VK_LEFT, kDown = con::VK_DOWN;

// → held from 0 with X's default auto-repeat until `until` (its last repeat before it).
void hold_right(HeldKeys& h, int64_t until) {
  for (int64_t t : held(0, until, 660, 40)) h.press(kRight, t);
}

TEST(HeldKeys, AHoldInterruptedByAnotherKeyStaysDownUntilAnEventShowsOtherwise) {
  constexpr int64_t kBound = HeldKeys::kInterruptedHoldMs;
  {
    // Hold →, tap ↑ at 1.2 s: → sends nothing more, yet it is still held.
    HeldKeys h;
    hold_right(h, 1200);
    h.press(kUp, 1200);
    for (int64_t t : {1300, 2000, 3000}) EXPECT_TRUE(h.down(kRight, t)) << t;
    EXPECT_TRUE(h.down(kRight, 1200 + kBound - 1));
    EXPECT_FALSE(h.down(kRight, 1200 + kBound));  // the bound
    EXPECT_TRUE(h.down(kUp, 1300));               // the tap itself as ever
  }
  {
    // Pressed again: it was let go meanwhile, so one query reads up, then the new hold.
    HeldKeys h;
    hold_right(h, 1200);
    h.press(kUp, 1200);
    EXPECT_TRUE(h.down(kRight, 1500));
    h.press(kRight, 2000);
    EXPECT_FALSE(h.down(kRight, 2001));
    EXPECT_TRUE(h.down(kRight, 2002));
    EXPECT_FALSE(h.down(kRight, 2000 + h.delay_ms() + HeldKeys::kDelayMarginMs));
  }
  {
    // The opposite arrow ends it at once; so does focus lost.
    HeldKeys h;
    hold_right(h, 1200);
    h.press(kUp, 1200);
    EXPECT_TRUE(h.down(kRight, 1500));
    h.press(kLeft, 1600);
    EXPECT_FALSE(h.down(kRight, 1601));
    EXPECT_TRUE(h.down(kLeft, 1601));
    HeldKeys g;
    hold_right(g, 1200);
    g.press(kDown, 1200);
    g.clear();
    EXPECT_FALSE(g.down(kRight, 1201));
    // ↓ ends a held ↑ as ← ends →.
    HeldKeys u;
    for (int64_t t : held(0, 1200, 660, 40)) u.press(kUp, t);
    u.press(kRight, 1200);
    EXPECT_TRUE(u.down(kUp, 1300));
    u.press(kDown, 1400);
    EXPECT_FALSE(u.down(kUp, 1401));
  }
  {
    // Any key stops the repeats: a space bar too.
    HeldKeys h;
    hold_right(h, 1200);
    h.press(0, 1200);
    EXPECT_TRUE(h.down(kRight, 2500));
    // One repeat already shows a hold.
    HeldKeys g;
    hold_right(g, 661);
    g.press(kUp, 680);
    EXPECT_TRUE(g.down(kRight, 1500));
  }
}

TEST(HeldKeys, OnlyARepeatingHoldIsKeptAndOppositeArrowsNeverOverlap) {
  // → tapped (no repeat yet), then ↑: → ends with its window, as a tap does.
  HeldKeys h;
  h.press(kRight, 0);
  h.press(kUp, 200);
  EXPECT_TRUE(h.down(kRight, 300));
  EXPECT_FALSE(h.down(kRight, h.delay_ms() + HeldKeys::kDelayMarginMs));
  // Released long ago (its repeats ran out before the other key): not kept either.
  HeldKeys g;
  hold_right(g, 1200);
  g.press(kUp, 1600);
  EXPECT_FALSE(g.down(kRight, 1601));
  // → tapped, then ← soon after: the game takes → over ←, so → must not linger.
  HeldKeys f;
  f.press(kRight, 0);
  EXPECT_TRUE(f.down(kRight, 100));
  f.press(kLeft, 200);
  EXPECT_FALSE(f.down(kRight, 201));
  EXPECT_TRUE(f.down(kLeft, 201));
}

TEST(HeldKeys, ExactEventsKnowNothingOfInterruptions) {
  HeldKeys h;
  h.set_exact(true);
  h.press(kRight, 0);
  h.press(kLeft, 100);  // both held: so they are
  h.press(0, 150);
  EXPECT_TRUE(h.down(kRight, 5000));
  EXPECT_TRUE(h.down(kLeft, 5000));
  h.release(kRight, 5100);
  EXPECT_FALSE(h.down(kRight, 5101));
  EXPECT_TRUE(h.down(kLeft, 5101));
}

// What the README promises at X's defaults (660 ms delay, 25 repeats a second), to the
// millisecond, for each arrow: a tap reads down for 720 ms; a repeating key until 120 ms after
// its last repeat; a second press under 528 ms after the first is a second tap (one query
// reads up), from 528 ms on the first repeat; events under 100 ms apart are auto-repeat.
TEST(HeldKeys, TheWindowsAtTheDefaultsHoldToTheMillisecond) {
  for (int vk : {kLeft, kUp, kRight, kDown}) {
    HeldKeys h;
    h.press(vk, 1000);
    EXPECT_TRUE(h.down(vk, 1719)) << vk;
    EXPECT_FALSE(h.down(vk, 1720)) << vk;
    const std::vector<int64_t> ev = held(5000, 1000, 660, 40);
    for (int64_t t : ev) h.press(vk, t);
    EXPECT_TRUE(h.down(vk, ev.back() + 119)) << vk;
    EXPECT_FALSE(h.down(vk, ev.back() + 120)) << vk;
    EXPECT_EQ(h.delay_ms(), 660);
    EXPECT_EQ(h.interval_ms(), 40);
  }
  struct Case {
    int64_t gap;
    bool tap;
  };
  for (Case c : {Case{99, false}, Case{100, true}, Case{527, true}, Case{528, false}}) {
    HeldKeys h;
    h.press(kUp, 0);
    EXPECT_TRUE(h.down(kUp, 1));
    h.press(kUp, c.gap);
    EXPECT_EQ(h.down(kUp, c.gap + 1), !c.tap) << c.gap;
    EXPECT_TRUE(h.down(kUp, c.gap + 2)) << c.gap;
  }
}

// Keyboards repeat anywhere from 125 times a second to 5; faster than that is no keyboard's
// repeat, and a delay under 150 ms none either: neither is learned.
TEST(HeldKeys, OnlyPlausibleRepeatRatesAndDelaysAreLearned) {
  for (int64_t interval : {7, 8}) {
    HeldKeys h;
    poll(h, held(0, 1500, 660, interval), 0, 2000, 20);
    EXPECT_EQ(h.interval_ms(), interval < HeldKeys::kMinIntervalMs ? 40 : interval) << interval;
  }
  for (int64_t delay : {149, 150}) {
    HeldKeys h;
    poll(h, held(0, 1500, delay, 30), 0, 2000, 20);
    EXPECT_EQ(h.delay_ms(), delay < HeldKeys::kMinDelayMs ? 660 : delay) << delay;
  }
}

TEST(HeldKeys, FocusLostClearsInferredKeysToo) {
  HeldKeys h;
  h.press(con::VK_RIGHT, 0);
  EXPECT_TRUE(h.down(con::VK_RIGHT, 1));
  h.clear();
  EXPECT_FALSE(h.down(con::VK_RIGHT, 2));
}

}  // namespace
