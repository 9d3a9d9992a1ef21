// Helpers for the parkour tests: one fresh world for calling the routines directly (the actors'
// tests too), and the whole game run headless with a callback after every tick.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "parkour/parkour.hpp"
#include "parkour/world.hpp"

namespace parkour_test {

// The player standing on the upper level, at home, nothing running.
inline void stand(float y = 6.25f) {
  using namespace parkour;
  X = 18, Y = y, Vx = 0, Vy = 0, Up = 0, Down = 0, Upt = 0;
  Ding = 6.25f;
  Blomax = 100, Blo = 100, Expmax = 300, Lv = 1, Ren = 1;
  Killb = 0, Kill = 0;
}

// Runs `body` with a fresh world on a headless console of the game's size (on `backend`, when
// given, so that a test can watch its sleeps), as a wave starts: the player standing at home
// on the upper level at full health, an empty table, no drops, no target found, the generator
// seeded with `seed`.
inline void in_world(const std::function<void()>& body, unsigned seed = 1,
                     con::Headless* backend = nullptr) {
  using namespace parkour;
  reset();
  con::Headless local;
  con::Headless& h = backend ? *backend : local;
  con::run_headless(h, [&] {
    con::system("mode con cols=60 lines=37");
    con::srand(seed);
    clear_table();
    stand();
    Hui = 15;
    std::memset(I, 0xFF, sizeof I);
    Dis = Dis1 = kNone;
    body();
    return 0;
  });
}

// An empty table, as after a wave (re)start.
inline void empty_table() {
  parkour::clear_table();
}

// Appends a live record.
inline parkour::Obj& add(int type, float row, float col, float vrow = 0, float vcol = 0) {
  parkour::Obj* r = parkour::new_record();
  r->type = type;
  r->row = row;
  r->col = col;
  r->vrow = vrow;
  r->vcol = vcol;
  r->alive = 1;
  return *r;
}

// Keeps the field quiet for tests of the loop itself: no goods (the generator's pending draw
// set to one that matches nothing), whatever came this tick dead before it can act, and with
// `immortal` the player at full health.
inline void calm(bool immortal = true) {
  using namespace parkour;
  Gd[1] = 10086;
  for (int i = bl; i <= br; ++i) B[i].alive = 0;
  if (immortal) Blo = static_cast<float>(Blomax);
}

// Records of a type in the live window.
inline int count_type(int type) {
  int n = 0;
  for (int k = parkour::bl; k <= parkour::br; ++k)
    if (parkour::B[k].type == type && parkour::B[k].alive) ++n;
  return n;
}

inline char32_t glyph(int x, int y) {
  return con::screen().at(x, y).ch;
}
inline uint8_t attr(int x, int y) {
  return con::screen().at(x, y).attr;
}
inline std::string text(int x, int y, int len) {
  return con::screen().text_at(x, y, len);
}

// The whole screen, to compare with later.
inline std::vector<con::Cell> snapshot() {
  const con::Screen& s = con::screen();
  std::vector<con::Cell> out;
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) out.push_back(s.at(x, y));
  return out;
}

// The cells whose glyph differs from `before` (colours aside), as "(x,y)" one after another.
inline std::string changed(const std::vector<con::Cell>& before) {
  const con::Screen& s = con::screen();
  std::string out;
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) {
      const con::Cell& now = s.at(x, y);
      const con::Cell& was = before[static_cast<size_t>(y * s.width() + x)];
      if (now.ch == was.ch && now.half == was.half) continue;
      char b[32];
      std::snprintf(b, sizeof b, "(%d,%d)", x, y);
      out += b;
    }
  return out;
}

// A cleared screen with the ground line, as after the loop's "cls".
inline void clean_field() {
  con::system("cls");
  con::Setpos(20, 0);
  con::print(std::string(60, '='));
}

inline const std::string kGroundRow(60, '=');

// Plays the game from its entry. `frame` runs after every tick's frame delay, when the tick's
// work is done but for the end-of-wave test; it may change the world, hold keys for the next
// tick (keys are polled at the clock's current time) or end the run by throwing con::Exit.
// A pause or a flash inside a tick makes the call come at that sleep instead.
struct Game {
  con::Headless h;
  std::function<void(con::Headless&)> frame;
  // Runs at every sleep, before `frame`: flashes, screens between waves.
  std::function<void(con::Headless&)> sleep;
  // Runs when the game waits for a key; by default it declines the talent screen with "n".
  std::function<void(con::Headless&)> wait = [](con::Headless& hh) { hh.key('n', hh.now()); };
  int last_t = 0;
  bool returned = false;

  int run() {
    parkour::reset();
    // A whole game takes under ten minutes of virtual time: a run that goes on is stuck.
    if (!h.stop_at_ms) h.stop_at_ms = 30 * 60 * 1000;
    h.on_sleep = [this](con::Headless& hh) {
      if (sleep) sleep(hh);
      if (parkour::T >= 1 && parkour::T != last_t) {
        last_t = parkour::T;
        if (frame) frame(hh);
      }
    };
    h.on_wait = [this](con::Headless& hh) {
      if (wait) wait(hh);
    };
    return con::run_headless(h, [this] {
      parkour::play();
      returned = true;
      return 0;
    });
  }

  // Holds a key during the next tick's polls.
  void hold_next(int vk) { h.hold(vk, h.now(), h.now() + 1, false); }
};

}  // namespace parkour_test
