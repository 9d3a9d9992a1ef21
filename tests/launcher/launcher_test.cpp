#include "launcher/launcher.hpp"

#include <gtest/gtest.h>

#include "console/headless.hpp"
#include "console/session.hpp"

namespace {

int run_launcher(con::Headless& h) {
  return con::run_headless(h, [] { return launcher::run(); });
}

void expect_frame(const con::Screen& s, uint8_t attr) {
  for (int x = 2; x <= 117; ++x) {
    EXPECT_EQ(s.at(x, 2).ch, U'*') << x;
    EXPECT_EQ(s.at(x, 27).ch, U'*') << x;
  }
  for (int y = 2; y <= 27; ++y) {
    EXPECT_EQ(s.at(2, y).ch, U'*') << y;
    EXPECT_EQ(s.at(118, y).ch, U'*') << y;
  }
  EXPECT_EQ(s.at(1, 2).ch, U' ');
  EXPECT_EQ(s.at(119, 2).ch, U' ');
  EXPECT_EQ(s.at(118, 28).ch, U' ');
  EXPECT_EQ(s.at(3, 3).ch, U' ');
  // The menu line: its third leading space is the left edge's asterisk.
  EXPECT_EQ(s.text_at(0, 3, 31), "  *  1.贪吃蛇  2.跑酷  3.狼人杀");
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) ASSERT_EQ(s.at(x, y).attr, attr) << x << "," << y;
}

}  // namespace

TEST(Launcher, DrawsTheFrameAndMenuThenEndsOnAnyOtherNumber) {
  for (const char* typed : {"0", "4", "-1", "abc"}) {
    con::Headless h;
    h.line(typed);
    EXPECT_EQ(run_launcher(h), 0) << typed;
    const con::Screen& s = con::screen();
    expect_frame(s, 0x30);
    // What the player typed echoed from (5, 5).
    EXPECT_EQ(s.text_at(5, 5, 3).substr(0, std::string(typed).size()), typed);
  }
}

TEST(Launcher, WaitsForTheChoiceOnBlueThenAqua) {
  con::Headless h;
  // Look at the screen while the launcher waits for its number.
  bool looked = false;
  h.on_wait = [&](con::Headless& hh) {
    if (looked) return;
    looked = true;
    const con::Screen& s = con::screen();
    EXPECT_EQ(s.at(60, 15).attr, 0x30);
    EXPECT_EQ(s.cursor_x(), 5);
    EXPECT_EQ(s.cursor_y(), 5);
    EXPECT_EQ(s.at(4, 3).ch, U' ');
    EXPECT_EQ(s.at(5, 3).ch, U'1');
    EXPECT_EQ(s.at(7, 3).ch, U'贪');
    hh.line("9", hh.now());
  };
  EXPECT_EQ(run_launcher(h), 0);
  EXPECT_TRUE(looked);
}

TEST(Launcher, EndOfInputEndsLikeZero) {
  con::Headless h;
  EXPECT_EQ(run_launcher(h), 0);
  expect_frame(con::screen(), 0x30);
}
