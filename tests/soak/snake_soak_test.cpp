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

namespace {

constexpr int kGames = 150;
constexpr int64_t kStopMs = 240000;  // a game still running then is standing still on purpose

// A player that looks at the board every tick: now and then a random key (a stray letter that
// stops the snake, a reversal, an arrow, a held arrow, rarely Escape), otherwise a turn away
// from a wall or the body, and toward the food. Random keys alone end a game within a few
// seconds; this one lives long enough to eat, speed up and sometimes win.
struct Player {
  std::mt19937 rng;
  int dx = 2, dy = 0;  // the way the snake goes, as far as the keys sent tell
  bool still = false;

  static bool find(char32_t glyph, int& gx, int& gy) {
    const con::Screen& s = con::screen();
    for (int y = 2; y <= 27; ++y)
      for (int x = 2; x <= 83; ++x)
        if (s.at(x, y).ch == glyph && s.at(x, y).half != con::Half::Trail) {
          gx = x, gy = y;
          return true;
        }
    return false;
  }
  static bool safe(int x, int y) {
    if (x <= 2 || x >= 82 || y <= 2 || y >= 27) return false;
    const char32_t c = con::screen().at(x, y).ch;
    return c != U'身' && c != U'尾';
  }
  void go(con::Headless& h, int ndx, int ndy) {
    static const char kLetter[] = "wsad";
    const int k = ndy < 0 ? 0 : ndy > 0 ? 1 : ndx < 0 ? 2 : 3;
    const int64_t t = h.now();
    const unsigned r = rng() % 10;
    if (r < 2) {
      static const int kScan[] = {72, 80, 75, 77};
      h.arrow(kScan[k], t);
    } else if (r < 3) {
      h.key(kLetter[k] - 32, t);  // upper case steers too
    } else {
      h.key(kLetter[k], t);
    }
    dx = ndx, dy = ndy, still = false;
  }

  void tick(con::Headless& h) {
    if (!con::keys().empty()) return;  // the last key is not taken yet
    int hx, hy, fx = 0, fy = 0;
    if (!find(U'头', hx, hy)) return;
    const bool food = find(U'食', fx, fy);
    const unsigned r = rng() % 100;
    if (r < 2) {
      static const char kStray[] = "xq 1";
      h.key(kStray[rng() % (sizeof kStray - 1)], h.now());
      still = true;
      return;
    }
    if (r == 2 && rng() % 4 == 0) {
      static const char kAny[] = "wasdWASDHPKM";
      h.key(kAny[rng() % (sizeof kAny - 1)], h.now());  // may well run into the body
      return;
    }
    if (r == 3 && rng() % 20 == 0) {
      h.key(27, h.now());
      return;
    }
    static const int kDirs[4][2] = {{0, -1}, {0, 1}, {-2, 0}, {2, 0}};
    int best = -1, best_gain = -1000;
    for (int d = 0; d < 4; ++d) {
      const int nx = hx + kDirs[d][0], ny = hy + kDirs[d][1];
      if (!safe(nx, ny)) continue;
      int gain = food ? std::abs(fx - hx) / 2 + std::abs(fy - hy) -
                            (std::abs(fx - nx) / 2 + std::abs(fy - ny))
                      : 0;
      gain = gain * 4 + static_cast<int>(rng() % 3);
      if (gain > best_gain) best = d, best_gain = gain;
    }
    const bool ahead_safe = !still && safe(hx + dx, hy + dy);
    if (best < 0) return;
    if (r == 4 && ahead_safe && !still) {
      // Held down: from half a second on the repeats keep a second key waiting every tick.
      static const int kVk[4] = {con::VK_UP, con::VK_DOWN, con::VK_LEFT, con::VK_RIGHT};
      int room = 0;
      while (safe(hx + dx * (room + 1), hy + dy * (room + 1))) ++room;
      const int d = dy < 0 ? 0 : dy > 0 ? 1 : dx < 0 ? 2 : 3;
      if (room > 12) h.hold(kVk[d], h.now(), h.now() + 500 + (room - 12) * 20);
      return;
    }
    const bool turn = !ahead_safe || still || (kDirs[best][0] != dx || kDirs[best][1] != dy);
    if (turn && (!ahead_safe || still || rng() % 3 == 0)) go(h, kDirs[best][0], kDirs[best][1]);
  }
};

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
    Player player{std::mt19937(static_cast<unsigned>(seed))};
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
