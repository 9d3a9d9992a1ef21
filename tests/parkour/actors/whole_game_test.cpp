// A whole parkour game, from the launcher's menu to "YOU WIN !" and the program's end, played
// headless on a fixed seed. The player loses the first try of wave 0, is kept alive after that
// and given darts; the bosses fall to the darts, drops and strikes of the game itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "launcher/launcher.hpp"
#include "parkour/world.hpp"

using namespace parkour;

namespace {

struct Record {
  std::set<int> waves;
  std::vector<int> bosses;  // in order of appearance
  std::vector<std::string> offers;
  int boss_health_seen_low = 0;  // boss waves that ended with the boss beaten
  int final_ticks = 0;
  std::vector<int> deaths = std::vector<int>(8);  // the most seen in each wave
  std::string replay_hud;                         // the death count shown in the replay
};

int play_whole_game(unsigned seed, Record& rec) {
  con::Headless h;
  h.line("2");
  int last_win = -1, last_bblo = 0, last_boss = 0;
  h.on_sleep = [&](con::Headless& hh) {
    (void)hh;
    if (Win != last_win) {
      if (last_win % 2 == 1 && last_win != 7 && last_bblo <= 0) ++rec.boss_health_seen_low;
      last_win = Win;
    }
    rec.waves.insert(Win);
    if (Boss != 0 && Boss != last_boss) rec.bosses.push_back(Boss);
    last_boss = Boss;
    last_bblo = Bblo;
    if (Win == 7) rec.final_ticks = T;
    if (Win >= 0 && Win < 8 && D > rec.deaths[static_cast<size_t>(Win)]) {
      rec.deaths[static_cast<size_t>(Win)] = D;
    }
    if (Win == 0 && D == 1 && T == 2) rec.replay_hud = con::screen().text_at(18, 1, 11);
    // The player stands still: it loses the first try of wave 0 and is kept alive after that.
    if ((Win > 0 || D > 0) && Blo < Blomax) Blo = static_cast<float>(Blomax);
    if (Boss != 0 && Biao < 2) Biao += 2;  // and armed against the bosses
  };
  h.on_wait = [&](con::Headless& hh) {
    // Only the talent screen waits for a key in the parkour game.
    rec.offers.push_back(con::screen().text_at(20, 12, 12));
    hh.key('x');  // ignored
    hh.key(rec.offers.size() == 1 ? 'n' : 'y');
  };
  h.stop_at_ms = 40LL * 60 * 1000;  // a runaway game fails instead of hanging
  con::set_seed_override(seed);
  reset();
  const int rc = con::run_headless(h, [] { return launcher::run(); });
  con::set_seed_override(std::nullopt);
  return rc == 0 && h.now() < h.stop_at_ms ? 0 : 1;
}

}  // namespace

TEST(ParkourWholeGame, EightWavesToYouWin) {
  Record rec;
  ASSERT_EQ(play_whole_game(20240607, rec), 0);
  EXPECT_EQ(con::screen().text_at(22, 15, 9), "YOU WIN !");
  EXPECT_EQ(con::screen().at(22, 15).attr, 0x0E);
  EXPECT_EQ(rec.waves, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  // Each boss once in the boss waves, then all three together.
  ASSERT_EQ(rec.bosses.size(), 4u);
  EXPECT_EQ(std::set<int>(rec.bosses.begin(), rec.bosses.begin() + 3), (std::set<int>{1, 2, 3}));
  EXPECT_EQ(rec.bosses[3], 6);
  EXPECT_EQ(rec.boss_health_seen_low, 3);
  EXPECT_EQ(rec.offers.size(), 3u);  // before waves 2, 4 and 6
  for (const std::string& offer : rec.offers) {
    EXPECT_EQ(offer.find("小无敌"), std::string::npos);
    EXPECT_NE(offer.find_first_not_of(' '), std::string::npos);
  }
  // One loss, counted on the replay's screen; a won wave starts the count again.
  EXPECT_EQ(rec.deaths, (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(rec.replay_hud, "死亡次数: 1");
  EXPECT_GT(Lv, 1);
  EXPECT_GE(Ren, 2);  // the second screen's offer was taken
  // The darts bring the three bosses down before the clock runs out, and the clock shows when.
  EXPECT_LE(Bblo, 0);
  EXPECT_LT(rec.final_ticks, 450);
  char clock[32];
  std::snprintf(clock, sizeof clock, "时间: %0.1f s  ", rec.final_ticks / 15.0);
  EXPECT_EQ(con::screen().text_at(18, 1, 14).rfind(clock, 0), 0u) << clock;
}
