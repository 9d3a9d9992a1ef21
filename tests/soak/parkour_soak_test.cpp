// Parkour games, headless and seeded, with random keys: arrows held for random spans (their
// repeats piling up in the key queue as on the console), taps, pauses, stray keys at the talent
// screen. Every wave is played with a player who can die, and whole games with a player kept
// alive run from the launcher to "YOU WIN !".
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "launcher/launcher.hpp"
#include "parkour/world.hpp"
#include "soak/players.hpp"

namespace {

// A headless console that fails the run when the game writes on and on without sleeping.
struct Box : con::Headless {
  long writes_since_sleep = 0;
  void text(std::string_view) override {
    if (++writes_since_sleep > 1000000) throw std::runtime_error("writes without a sleep");
  }
};

void check_world() {
  using namespace parkour;
  ASSERT_GE(Win, 0);
  ASSERT_LE(Win, 7);
  ASSERT_GE(bl, 0);
  ASSERT_LT(br, kRecords);
  ASSERT_LE(bl, br + 1);
}

TEST(ParkourSoak, EveryWaveWithRandomKeysAndAMortalPlayer) {
  constexpr int kSeeds = 4;
  constexpr int kTicksInWave = 2500;
  long ticks = 0, lost = 0, won = 0;
  for (int wave = 0; wave <= 7; ++wave) {
    for (int seed = 1; seed <= kSeeds; ++seed) {
      Box h;
      h.line("2");
      soak::ParkourKeys keys{std::mt19937(static_cast<unsigned>(seed * 10 + wave))};
      int start_t = -1, last_t = -1, deaths = 0;
      bool reached = false;
      h.on_sleep = [&](con::Headless& hh) {
        h.writes_since_sleep = 0;
        using namespace parkour;
        check_world();
        if (T == last_t) return;  // a flash or a screen between waves
        last_t = T;
        ++ticks;
        if (Win < wave) {
          // On the way to the wave under test: kept alive and armed, no keys.
          soak::keep_alive();
          return;
        }
        if (!reached) {
          reached = true;
          start_t = 0;
          deaths = D;
        }
        if (D > deaths) lost += D - deaths;  // a lost wave, replayed
        deaths = D;
        keys.tick(hh);
        if (++start_t >= kTicksInWave || Win > wave) throw con::Exit{0};
      };
      h.on_wait = [&](con::Headless& hh) { keys.wait(hh); };
      h.stop_at_ms = 60LL * 60 * 1000;
      parkour::reset();
      con::set_seed_override(static_cast<unsigned>(seed));
      const int rc = con::run_headless(h, [] { return launcher::run(); });
      con::set_seed_override(std::nullopt);
      EXPECT_EQ(rc, 0);
      EXPECT_TRUE(reached) << "wave " << wave << " seed " << seed;
      EXPECT_LT(h.now(), h.stop_at_ms) << "wave " << wave << " seed " << seed;
      won += parkour::Win > wave;
    }
  }
  std::printf("parkour soak: 8 waves x %d seeds, %ld ticks; %ld waves lost and replayed, %ld won\n",
              kSeeds, ticks, lost, won);
}

TEST(ParkourSoak, WholeGamesWithRandomKeysAndAPlayerKeptAlive) {
  constexpr int kGames = 12;
  long ticks = 0;
  for (int seed = 1; seed <= kGames; ++seed) {
    Box h;
    h.line("2");
    soak::ParkourKeys keys{std::mt19937(static_cast<unsigned>(seed))};
    std::set<int> waves;
    int last_t = -1;
    h.on_sleep = [&](con::Headless& hh) {
      h.writes_since_sleep = 0;
      using namespace parkour;
      check_world();
      waves.insert(Win);
      soak::keep_alive();
      if (T == last_t) return;
      last_t = T;
      ++ticks;
      keys.tick(hh);
    };
    h.on_wait = [&](con::Headless& hh) { keys.wait(hh); };
    h.stop_at_ms = 60LL * 60 * 1000;
    parkour::reset();
    con::set_seed_override(static_cast<unsigned>(seed));
    const int rc = con::run_headless(h, [] { return launcher::run(); });
    con::set_seed_override(std::nullopt);
    EXPECT_EQ(rc, 0) << seed;
    EXPECT_LT(h.now(), h.stop_at_ms) << "seed " << seed << ": no end in an hour";
    EXPECT_EQ(con::screen().text_at(22, 15, 9), "YOU WIN !") << seed;
    EXPECT_EQ(waves, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7})) << seed;
  }
  std::printf("parkour soak: %d whole games kept alive, %ld ticks\n", kGames, ticks);
}

}  // namespace
