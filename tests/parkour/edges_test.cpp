// Figures at the field's edges, and erases in step with their draws: every write stays on its
// own row within columns 0 to 59, and what a figure drew is what its erase takes away.
#include <gtest/gtest.h>

#include <string>

#include "parkour/harness.hpp"

using namespace parkour;
using namespace parkour_test;

namespace {

// The glyphs that changed outside rows top..bottom since `before`.
std::string changed_outside(const std::vector<con::Cell>& before, int top, int bottom) {
  std::string out;
  const std::string all = changed(before);
  for (size_t p = 0; p < all.size();) {
    const size_t q = all.find(')', p) + 1;
    const std::string cell = all.substr(p, q - p);
    const int y = std::stoi(cell.substr(cell.find(',') + 1));
    if (y < top || y > bottom) out += cell;
    p = q;
  }
  return out;
}

}  // namespace

TEST(ParkourEdges, ASpinnerComingInAtTheRightEdgeKeepsToItsRows) {
  in_world([] {
    clean_field();
    empty_table();
    add(2, 18, 29, 0, 1);
    const auto before = snapshot();
    Map(3, 0);  // its erase from column 56 runs seven columns: four are on the screen
    EXPECT_EQ(con::screen().row_text(20), kGroundRow);
    EXPECT_EQ(changed_outside(before, 17, 19), "");
    EXPECT_EQ(text(56, 17, 2), "↑");
    EXPECT_EQ(text(54, 18, 6), "←┼  ");  // the arrow would straddle the edge: left out
    EXPECT_EQ(text(56, 19, 2), "↓");
    Map(3, 0);
    EXPECT_EQ(text(52, 18, 8), "←┼ → ");
    EXPECT_EQ(con::screen().row_text(20), kGroundRow);
    EXPECT_EQ(changed_outside(before, 17, 19), "");
  });
}

TEST(ParkourEdges, AFlyerAtTheRightEdge) {
  in_world([] {
    clean_field();
    empty_table();
    add(6, 19, 28.42f, 0, 0.8f);
    const auto before = snapshot();
    Map(3, 0);
    EXPECT_EQ(text(53, 19, 6), "﹝○﹞");
    EXPECT_EQ(text(0, 20, 55) + text(57, 20, 3), std::string(58, '='));
    EXPECT_EQ(text(55, 20, 2), "︺");
    EXPECT_EQ(changed_outside(before, 18, 20), "");

    // Still on the edge: the bracket that would straddle it is left out, and its erase covers
    // what is left on the screen.
    Obj& f = add(6, 12, 28.42f, 0, 0);
    Map(3, 1);
    EXPECT_EQ(text(55, 12, 5), "﹝○ ");
    EXPECT_EQ(glyph(59, 12), U' ');
    EXPECT_EQ(glyph(0, 13), U' ');
    f.alive = 0;
    Map(3, 1);
    EXPECT_EQ(text(50, 11, 10) + text(50, 12, 10) + text(50, 13, 10), std::string(30, ' '));
  });
}

TEST(ParkourEdges, GoodsAtTheRightEdge) {
  in_world([] {
    clean_field();
    empty_table();
    Obj& g = add(-2, 19, 29, 0, 1);
    g.param = 19;
    const auto before = snapshot();
    Map(3, 0);
    EXPECT_EQ(text(54, 19, 6), "﹝镖﹞");
    EXPECT_EQ(changed_outside(before, 19, 19), "");
    g.alive = 0;
    Map(3, 0);
    EXPECT_EQ(changed(before), "");
    // Held at the edge it shows what fits, and its erase takes that away.
    Obj& h = add(-2, 19, 29, 0, 0);
    h.param = 19;
    Map(3, 1);
    EXPECT_EQ(text(54, 19, 6), "  ﹝镖");
    EXPECT_EQ(changed_outside(before, 19, 19), "");
    h.alive = 0;
    Map(3, 1);
    EXPECT_EQ(changed(before), "");
  });
}

