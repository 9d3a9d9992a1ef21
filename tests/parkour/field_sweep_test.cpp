// Whole waves watched cell by cell: nothing the game draws may run past the field's edges, land
// at a cursor that could not be placed, or leave a cell wrong once nothing stands on it.
#include <gtest/gtest.h>

#include <cstdio>

#include "parkour/field_watch.hpp"
#include "parkour/harness.hpp"

using namespace parkour;
using namespace parkour_test;

namespace {

void expect_clean(const SweepTotals& t, const char* title) {
  const std::string report = t.report(title);
  std::printf("%s", report.c_str());
  EXPECT_GT(t.ticks, 0);
  EXPECT_EQ(t.ground_holes, 0) << report;
  EXPECT_EQ(t.strays, 0) << report;
  EXPECT_EQ(t.wraps, 0) << report;
  EXPECT_EQ(t.stale_writes, 0) << report;
}

}  // namespace

TEST(ParkourFieldSweep, EveryFamilyKeepsTheGroundLineWhole) {
  SweepTotals all, by_family[4];
  const int seeds = kSanitized ? 1 : 2;
  sweep_families(seeds, {0, 1, 2, 3, 4, 5}, all, by_family);
  EXPECT_EQ(all.waves, 24 * seeds);
  EXPECT_EQ(all.ticks, 24 * seeds * 1400);
  expect_clean(all, "monster waves");
}

TEST(ParkourFieldSweep, BossWavesStayOnTheirRows) {
  SweepTotals all;
  sweep_bosses(1, {0, 3, 5}, all);
  EXPECT_EQ(all.waves, 12);
  const std::string report = all.report("boss waves");
  std::printf("%s", report.c_str());
  EXPECT_EQ(all.strays, 0) << report;
  EXPECT_EQ(all.wraps, 0) << report;
  EXPECT_EQ(all.stale_writes, 0) << report;
}

// The sweeps can only pass if the watch sees the faults it is there for.
TEST(ParkourField, TheWatchSeesHolesStraysWrapsAndStaleWrites) {
  parkour::reset();
  FieldWatch h;
  con::run_headless(h, [&h] {
    con::system("mode con cols=60 lines=37");
    clean_field();
    con::Setpos(20, 2.5f);
    con::print(" ");  // a hole at column 5
    con::Setpos(12, 3);
    con::print("@");  // a stray at column 6 of row 12
    // The hole counts at its 18th tick; the stray, drawn in the first, at its 19th.
    for (int t = 0; t < 19; ++t) {
      // Something standing still and drawn every tick does not count.
      con::Setpos(20, 10);
      con::print("●");
      h.end_tick();
    }
    con::Setpos(10, 29);
    con::print("●●");  // runs on to row 11
    con::Setpos(14, 5);
    con::print("a");
    con::Setpos(14, 40);  // off the screen: the cursor stays
    con::print("b");
    return 0;
  });
  EXPECT_EQ(h.ticks, 19);
  EXPECT_EQ(h.ground_holes, 1);
  EXPECT_EQ(h.strays, 1);
  EXPECT_EQ(h.ticks_with_hole, 2);
  ASSERT_EQ(h.found.size(), 2u);
  EXPECT_EQ(h.found[0].x, 5);
  EXPECT_EQ(h.found[0].y, 20);
  EXPECT_EQ(h.found[1].x, 6);
  EXPECT_EQ(h.found[1].y, 12);
  EXPECT_EQ(h.wraps, 1);
  EXPECT_EQ(h.stale_writes, 1);
}
