#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "parkour/harness.hpp"

using namespace parkour;
using parkour_test::count_type;
using parkour_test::in_world;

namespace {

// What the generator makes from a pending draw g: the record type, 0 for nothing.
int outcome(int g, int boss) {
  clear_table();
  std::memset(Gd, 0, sizeof Gd);
  Gd[1] = g;
  Gd[3] = 12;
  Boss = boss;
  RandGood();
  return br >= 0 ? B[0].type : 0;
}

std::string ground_row() {
  return con::screen().text_at(0, 20, 60);
}

}  // namespace

TEST(ParkourGoods, EveryDrawMakesItsGood) {
  in_world([] {
    std::map<int, int> made;  // type -> draws that make it
    for (int g = 1; g <= 1000; ++g) ++made[outcome(g, 0)];
    EXPECT_EQ(made[-3] + made[-4] + made[-5] + made[-6] + made[-7], 5);
    EXPECT_EQ(made[-8], 7);
    EXPECT_EQ(made[-9], 7);
    EXPECT_EQ(made[-10], 30);
    EXPECT_EQ(made[-11], 30);
    EXPECT_EQ(made[-2], 0);  // no dart ball without a boss
    EXPECT_EQ(outcome(1, 0), -3);
    EXPECT_EQ(outcome(5, 0), -7);
    EXPECT_EQ(outcome(470, 1), -2);
    EXPECT_EQ(B[0].row, 12);
    EXPECT_EQ(outcome(501, 1), 0);

    // A draw of 450 to 500 without a boss gives nothing and a new draw comes next tick.
    EXPECT_EQ(outcome(470, 0), 0);
    EXPECT_EQ(Gd[1], 0);
    RandGood();
    EXPECT_GE(Gd[1], 1);
    EXPECT_LE(Gd[1], 1000);
    EXPECT_GE(Gd[3], 8);
    EXPECT_LE(Gd[3], 23);
    EXPECT_EQ(br, -1);  // nothing in the tick of the draw
  });
}

TEST(ParkourGoods, GeneratorOddsOverManyTicks) {
  in_world([] {
    std::memset(Gd, 0, sizeof Gd);
    Boss = 2;
    std::map<int, int> goods;
    int draws = 0, rows_ok = 0;
    const int ticks = 400000;
    for (int k = 0; k < ticks; ++k) {
      if (Gd[1] == 0) ++draws;
      clear_table();
      RandGood();
      if (br >= 0) {
        ++goods[B[0].type];
        if (B[0].row >= 8 && B[0].row <= 23) ++rows_ok;
      }
    }
    int total = 0;
    for (auto& [type, n] : goods) total += n;
    EXPECT_EQ(rows_ok, total);
    const double d = draws;
    EXPECT_NEAR(goods[-2] / d, 0.051, 0.004);
    EXPECT_NEAR(goods[-8] / d, 0.007, 0.0015);
    EXPECT_NEAR(goods[-9] / d, 0.007, 0.0015);
    EXPECT_NEAR(goods[-10] / d, 0.030 * 5, 0.008);  // five coins a line
    EXPECT_NEAR(goods[-11] / d, 0.030 * 5, 0.008);
    for (int t = -7; t <= -3; ++t) {
      EXPECT_NEAR(goods[t] / d, 0.001, 0.0006) << t;
    }
  });
}

TEST(ParkourGoods, CoinLineLaysFiveCoinsTwoColumnsApart) {
  in_world([] {
    con::system("cls");
    std::memset(Gd, 0, sizeof Gd);
    Gd[1] = 50;
    Gd[3] = 10;
    X = 18, Y = 2;
    int made_at[10] = {};
    for (int tick = 1; tick <= 9; ++tick) {
      T = tick;
      const int before = br;
      RandGood();
      made_at[tick] = br - before;
      Move();
    }
    EXPECT_EQ(Gd[1], 0);  // the line is done
    const int expect[10] = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
    for (int tick = 1; tick <= 9; ++tick) EXPECT_EQ(made_at[tick], expect[tick]) << tick;
    EXPECT_EQ(count_type(-10), 5);
    // Drawn in a row of five, two columns (four console columns) apart.
    std::string row = con::screen().text_at(40, 10, 20);
    EXPECT_EQ(row, "◆  ◆  ◆  ◆  ◆  ");
    for (int k = 1; k < 5; ++k) EXPECT_EQ(B[k].col - B[k - 1].col, 2);
  });
}

TEST(ParkourGoods, NothingComesInTheFinalWave) {
  in_world([] {
    Win = 7;
    Boss = 6;
    std::memset(Gd, 0, sizeof Gd);
    for (int k = 0; k < 5000; ++k) {
      RandGood();
      ASSERT_EQ(br, -1);
      if (Gd[1] != 0) {
        EXPECT_EQ(Gd[1], 10086);
      }
    }
  });
}

TEST(ParkourGoods, TwelveDartsOnTwelveTicks) {
  in_world([] {
    Win = 7;  // no goods in the way
    Boss = 1;
    Biao = 12;
    for (int tick = 1; tick <= 14; ++tick) {
      const int before = br;
      RandGood();
      EXPECT_EQ(br - before, tick <= 12 ? 1 : 0) << tick;
      if (tick <= 12) {
        EXPECT_EQ(B[br].type, -1);
      }
    }
    EXPECT_EQ(Biao, 0);
  });
}

TEST(ParkourGoods, WaterDropsFlyRightAndMendTheGround) {
  in_world([] {
    con::Setpos(20, 0);
    for (int k = 0; k < 60; ++k) con::print("=");
    I[0][0] = 20, I[0][1] = 25;
    I[1][0] = 10, I[1][1] = 4;
    I[2][0] = 28, I[2][1] = 4;  // below the field: freed at once
    I[3][0] = 1, I[3][1] = 4;   // the field's top row
    I[4][0] = 0, I[4][1] = 4;   // above it
    RandGood();
    EXPECT_EQ(con::screen().at(10, 1).ch, U'■');
    EXPECT_EQ(I[4][0], -1);
    EXPECT_EQ(con::screen().at(52, 20).ch, U'■');
    EXPECT_EQ(con::screen().at(52, 20).attr, 0x0B);
    EXPECT_EQ(con::screen().at(10, 10).ch, U'■');
    EXPECT_EQ(I[2][0], -1);
    for (int k = 0; k < 4; ++k) RandGood();
    EXPECT_EQ(I[0][0], -1);  // past column 28
    EXPECT_EQ(I[1][1], 9);
    EXPECT_EQ(ground_row(), std::string(60, '='));
    EXPECT_EQ(con::screen().at(10, 10).ch, U' ');  // the old place was wiped
    EXPECT_EQ(con::screen().at(18, 10).ch, U'■');
  });
}
