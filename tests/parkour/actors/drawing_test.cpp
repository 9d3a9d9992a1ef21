// What the actors draw is what they take away again: water drops whose slot or row changes,
// the markers of boss 2's strike, and the health bars, which stop at the end of their row.
#include <gtest/gtest.h>

#include <string>

#include "parkour/harness.hpp"

using namespace parkour;
using parkour_test::in_world;

namespace {

int count_on_screen(const char* glyph) {
  int n = 0;
  for (int y = 0; y < con::screen().height(); ++y) {
    const std::string row = con::screen().row_text(y);
    for (size_t p = row.find(glyph); p != std::string::npos; p = row.find(glyph, p + 1)) ++n;
  }
  return n;
}

int drops_in_flight() {
  int n = 0;
  for (const auto& d : I) n += d[0] != -1;
  return n;
}

}  // namespace

TEST(ParkourDrawing, AWaterDropMovedToAnotherRowLeavesNothingBehind) {
  in_world([] {
    X = 18, Y = 10;
    Water = 50;
    Gd[1] = 10086;  // no goods
    T = 8;
    Ball(2);  // a new drop, one row below the player
    RandGood();
    ASSERT_EQ(con::screen().text_at(18, 19, 2), "■");
    T = 9;
    Ball(2);  // the same drop goes two rows below
    RandGood();
    EXPECT_EQ(con::screen().text_at(18, 19, 2), "  ");
    EXPECT_EQ(con::screen().text_at(20, 20, 2), "■");
    EXPECT_EQ(count_on_screen("■"), 1);
  });
}

TEST(ParkourDrawing, TheLastSprayTakesOverDropsStillOnTheScreen) {
  in_world([] {
    X = 18, Y = 12;
    Gd[1] = 10086;
    for (int k = 0; k < 20; ++k) I[k][0] = 6 + k, I[k][1] = 2;
    RandGood();
    ASSERT_EQ(count_on_screen("■"), 20);
    Water = 1, T = 1;
    Ball(2);  // thirteen drops in a "<", in the slots of the oldest
    RandGood();
    EXPECT_EQ(drops_in_flight(), 20);
    EXPECT_EQ(count_on_screen("■"), 20);
  });
}

TEST(ParkourDrawing, TheStrikeWipesItsMarkersAlsoWhereNoBeamPasses) {
  in_world([] {
    X = 18, Y = 6;
    Boss = 2, Bblo = Bblomax = 500;
    Bx2 = 15, By2 = 20;
    Bwhat2 = 2;
    // Three points; the first on row 5, which the cross through it does not paint.
    const int points[6] = {5, 10, 12, 4, 25, 26};
    for (int k = 0; k < 6; ++k) Bgo2[2 + k] = points[k];
    for (int c = 1; c <= 20; ++c) Boss2();
    ASSERT_EQ(count_on_screen("×") + count_on_screen("＋"), 3);
    Boss2();  // count 21: the strike
    EXPECT_EQ(Bwhat2, 0);
    EXPECT_EQ(con::screen().text_at(20, 5, 2), "  ");
    EXPECT_EQ(count_on_screen("×") + count_on_screen("＋"), 0);
  });
}

TEST(ParkourDrawing, HealthBarsStopAtTheEndOfTheirRow) {
  in_world([] {
    con::Setpos(4, 0);
    con::print("R");
    con::Setpos(5, 0);
    con::print("Q");
    // As the head-up display prints them, after their labels.
    Bblo = Bblomax = 2000;
    con::Setpos(4, 1);
    con::print("怪物血量: ");
    Ball(6);
    EXPECT_EQ(con::screen().text_at(52, 4, 8), " 2000   ");
    EXPECT_EQ(con::screen().at(0, 5).ch, U'Q');  // nothing ran on to the field's top row
    Blomax = 300, Blo = 300;
    con::Setpos(3, 1);
    con::print("血量     : ");
    Ball(7);
    EXPECT_EQ(con::screen().text_at(53, 3, 7), " 300.0 ");
    EXPECT_EQ(con::screen().at(0, 4).ch, U'R');
    // A shorter line wipes what the longer one left, up to the row's end.
    Bblo = 1400;
    con::Setpos(4, 1);
    con::print("怪物血量: ");
    Ball(6);
    EXPECT_EQ(con::screen().text_at(40, 4, 20), " 1400" + std::string(15, ' '));
    EXPECT_EQ(con::screen().at(0, 5).ch, U'Q');
  });
}