TEST(ParkourEdges, AFlyerLeftOfTheScreenIsCutAndErasedThere) {
  in_world([] {
    clean_field();
    empty_table();
    Obj& f = add(6, 21, 0.2f, 0, 0);
    const auto before = snapshot();
    Map(3, 0);
    // Its middle row starts at column -1: the bracket there is left out.
    EXPECT_EQ(text(0, 20, 2), "︹");
    EXPECT_EQ(text(2, 20, 58), std::string(58, '='));
    EXPECT_EQ(text(0, 21, 6), " ○﹞ ");
    EXPECT_EQ(text(0, 22, 2), "︺");
    EXPECT_EQ(changed_outside(before, 20, 22), "");
    f.alive = 0;
    Map(3, 0);
    EXPECT_EQ(changed(before), "");
  });
}

TEST(ParkourEdges, TheGroundRepaintUnderThePlayerAtTheLeftEdge) {
  in_world([] {
    stand(1);
    clean_field();
    con::Setpos(20, 0);
    con::print("          ");  // the line under the feet is to come back
    con::Setpos(18, 5);        // where the cursor was left
    const auto before = snapshot();
    Up = 1, X = 17.9f, Vx = -1;
    Move();
    ASSERT_FLOAT_EQ(X, 18);  // landed
    // From column -2: the eight "=" on the screen, nothing elsewhere.
    EXPECT_EQ(text(0, 20, 10), "========  ");
    EXPECT_EQ(changed_outside(before, 20, 20), "");
  });
}

TEST(ParkourEdges, ThePlayerAndEveryEffectAtEitherEdge) {
  for (float y : {1.f, 1.5f, 28.75f, 29.5f, 30.f}) {
    for (float x : {18.f, 22.f, 12.f}) {
      in_world([x, y] {
        stand(y);
        X = x, Down = x == 22 ? 1 : 0, Up = x < 17 ? 1 : 0;
        Thun = 5, Wind = 5, Water = 5, Fire = 5, Fir = 3, Magne = 5, T = 0;
        clean_field();
        con::Setpos(30, 10);
        const auto before = snapshot();
        Map(0, 0);
        EXPECT_EQ(changed_outside(before, static_cast<int>(x) - 2, static_cast<int>(x) + 2), "")
            << x << " " << y;
        Map(-1, 0);
        EXPECT_EQ(changed(before), "") << x << " " << y;
      });
    }
  }
}

TEST(ParkourEdges, TheLastFrameOfAnEffectGoesWhenItsCountdownRunsOut) {
  in_world([] {
    stand(10);
    clean_field();
    const auto before = snapshot();
    Fire = 1, Fir = 3, Water = 1;
    T = 12;  // the water's drop below the feet lies on the ground line
    Map(0, 0);
    EXPECT_EQ(glyph(13, 20), U'■');
    EXPECT_EQ(glyph(22, 18), U'●');
    Fire = 0, Water = 0;  // the countdowns fall before the erase
    Map(-1, 0);
    EXPECT_EQ(changed(before), "");
  });
}

TEST(ParkourEdges, TheMagnetStarIsErasedWhereNoFigureStands) {
  in_world([] {
    stand(10);
    X = 19.5f;  // between the levels: no figure, only the star, on the ground line
    Magne = 5, T = 0;
    clean_field();
    Map(0, 0);
    EXPECT_EQ(glyph(20, 20), U'★');
    Map(-1, 0);
    EXPECT_EQ(con::screen().row_text(20), kGroundRow);
  });
}

TEST(ParkourEdges, AHoverBegunBetweenDrawAndEraseLeavesNoLegsBehind) {
  in_world([] {
    stand(10);
    X = 12, Up = 2, Upt = 0;
    clean_field();
    const auto before = snapshot();
    Map(0, 0);
    EXPECT_EQ(text(19, 13, 3), "│>");
    Upt = 30;  // the third jump of the hovering talent, pressed before the erase
    Map(-1, 0);
    EXPECT_EQ(changed(before), "");
  });
}

TEST(ParkourEdges, AMonsterSteppingBackLeavesNoGhost) {
  in_world([] {
    clean_field();
    empty_table();
    Obj& m = add(1, 10, 25, 0, 0);
    m.sub = 1, m.counter = 29;
    T = 1;
    Move();  // drawn at 25, then it steps back to 26.5
    EXPECT_FLOAT_EQ(m.col, 26.5f);
    EXPECT_EQ(text(48, 10, 12), std::string(12, ' '));
    Map(3, 0);
    EXPECT_EQ(text(48, 10, 12), "     ●     ");
  });
}
