// The field's writing helpers: every write on its own row, within columns 0 to 59.
#include "parkour/field.hpp"

#include <gtest/gtest.h>

#include "parkour/harness.hpp"

using namespace parkour;
using namespace parkour_test;

TEST(ParkourField, ColumnsResolveAsTheCursorDoes) {
  in_world([] {
    for (float col : {0.f, 0.2f, -0.2f, -0.3f, 6.25f, 6.4f, 6.5f, 17.5f, 29.f, 29.5f}) {
      con::system("cls");
      con::Setpos(7, col);
      con::print("a");
      put(8, col, "a");
      const int x = field_column(col);
      EXPECT_EQ(glyph(x, 7), U'a') << col;
      EXPECT_EQ(glyph(x, 8), U'a') << col;
    }
    // Left of the screen the arithmetic goes on where the cursor would refuse.
    EXPECT_EQ(field_column(-0.8f), -1);
    EXPECT_EQ(field_column(-1.5f), -2);
    EXPECT_EQ(field_row(19.5f), 20);
  });
}

TEST(ParkourField, TextStopsAtTheRightEdge) {
  in_world([] {
    con::Setpos(6, 0);
    con::print("Q");
    put(5, 28, "﹝镖﹞");  // columns 56 to 61
    EXPECT_EQ(text(54, 5, 6), "  ﹝镖");
    EXPECT_EQ(con::screen().at(59, 5).half, con::Half::Trail);
    EXPECT_EQ(glyph(0, 6), U'Q');  // nothing wrapped onto the next row

    // A glyph that would straddle the edge is left out; its first column keeps what it had.
    con::Setpos(7, 29.5f);
    con::print("x");
    put(7, 29.5f, "●");
    EXPECT_EQ(glyph(59, 7), U'x');
    // ASCII is cut by the column.
    put(9, 29, "●*");
    EXPECT_EQ(text(58, 9, 2), "●");
    EXPECT_EQ(glyph(0, 10), U' ');
  });
}

TEST(ParkourField, TextLeftOfTheScreenIsCutNotWrittenAtTheOldCursor) {
  in_world([] {
    con::Setpos(12, 0);
    con::print("Z");
    con::Setpos(30, 10);  // where the cursor was left
    const std::vector<con::Cell> before = snapshot();
    put(12, -0.8f, "﹝○﹞");        // columns -1 to 4
    EXPECT_EQ(glyph(0, 12), U'Z');  // the half-visible bracket is left out
    EXPECT_EQ(text(1, 12, 4), "○﹞");
    EXPECT_EQ(changed(before), "(1,12)(2,12)(3,12)(4,12)");

    // Wholly off the screen, in any direction: nothing at all.
    const std::vector<con::Cell> now = snapshot();
    put(12, -3, "●●");
    put(12, 30, "●");
    put(-2, 5, "●");
    put(37, 5, "●");
    wipe(12, -5, 6);
    wipe(12, 30, 4);
    ground(-6, 10);
    EXPECT_EQ(changed(now), "");
  });
}

TEST(ParkourField, ErasesAreCutTheSameWayAndKeepTheGroundLine) {
  in_world([] {
    con::Setpos(21, 0);
    con::print("Q");
    con::Setpos(19, 0);
    con::print(std::string(60, 'x'));
    // The ground row gets "=" back; the rows around it blanks, never more than the row holds.
    wipe(20, 27.5f, 8);  // columns 55 to 62
    EXPECT_EQ(text(55, 20, 5), "=====");
    EXPECT_EQ(glyph(54, 20), U' ');
    EXPECT_EQ(glyph(0, 21), U'Q');
    wipe(19, -1.5f, 10);  // columns -2 to 7
    EXPECT_EQ(text(0, 19, 9), "        x");
    wipe(19, 10, 100);
    EXPECT_EQ(text(20, 19, 40), std::string(40, ' '));
    EXPECT_EQ(glyph(0, 20), U' ');
    ground(-1.5f, 10);
    EXPECT_EQ(text(0, 20, 9), "======== ");
    // Plain blanks, also on the ground row.
    blanks(20, 1, 2);
    EXPECT_EQ(text(0, 20, 5), "==  =");
  });
}

TEST(ParkourField, PiecesFollowOneAnotherPastTheEdge) {
  in_world([] {
    int x = put_cells(15, 56, "◥");
    EXPECT_EQ(x, 58);
    x = put_cells(15, x, "JJJ");
    EXPECT_EQ(x, 61);
    EXPECT_EQ(put_cells(15, x, ">"), 62);
    EXPECT_EQ(text(56, 15, 4), "◥JJ");
    EXPECT_EQ(glyph(0, 16), U' ');
  });
}
