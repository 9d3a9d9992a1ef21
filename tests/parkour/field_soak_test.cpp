// The long sweep: wave 0 of each monster family for 25 seeds under six input schedules
// (600 waves, 840,000 ticks), and every boss for seven seeds under four, watched cell by cell.
// Under the sanitizers it plays a fifth of the families' seeds and one seed of each boss.
#include <gtest/gtest.h>

#include <cstdio>

#include "parkour/field_watch.hpp"

using namespace parkour_test;

namespace {

constexpr int kShare = kSanitized ? 5 : 1;

}  // namespace

TEST(ParkourFieldSoak, MonsterWavesOfEveryFamily) {
  SweepTotals all, by_family[4];
  sweep_families(25 / kShare, {0, 1, 2, 3, 4, 5}, all, by_family);
  EXPECT_EQ(all.waves, 4 * (25 / kShare) * 6);
  for (int f = 0; f < 4; ++f) {
    char title[32];
    std::snprintf(title, sizeof title, "family %d", f + 1);
    const std::string report = by_family[f].report(title);
    std::printf("%s", report.c_str());
    EXPECT_EQ(by_family[f].ticks, by_family[f].waves * 1400) << report;
    EXPECT_EQ(by_family[f].ground_holes, 0) << report;
    EXPECT_EQ(by_family[f].strays, 0) << report;
    EXPECT_EQ(by_family[f].wraps, 0) << report;
    EXPECT_EQ(by_family[f].stale_writes, 0) << report;
  }
  std::printf("%s", all.report("all families").c_str());
}

// Boss 1's lightning wipes its spark's first cell and its sight with plain blanks, also on the
// ground line, as that attack is drawn; so only the other rows, the edges and the cursor count.
TEST(ParkourFieldSoak, BossWaves) {
  SweepTotals all;
  sweep_bosses(kSanitized ? 1 : 7, {0, 1, 3, 5}, all);
  const std::string report = all.report("boss waves");
  std::printf("%s", report.c_str());
  EXPECT_EQ(all.strays, 0) << report;
  EXPECT_EQ(all.wraps, 0) << report;
  EXPECT_EQ(all.stale_writes, 0) << report;
}
