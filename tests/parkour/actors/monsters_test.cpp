#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "parkour/harness.hpp"

using namespace parkour;
using parkour_test::in_world;

namespace {

std::vector<float> rows_of(int type) {
  std::vector<float> rows;
  for (int k = 0; k <= br; ++k)
    if (B[k].type == type) rows.push_back(B[k].row);
  return rows;
}

// Share of calls of `spawn` that create a record, over n calls.
template <class F>
double spawn_rate(F spawn, int n) {
  int made = 0;
  for (int k = 0; k < n; ++k) {
    clear_table();
    spawn();
    if (br >= 0) ++made;
  }
  return static_cast<double>(made) / n;
}

}  // namespace

TEST(ParkourSpawners, GuaiRequestsMakeTheirRecords) {
  in_world([] {
    Guai(0, 15);
    Guai(1, 17);
    Guai(2, 19);
    Guai(3, 21);
    const int types[4] = {1, 2, 3, 5};
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(B[k].type, types[k]);
      EXPECT_EQ(B[k].row, 15 + 2 * k);
      EXPECT_EQ(B[k].col, 29);
      EXPECT_EQ(B[k].vcol, 1.0f);
      EXPECT_EQ(B[k].vrow, 0);
      EXPECT_EQ(B[k].alive, 1);
    }
    Guai(-3, 12);  // a bobbing ball remembers its home row
    EXPECT_EQ(B[br].param, 12);
    EXPECT_EQ(B[br].vrow, -1.0f);
    Guai(-8, 9);  // the healing ball flies straight
    EXPECT_EQ(B[br].vrow, 0);
    EXPECT_EQ(B[br].type, -8);
    X = 18, Y = 6;
    for (int k = 0; k < 200; ++k) {
      Guai(-1, 0);
      EXPECT_LE(std::fabs(B[br].row - 18), 1);
      EXPECT_LE(std::fabs(B[br].col - 6), 1);
    }
    Guai(7, 10);  // no such request
    EXPECT_EQ(B[br].type, -1);
  });
}

TEST(ParkourSpawners, DrifterRowsColumnsAndSpeeds) {
  in_world([] {
    Guai(4, 3);
    EXPECT_EQ(B[br].row, 5);
    EXPECT_EQ(B[br].col, 29);
    Guai(4, 40);
    EXPECT_EQ(B[br].row, 30);
    EXPECT_EQ(B[br].col, 29);
    Guai(4, 17);
    EXPECT_EQ(B[br].row, 17);
    EXPECT_EQ(B[br].col, 29);

    std::set<float> cols;
    int straight = 0;
    const int n = 20000;
    for (int k = 0; k < n; ++k) {
      clear_table();
      Guai(4, k % 2 ? 11 : 25);
      const Obj& r = B[0];
      EXPECT_EQ(r.type, 6);
      cols.insert(r.col);
      EXPECT_EQ(r.vcol, 0.8f);  // only the single-precision 0.8 ends the speed draw
      EXPECT_LE(std::fabs(r.vrow), 1 / 3.0f + 1e-6f);
      const float steps = r.vrow * 30;
      EXPECT_NEAR(steps, std::round(steps), 1e-4);
      if (r.vrow == 0) ++straight;
    }
    EXPECT_EQ(cols.size(), 20u);
    EXPECT_EQ(*cols.begin(), 10);
    EXPECT_EQ(*cols.rbegin(), 29);
    // One in fifty is a straight runner, plus the draws of 0 among 21.
    const double expect = 1 / 50.0 + 49 / 50.0 / 21;
    EXPECT_NEAR(straight / double(n), expect, 0.01);
  });
}

