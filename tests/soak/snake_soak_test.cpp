// Snake games, headless and seeded, played with random keys mixed into sane steering: arrows,
// wasd in both cases, the letters that steer like arrows, stray keys that stop the snake, held
// arrows that repeat, now and then Escape. Every game must keep its head on the board, end with the
// result screen that matches its panel, and hand back to the launcher.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "snake/snake.hpp"
#include "soak/players.hpp"

namespace {

constexpr int kGames = 150;
constexpr int64_t kStopMs = 240000;  // a game still running then is standing still on purpose

struct Seen {
  int panel_score = -1, result = -1;
  bool won = false, lost = false, head_off_board = false;
  long ticks = 0;
};

TEST(SnakeSoak, RandomKeysNeverBreakTheBoardOrTheResult) {
  long ticks = 0, ended = 0, stopped = 0, best = 0, wins = 0;
  for (int seed = 1; seed <= kGames; ++seed) {
    con::Headless h;
    h.line(seed % 4 == 0 ? "5" : "1");  // any number but 2 and 3 starts the game
    h.stop_at_ms = kStopMs;
    soak::SnakePlayer player{std::mt19937(static_cast<unsigned>(seed))};
    Seen seen;
    h.on_sleep = [&seen, &player](con::Headless& hh) {
      const con::Screen& s = con::screen();
      int v;
      if (std::sscanf(s.text_at(87, 19, 16).c_str(), "当前得分:%d", &v) == 1) {
        seen.panel_score = v;
        ++seen.ticks;
        // The head stays within the frame, or on it in the tick that ends the game.
        bool head = false;
        for (int y = 2; y <= 27; ++y)
          for (int x = 2; x <= 83; ++x) head = head || s.at(x, y).ch == U'头';
        for (int y = 0; y < s.height(); ++y)
          for (int x = 84; x < s.width(); ++x)
            if (s.at(x, y).ch == U'头') seen.head_off_board = true;
        if (!head && s.text_at(22, 0, 8) != "糟糕 T_T") seen.head_off_board = true;
        if (head) player.tick(hh);
      }
      const std::string r = s.text_at(24, 7, 30);
      if (std::sscanf(r.c_str(), "你的最终得分是：%d", &v) == 1) seen.result = v, seen.lost = true;
      if (r.rfind("你得到了满分：24", 0) == 0) seen.result = 24, seen.won = true;
    };
    snake::reset();
    snake::Outcome outcome = snake::Outcome::Quit;
    bool returned = false;
    con::run_headless(h, [&] {
      outcome = snake::play();
      returned = true;
      return 0;
    });

    EXPECT_FALSE(seen.head_off_board) << "seed " << seed;
    ticks += seen.ticks;
    if (!returned) {
      EXPECT_GE(h.now(), kStopMs) << "seed " << seed << ": the game ended without a result";
      ++stopped;
      continue;
    }
    ++ended;
    EXPECT_EQ(outcome, snake::Outcome::BackToLauncher) << seed;
    ASSERT_TRUE(seen.lost || seen.won) << "seed " << seed << ": no result screen";
    EXPECT_EQ(seen.result, seen.panel_score + (seen.won ? 1 : 0)) << seed;
    if (seen.result > best) best = seen.result;
    wins += seen.won;
    // The result screen is cleared before the launcher comes back.
    EXPECT_EQ(con::screen().row_text(7).find_first_not_of(' '), std::string::npos) << seed;
  }
  EXPECT_GT(ended, kGames / 2);
  EXPECT_GT(wins, 0);  // the soak reaches the last speed and the won screen
  std::printf(
      "snake soak: %d games, %ld ticks; %ld ended (%ld won), %ld still running at %lld s; "
      "best score %ld\n",
      kGames, ticks, ended, wins, stopped, static_cast<long long>(kStopMs / 1000), best);
}

}  // namespace
