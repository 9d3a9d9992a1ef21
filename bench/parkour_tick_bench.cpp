// CPU time per tick of the parkour loop, headless, drawing into the screen model included.
// Two cases: a table kept empty, and a few hundred live records on the field. The game has
// 17 ms per tick in its fastest wave; the target is under 100 microseconds.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "parkour/parkour.hpp"
#include "parkour/world.hpp"
#include "table.hpp"

namespace {

using namespace parkour;

int live_records() {
  int n = 0;
  for (int i = bl; i <= br; ++i) n += B[i].alive != 0;
  return n;
}

// Keeps about `target` monsters and goods on the upper rows, away from the player.
void top_up(int target) {
  static const int kTypes[] = {1, 2, 6, 13, 16, -10, -3, 10};
  int n = live_records();
  for (int k = 0; n < target && k < 40; ++k, ++n) {
    Obj* r = new_record();
    if (!r) return;
    int t = kTypes[con::rand() % 8];
    r->type = t;
    r->row = static_cast<float>(6 + con::rand() % 8);
    r->col = 28;
    r->vcol = 0.25f + static_cast<float>(con::rand() % 10) / 40;
    r->param = t == -3 ? static_cast<int>(r->row) : 0;
    r->alive = 1;
  }
}

struct Result {
  int ticks;
  double cpu_us, wall_us, avg_live;
};

Result measure(int ticks, int live) {
  reset();
  con::Headless h;
  int seen = 0, last_t = 0;
  double live_sum = 0;
  h.on_sleep = [&](con::Headless&) {
    if (T == last_t) return;
    last_t = T;
    Blo = static_cast<float>(Blomax);  // the player never loses
    Win = 0;                           // wave 0 again and again
    if (T > 1300) T = 50;
    L = 0;  // no wave script: the table holds only what is put there
    if (live > 0) top_up(live);
    live_sum += live_records();
    if (++seen >= ticks) throw con::Exit{0};
  };
  std::clock_t c0 = std::clock();
  auto w0 = std::chrono::steady_clock::now();
  con::run_headless(h, [] {
    play();
    return 0;
  });
  std::clock_t c1 = std::clock();
  auto w1 = std::chrono::steady_clock::now();
  Result r;
  r.ticks = seen;
  r.cpu_us = 1e6 * static_cast<double>(c1 - c0) / CLOCKS_PER_SEC / seen;
  r.wall_us = std::chrono::duration<double, std::micro>(w1 - w0).count() / seen;
  r.avg_live = live_sum / seen;
  return r;
}

}  // namespace

int main() {
  const int kTicks = 20000;
  std::printf("parkour tick (headless, screen model drawn), %d ticks per case\n", kTicks);
  std::string figure;
  for (int live : {0, 300, 600}) {
    Result r = measure(kTicks, live);
    std::printf(
        "  %-22s %7.1f us CPU/tick  %7.1f us wall/tick  (%.0f live records on average)\n",
        live == 0 ? "empty table:" : (live == 300 ? "~300 live records:" : "~600 live records:"),
        r.cpu_us, r.wall_us, r.avg_live);
    figure += bench::format(live == 0 ? "%.1f" : " / %.1f", r.cpu_us);
  }
  bench::row("`parkour_tick_bench`: CPU per tick, empty table / ~300 / ~600 live records",
             figure + " µs", "under 100 µs with a few hundred");
  return 0;
}