TEST(ParkourSpawners, CpGuaiOnlyKnowsItsRequests) {
  in_world([] {
    CpGuai(5, 10, 29, 0, 1);
    CpGuai(3, 10, 29, 0, 1);
    CpGuai(9, 10, 29, 0, 1);
    EXPECT_EQ(br, -1);
    CpGuai(4, 10, 29, -0.4f, 0.7f);
    CpGuai(6, 1, 2, 3, 4);
    CpGuai(8, 1, 2, 3, 4);
    EXPECT_EQ(br, 2);
    EXPECT_EQ(B[0].type, 6);
    EXPECT_EQ(B[0].vrow, -0.4f);
    EXPECT_EQ(B[0].vcol, 0.7f);
    for (int k = 0; k <= br; ++k) EXPECT_EQ(B[k].alive, 1) << k;  // live, and a target
    EXPECT_EQ(B[1].type, 10);
    EXPECT_EQ(B[2].type, 12);
    EXPECT_EQ(B[2].row, 1);
    EXPECT_EQ(B[2].col, 2);
  });
}

TEST(ParkourSpawners, AFullTableRefusesSpawns) {
  in_world([] {
    br = kRecords - 1;
    const Obj last = B[kRecords - 1];
    Guai(0, 15);
    Guai(4, 11);
    CpGuai(6, 1, 2, 3, 4);
    NorGuai(1, 81);
    EXPECT_EQ(br, kRecords - 1);
    EXPECT_EQ(B[kRecords - 1].type, last.type);
  });
}

TEST(ParkourSpawners, FamilyScriptsAtSomeTicks) {
  in_world([] {
    auto at = [](int family, int t) {
      clear_table();
      NorGuai(family, t);
      return br + 1;
    };
    at(1, 1);
    EXPECT_EQ(rows_of(1), (std::vector<float>{15, 17, 19}));
    at(1, 81);
    EXPECT_EQ(rows_of(1), (std::vector<float>{11, 13, 15, 17, 19}));
    at(1, 160);
    EXPECT_EQ(rows_of(1), (std::vector<float>{15}));
    at(1, 370);
    EXPECT_EQ(rows_of(1), (std::vector<float>{15}));
    at(1, 460);
    EXPECT_EQ(rows_of(1), (std::vector<float>{9, 10, 11}));
    at(1, 670);
    EXPECT_EQ(rows_of(1), (std::vector<float>{11, 10, 9}));
    at(1, 760);
    EXPECT_EQ(rows_of(1), (std::vector<float>{10, 11, 27, 28}));
    EXPECT_EQ(at(1, 165), 0);
    EXPECT_EQ(at(1, 1301), 0);
    EXPECT_EQ(at(2, 990), 0);
    EXPECT_EQ(at(5, 1), 0);

    at(2, 225);
    EXPECT_EQ(rows_of(2), (std::vector<float>{19}));
    EXPECT_EQ(at(3, 130), 1);  // family 3: rows 15 to 25 going down, every 10 ticks
    EXPECT_EQ(B[0].row, 16);
    EXPECT_EQ(at(3, 270), 1);  // then 25 to 15 going up
    EXPECT_EQ(B[0].row, 22);
    at(2, 561);
    EXPECT_EQ(rows_of(2), (std::vector<float>{17, 21, 25, 19}));  // two rules meet

    at(3, 1);
    EXPECT_EQ(rows_of(5), (std::vector<float>{15}));
    EXPECT_EQ(rows_of(3), (std::vector<float>{17, 19}));
    at(3, 360);
    EXPECT_EQ(rows_of(3), (std::vector<float>{15, 25}));
    at(3, 690);
    EXPECT_EQ(rows_of(5), (std::vector<float>{19}));
    X = 17.9f;
    at(3, 860);
    EXPECT_EQ(rows_of(3), (std::vector<float>{17}));
    at(3, 930);
    EXPECT_EQ(rows_of(3), (std::vector<float>{17}));
    EXPECT_EQ(at(3, 850), 0);

    EXPECT_EQ(at(4, 81), 5);
    EXPECT_EQ(B[0].row, 5);
    EXPECT_EQ(B[0].col, 20);
    EXPECT_EQ(B[3].vrow, 0.25f);
    EXPECT_EQ(at(4, 161), 6);
    EXPECT_EQ(B[2].vcol, 0.6f);
    EXPECT_EQ(at(4, 201), 5);
    for (int k = 0; k < 5; ++k) {
      EXPECT_EQ(B[k].row, 10 + 3 * k);
      EXPECT_GE(B[k].vcol, 0.5f);
      EXPECT_LE(B[k].vcol, 1.1125f);
    }
    // The four dives from the top and the bottom, every fifth tick, from column 8.
    struct Dive {
      int t;
      float row, vrow, vcol;
    };
    for (Dive d : {Dive{546, 5, -2, 0.2f}, Dive{596, 30, 1.5f, 0.2f}, Dive{646, 5, -1.5f, 0.3f},
                   Dive{696, 30, 2, 0.3f}}) {
      EXPECT_EQ(at(4, d.t), 1) << d.t;
      EXPECT_EQ(B[0].row, d.row) << d.t;
      EXPECT_EQ(B[0].col, 8) << d.t;
      EXPECT_EQ(B[0].vrow, d.vrow) << d.t;
      EXPECT_EQ(B[0].vcol, d.vcol) << d.t;
    }
    EXPECT_EQ(at(4, 761), 3);
    for (int k = 0; k < 3; ++k) {
      EXPECT_GE(B[k].row, 12 + 5 * k);
      EXPECT_LE(B[k].row, 14 + 5 * k);
      EXPECT_LE(B[k].vcol, 0.745f);
    }
    EXPECT_EQ(at(4, 200), 0);
  });
}

