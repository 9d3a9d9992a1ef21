#include "launcher/launcher.hpp"

#include <gtest/gtest.h>

#include "console/backends/headless/headless.hpp"
#include "console/session.hpp"
#include "golden.hpp"
#include "snake/snake.hpp"

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

// As the frame is drawn the screen is blue ("color 10"); while the launcher waits it is aqua.
TEST(Launcher, WaitsForTheChoiceOnBlueThenAqua) {
  golden::Film film("launcher");
  golden::Box h;
  h.on_text = [&](std::string_view t) {
    // The menu line goes out between the top edge and the bottom one.
    if (t.find("1.贪吃蛇  2.跑酷  3.狼人杀") != std::string_view::npos) {
      film.shot("drawing", "the launcher as it writes its menu line: top edge only, all blue");
    }
  };
  h.on_wait = [&](con::Headless& hh) {
    if (!film.taken().empty() && film.taken().back() == "choice") return;
    film.shot("choice", "the launcher waiting for the choice");
    hh.line("9", hh.now());
  };
  EXPECT_EQ(run_launcher(h), 0);
  EXPECT_EQ(film.taken(), (std::vector<std::string>{"drawing", "choice"}));
}

// A snake game (cover, Escape at once, the result) brings the launcher back in full, in the
// same colours and positions; a signed choice, "+3", then opens the killer menu.
TEST(Launcher, ComesBackInFullAfterASnakeGame) {
  golden::Film film("launcher");
  con::Headless h;
  int waits = 0;
  h.on_wait = [&](con::Headless& hh) {
    switch (waits++) {
      case 0:
        hh.line("1", hh.now());
        break;
      case 1:  // the snake cover
        hh.line("1", hh.now());
        hh.key(27, hh.now() + 100);  // Escape during the game's first half second
        break;
      case 2:
        film.shot("choice", "the launcher waiting for the choice");
        hh.line("+3", hh.now());
        break;
      case 3:
        film.shot("killer_menu", "\"+3\" typed: the killer game's menu, cleared in aqua");
        break;
    }
  };
  snake::reset();
  EXPECT_EQ(run_launcher(h), 0);
  EXPECT_EQ(film.taken(), (std::vector<std::string>{"choice", "killer_menu"}));
}

// Any other choice ends the program with the frame left on screen and what was typed echoed.
TEST(Launcher, AnotherNumberLeavesTheFrameAndTheEcho) {
  golden::Film film("launcher");
  con::Headless h;
  h.line("  -7 9");
  EXPECT_EQ(run_launcher(h), 0);
  film.shot("ended", "\"  -7 9\" typed at the choice: the program has ended");
}

TEST(Launcher, EndOfInputEndsLikeZero) {
  con::Headless h;
  EXPECT_EQ(run_launcher(h), 0);
  expect_frame(con::screen(), 0x30);
}
