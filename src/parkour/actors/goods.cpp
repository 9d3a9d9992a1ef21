// Goods, darts and water drops: one dart from the stock per tick, the random goods generator,
// and the drops of the water power flying right.
#include <cstring>

#include "console/console.hpp"
#include "parkour/field.hpp"
#include "parkour/world.hpp"

namespace parkour {

namespace {

// The generator's pending draw in the final wave: it matches no rule, so nothing comes.
constexpr int kNoGoods = 10086;

void clear_gd() {
  std::memset(Gd, 0, sizeof Gd);
}

// A coin line: a coin every second step, five in all, then the generator starts over.
void coin_line(int type) {
  Gd[2] += 1;
  if (Gd[2] % 2 == 1) Guai(type, Gd[3]);
  if (Gd[2] > 8) clear_gd();
}

void generate() {
  if (Gd[1] == 0) {
    Gd[1] = 1 + con::rand() % 1000;
    if (Win == 7) Gd[1] = kNoGoods;
    Gd[3] = 8 + con::rand() % 16;
    return;
  }
  const int g = Gd[1];
  if (g >= 1 && g <= 5) {
    Guai(-2 - g, Gd[3]);  // fire, water, wind, thunder, magnet
    clear_gd();
  } else if (g >= 20 && g <= 26) {
    Guai(-8, Gd[3]);
    clear_gd();
  } else if (g >= 30 && g <= 36) {
    Guai(-9, Gd[3]);
    clear_gd();
  } else if (g >= 40 && g <= 69) {
    coin_line(-10);
  } else if (g >= 70 && g <= 99) {
    coin_line(-11);
  } else if (g >= 450 && g <= 500 && Boss != 0) {
    Guai(-2, Gd[3]);  // darts only help against a boss
    clear_gd();
  } else {
    Gd[1] = 0;
  }
}

void move_drops() {
  for (auto& d : I) {
    if (d[0] == -1) continue;
    // A drop the fan placed off the screen has no cell there to erase or draw.
    con::Color(0);
    wipe(static_cast<float>(d[0]), static_cast<float>(d[1]), 3);
    d[1] += 1;
    if (d[0] < 1 || d[0] > 27 || d[1] > 28) {
      d[0] = d[1] = -1;
    } else {
      con::Color(1);
      put(static_cast<float>(d[0]), static_cast<float>(d[1]), "■");
    }
    con::Color(0);
  }
}

}  // namespace

void RandGood() {
  if (Biao > 0) {
    Biao -= 1;
    Guai(-1, 0);
  }
  generate();
  move_drops();
}

}  // namespace parkour