TEST(ParkourSpawners, FamilyTwoColumnGapOdds) {
  in_world([] {
    int gaps[4] = {};
    for (int k = 0; k < 8000; ++k) {
      clear_table();
      NorGuai(2, 31);
      ASSERT_EQ(br, 2);
      std::set<float> rows;
      for (int j = 0; j <= 2; ++j) rows.insert(B[j].row);
      const float all[4] = {9, 13, 17, 21};
      for (int g = 0; g < 4; ++g)
        if (!rows.count(all[g])) ++gaps[g];
    }
    EXPECT_NEAR(gaps[0] / 8000.0, 0.5, 0.03);
    EXPECT_EQ(gaps[1], 0);
    EXPECT_NEAR(gaps[2] / 8000.0, 0.25, 0.03);
    EXPECT_NEAR(gaps[3] / 8000.0, 0.25, 0.03);
  });
}

TEST(ParkourSpawners, RandomPhaseOdds) {
  in_world([] {
    const int n = 30000;
    EXPECT_NEAR(spawn_rate([] { NorGuai(4, 1000); }, n), 1 / 5.0, 0.01);
    EXPECT_NEAR(spawn_rate([] { NorGuai(1, 1000); }, n), 1 / 10.0, 0.01);
    EXPECT_NEAR(spawn_rate([] { NorGuai(1, 1300); }, n), 1 / 4.0, 0.01);
    EXPECT_NEAR(spawn_rate([] { NorGuai(2, 1150); }, n), 1 / 7.0, 0.01);
    EXPECT_NEAR(spawn_rate([] { NorGuai(3, 1000); }, n), 1 / 20.0, 0.006);
    EXPECT_NEAR(spawn_rate([] { NorGuai(3, 1300); }, n), 1 / 14.0, 0.008);
    // Where the random monsters come in.
    std::set<float> rows1, rows2, types3;
    for (int k = 0; k < 3000; ++k) {
      clear_table();
      MesGuai(1, 1);
      rows1.insert(B[0].row);
      clear_table();
      MesGuai(0, 1);
      rows2.insert(B[0].row);
      clear_table();
      NorGuai(3, 1300);
      if (br >= 0) types3.insert(static_cast<float>(B[0].type));
    }
    EXPECT_EQ(rows1, (std::set<float>{10, 12, 14, 16, 18, 20, 22, 24}));
    EXPECT_EQ(rows2.size(), 16u);
    EXPECT_EQ(*rows2.begin(), 10);
    EXPECT_EQ(*rows2.rbegin(), 25);
    EXPECT_EQ(types3, (std::set<float>{3, 5}));
  });
}
