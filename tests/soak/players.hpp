// The soak tests' random players, also the players of the pinned runs (runs_test.cpp): each
// answers the game from what it shows, with keys drawn from its own generator.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "parkour/world.hpp"

namespace soak {

// A player that looks at the board every tick: now and then a random key (a stray letter that
// stops the snake, a reversal, an arrow, a held arrow, rarely Escape), otherwise a turn away
// from a wall or the body, and toward the food. Random keys alone end a game within a few
// seconds; this one lives long enough to eat, speed up and sometimes win.
struct SnakePlayer {
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

// One random answer to whatever the game waits for.
inline void killer_answer(con::Headless& h, std::mt19937& rng) {
  static const char* const kJunk[] = {"abc",
                                      "",
                                      "   ",
                                      "+",
                                      "-",
                                      "1x",
                                      "x1",
                                      "3 5 7",
                                      "47 2",
                                      "0",
                                      "-7",
                                      "16",
                                      "99999999999999999999",
                                      "-9223372036854775808",
                                      "007",
                                      "+15"};
  const int64_t t = h.now();
  const unsigned r = rng() % 100;
  if (r < 55) {
    h.line(std::to_string(rng() % 15 + 1), t);
  } else if (r < 62) {
    h.line("47", t);
  } else if (r < 82) {
    h.line(kJunk[rng() % (sizeof kJunk / sizeof *kJunk)], t);
  } else if (r < 92) {
    h.key(rng() % 2 ? ' ' : 'x', t);
  } else {
    h.arrow(72 + static_cast<int>(rng() % 4) * 3, t);
  }
}

// Random parkour keys: arrows held for random spans (their repeats piling up in the key queue
// as on the console), taps, pauses, stray keys at the talent screen.
struct ParkourKeys {
  std::mt19937 rng;

  // Random input for the next stretch of play; called every tick.
  void tick(con::Headless& h) {
    const int64_t t = h.now();
    const unsigned r = rng() % 100;
    if (r < 6) {
      const int vk = con::VK_LEFT + static_cast<int>(rng() % 4);
      h.hold(vk, t, t + 20 + rng() % 700);
    } else if (r < 8) {
      h.key(rng() % 2 ? 'x' : 'w', t);
    } else if (r == 8 && rng() % 10 == 0) {
      h.key(' ', t);  // pause; the key that ends it comes from on_wait
    }
  }
  // The pause and the talent screen wait for keys.
  void wait(con::Headless& h) {
    static const char kKeys[] = "yn x1";
    h.key(kKeys[rng() % (sizeof kKeys - 1)], h.now());
  }
};

// Keeps the parkour player alive and armed against the bosses: called at every sleep.
inline void keep_alive() {
  using namespace parkour;
  if (Blo < Blomax) Blo = static_cast<float>(Blomax);
  if (Boss != 0 && Biao < 2) Biao += 2;
}

}  // namespace soak
