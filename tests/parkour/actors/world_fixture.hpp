// A fresh parkour world on a headless 60x37 console, for the actors' tests.
#pragma once

#include <cstring>
#include <functional>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "parkour/world.hpp"

namespace actors_test {

// The state a wave starts from: the player standing at home on the upper level, an empty table,
// no drops, no target found.
inline void fresh_wave() {
  using namespace parkour;
  reset();
  clear_table();
  X = 18, Y = 6, Ding = 6.25f;
  Blomax = 100, Blo = 100, Lv = 1, Ren = 1, Expmax = 300, Hui = 15;
  std::memset(I, 0xFF, sizeof I);
  Dis = Dis1 = kNone;
}

// Runs `body` with a console attached (seeded with `seed`) and a fresh wave.
inline void in_world(const std::function<void()>& body, unsigned seed = 1,
                     con::Headless* backend = nullptr) {
  con::Headless local;
  con::Headless& h = backend ? *backend : local;
  con::run_headless(h, [&] {
    con::system("mode con cols=60 lines=37");
    con::srand(seed);
    fresh_wave();
    body();
    return 0;
  });
}

// Records of a type in the live window.
inline int count_type(int type) {
  int n = 0;
  for (int k = parkour::bl; k <= parkour::br; ++k)
    if (parkour::B[k].type == type && parkour::B[k].alive) ++n;
  return n;
}

}  // namespace actors_test
