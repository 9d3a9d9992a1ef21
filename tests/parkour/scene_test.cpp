#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "parkour/harness.hpp"

using namespace parkour;
using namespace parkour_test;

TEST(ParkourScene, HalfColumnsResolveToSingleConsoleColumns) {
  in_world([] {
    // The player's head sits at (X - 1, Y).
    for (auto [y, col] : {std::pair{6.25f, 12}, {6.5f, 13}, {29.f, 58}}) {
      con::system("cls");
      stand(y);
      Map(0, 0);
      EXPECT_EQ(glyph(col, 17), U'●') << y;
      EXPECT_EQ(glyph(col - 1, 17), U' ') << y;
    }
    // A record goes through the same conversion.
    con::system("cls");
    empty_table();
    add(1, 10, 6.5f);
    Map(1, 0);
    EXPECT_EQ(glyph(13, 10), U'●');
  });
}

TEST(ParkourScene, ErasingOnTheGroundRowRestoresTheLine) {
  in_world([] {
    X = 3;  // the player out of the way
    empty_table();
    add(1, 20, 10, 0, 1);
    add(1, 19, 10, 0, 1);
    Map(1, 0);
    Map(1, 1);
    EXPECT_EQ(glyph(18, 20), U'●');
    EXPECT_EQ(glyph(18, 19), U'●');
    Map(1, 0);
    Map(1, 1);
    EXPECT_EQ(text(16, 20, 4), "●==");
    EXPECT_EQ(text(16, 19, 4), "●  ");
    // A dead record is only wiped.
    B[0].alive = 0;
    Map(1, 0);
    EXPECT_EQ(text(16, 20, 4), "====");
  });
}

TEST(ParkourScene, RecordsAboveRowFiveAreDrawnOnIt) {
  in_world([] {
    add(1, 3, 10);
    add(13, 4.4f, 15);
    add(100, 3, 20);  // boss text is exempt
    for (int i = 0; i < 3; ++i) Map(1, i);
    EXPECT_EQ(B[0].row, 5);
    EXPECT_EQ(glyph(20, 5), U'●');
    EXPECT_EQ(glyph(30, 5), U'●');
    EXPECT_EQ(glyph(20, 3), U' ');
    EXPECT_EQ(glyph(40, 3), U'我');
  });
}

TEST(ParkourScene, TableCheckEmptiesTheTableOnceEverythingIsPassed) {
  in_world([] {
    add(1, 10, 10);
    add(2, 12, 10);
    add(6, 14, 10);
    Map(2, 0);  // records still in use: nothing changes
    EXPECT_EQ(br, 2);
    EXPECT_EQ(B[1].type, 2);
    for (int i = 0; i < 3; ++i) B[i].alive = 0;
    bl = 3;
    Map(2, 0);
    EXPECT_EQ(bl, 0);
    EXPECT_EQ(br, -1);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(B[i].type, 0);
      EXPECT_EQ(B[i].row, 0);
    }
    // The next record starts at the front again.
    EXPECT_EQ(new_record(), &B[0]);
  });
}

TEST(ParkourScene, AFullTableRefusesNewRecords) {
  reset();
  br = kRecords - 2;
  ASSERT_NE(new_record(), nullptr);
  EXPECT_EQ(br, kRecords - 1);
  EXPECT_EQ(new_record(), nullptr);
  EXPECT_EQ(br, kRecords - 1);
  clear_table();
  EXPECT_EQ(B[kRecords - 1].alive, 0);
  EXPECT_EQ(br, -1);
}

TEST(ParkourScene, PlayerColourByStateAndHurt) {
  in_world([] {
    T = 3;
    Map(0, 3);  // after a teleport: the normal colour
    EXPECT_EQ(attr(12, 17), 0x0F);
    Map(0, 1);
    EXPECT_EQ(attr(12, 17), 0x04);
    Ren = 3;
    Map(0, 0);
    EXPECT_EQ(attr(12, 17), 0x0B);
    Ice = 10;  // chill over the talent, hurt over chill, teleport trail over hurt
    Map(0, 0);
    EXPECT_EQ(attr(12, 17), 0x09);
    Li = 2;
    Map(0, 1);
    EXPECT_EQ(attr(12, 17), 0x0E);
    Ren = 1, Li = 0, Ice = 0, Killb = 10, T = 5;  // protection blinks
    Map(0, 0);
    EXPECT_EQ(attr(12, 17), 0x08);
    T = 6;
    Map(0, 0);
    EXPECT_EQ(attr(12, 17), 0x0F);
  });
}

TEST(ParkourScene, PlayerFiguresByRowBand) {
  in_world([] {
    stand(10);
    T = 0;
    Map(0, 0);
    EXPECT_EQ(text(20, 17, 2), "●");
    EXPECT_EQ(text(18, 18, 3), "━/");
    EXPECT_EQ(text(18, 19, 4), "┛╲");
    T = 7;
    Map(0, 0);
    EXPECT_EQ(text(18, 19, 3), "╯>");
    Map(-1, 0);
    EXPECT_EQ(text(18, 17, 6), "      ");
    EXPECT_EQ(text(18, 18, 6), "      ");

    X = 22, Down = 1;  // upside down below the line
    T = 4;
    Map(0, 0);
    EXPECT_EQ(text(20, 23, 2), "●");
    EXPECT_EQ(text(18, 22, 3), "━\\");
    EXPECT_EQ(text(18, 21, 3), "┪ ");
    Map(-1, 0);

    X = 25, Down = 2;  // diving
    Map(0, 0);
    EXPECT_EQ(text(18, 25, 5), "━ ●");
    EXPECT_EQ(text(19, 24, 3), "│>");
    Map(-1, 0);

    X = 12, Down = 0, Upt = 5;  // hovering
    Map(0, 0);
    EXPECT_EQ(text(18, 12, 5), "━ ●");
    EXPECT_EQ(text(17, 13, 4), "╱ >");

    X = 20;  // on the line itself: nothing
    con::system("cls");
    Map(0, 0);
    for (int y = 18; y <= 22; ++y) {
      EXPECT_EQ(text(14, y, 10), "          ") << y;
    }
  });
}

TEST(ParkourScene, OverlaysAndTheirErasing) {
  in_world([] {
    con::system("cls");
    con::Setpos(20, 0);
    con::print(std::string(60, '='));
    stand(10);
    T = 0;
    Wind = 30, Fire = 10, Fir = 2, Magne = 5;
    Map(0, 0);
    EXPECT_EQ(text(10, 19, 8), "----  --");
    EXPECT_EQ(text(10, 18, 8), "-  --- -");
    EXPECT_EQ(text(10, 17, 8), "--- - --");
    EXPECT_EQ(attr(10, 18), 0x0B);
    EXPECT_EQ(glyph(20, 18), U'★');
    EXPECT_EQ(glyph(22, 18), U'●');  // first fire charge at (X, Y + 1)
    EXPECT_EQ(glyph(20, 19), U'●');  // second at (X + 1, Y)
    EXPECT_EQ(glyph(18, 17), U' ');  // no third
    Map(-1, 0);
    EXPECT_EQ(text(10, 19, 8), "        ");
    EXPECT_EQ(glyph(22, 18), U' ');
    EXPECT_EQ(con::screen().row_text(20), std::string(60, '='));
    // The wind's streaks change every second tick, in four patterns.
    const char* const streaks[4][3] = {
        {"----  --", "-  --- -", "--- - --"},
        {"------  ", " --  ---", "----- - "},
        {"  ------", "-- --  -", "- ----- "},
        {"--  ----", " --- -- ", "- - ----"},
    };
    Fire = 0, Magne = 0;
    for (int t = 0; t < 8; ++t) {
      T = t;
      Map(0, 0);
      for (int k = 0; k < 3; ++k)
        EXPECT_EQ(text(10, 19 - k, 8), streaks[t / 2][k]) << t << " " << k;
      Map(-1, 0);
    }
  });
}

// The water power's drops around the player, by T % 20: four drops below 5, four others from 10
// to 14, and otherwise three with a pair above the head; all in colour 1 (aqua), all erased.
TEST(ParkourScene, WaterDropsByTick) {
  using Cells = std::set<std::pair<int, int>>;  // (row, column) of each drop
  // The player at (18, 10): a half column is the next console column to the right.
  const Cells low = {{20, 14}, {19, 13}, {17, 15}, {16, 14}};
  const Cells mid = {{20, 13}, {19, 14}, {17, 13}, {16, 14}};
  const Cells other = {{20, 14}, {18, 12}, {18, 14}, {16, 14}};
  in_world([&] {
    for (int t : {0, 4, 5, 9, 10, 14, 15, 19}) {
      con::system("cls");
      con::Setpos(20, 0);
      con::print(std::string(60, '='));
      stand(10);
      Water = 5, T = t;
      Map(0, 0);
      Cells drops;
      for (int y = 0; y < 37; ++y) {
        for (int x = 0; x < 60; ++x) {
          if (glyph(x, y) != U'■') continue;
          drops.insert({y, x});
          EXPECT_EQ(attr(x, y), 0x0B) << t << ": (" << y << ", " << x << ")";  // colour 1
        }
      }
      const int w = t % 20;
      EXPECT_EQ(drops, w < 5 ? low : (w >= 10 && w <= 14) ? mid : other) << t;
      Map(-1, 0);
      for (int y = 0; y < 37; ++y) {
        EXPECT_EQ(con::screen().row_text(y).find("■"), std::string::npos) << t << ": row " << y;
      }
      EXPECT_EQ(con::screen().row_text(20), std::string(60, '=')) << t;
    }
    Water = 0;
  });
}

// Whatever a boss's figure covered is blank again after its erase, or "=" on the ground line,
// in every pose and at every height near the ground.
TEST(ParkourScene, EveryBossFigureErasesWhole) {
  in_world([] {
    for (int boss : {1, 2, 3}) {
      for (int what : {0, 5}) {
        for (float row : {10.f, 18.f, 19.f, 20.f, 21.f, 22.f}) {
          con::system("cls");
          con::Setpos(20, 0);
          con::print(std::string(60, '='));
          stand();
          X = -1;  // the player is drawn elsewhere; only the boss here
          Boss = boss;
          Bwhat1 = what, Bwhat2 = what, Bwhat3 = what;
          Bx1 = Bx2 = Bx3 = row;
          By1 = By2 = By3 = 20;
          Map(0, 0);
          Map(-1, 0);
          for (int y = 0; y < 37; ++y) {
            const std::string want = y == 20 ? std::string(60, '=') : std::string(60, ' ');
            EXPECT_EQ(con::screen().row_text(y).substr(0, 60), want)
                << "boss " << boss << " pose " << what << " at row " << row << ": row " << y;
          }
        }
      }
    }
    Boss = 0;
  });
}

TEST(ParkourScene, BossFigures) {
  in_world([] {
    Boss = 6;
    Bx1 = 10, By1 = 20, Bx2 = 15, By2 = 20, Bx3 = 21, By3 = 20;
    Map(0, 0);
    EXPECT_EQ(text(39, 9, 4), "●●");
    EXPECT_EQ(text(38, 10, 6), ")██(");
    EXPECT_EQ(attr(39, 10), 0x0C);
    EXPECT_EQ(text(38, 14, 4), "\\ ●");
    EXPECT_EQ(text(38, 15, 6), "◥JJJ>");
    EXPECT_EQ(attr(38, 15), 0x0D);
    EXPECT_EQ(attr(40, 15), 0x0E);
    EXPECT_EQ(text(38, 16, 6), "◢█◣");
    EXPECT_EQ(text(39, 20, 3), "●-");
    EXPECT_EQ(text(40, 21, 2), "┃");
    EXPECT_EQ(attr(40, 21), 0x0A);
    EXPECT_EQ(text(38, 22, 6), "●●●");
    Map(-1, 0);
    EXPECT_EQ(text(38, 10, 6), "      ");
    EXPECT_EQ(text(38, 15, 6), "      ");
    EXPECT_EQ(text(38, 20, 6), "======");  // boss 3 stood on the line
    EXPECT_EQ(text(38, 22, 6), "      ");

    // Boss 1's body takes the colour of its attack for the attack's first five counts.
    Boss = 1;
    struct Body {
      int what, count, attr;
    };
    for (Body b : {Body{2, 5, 0x0B}, Body{2, 6, 0x0C}, Body{3, 5, 0x0E}, Body{3, 6, 0x0C},
                   Body{6, 5, 0x04}, Body{6, 6, 0x0C}, Body{1, 0, 0x0C}}) {
      Bwhat1 = b.what, Bgo1[1] = b.count;
      Map(0, 0);
      EXPECT_EQ(attr(39, 10), b.attr) << b.what << " " << b.count;
      EXPECT_EQ(attr(39, 11), b.attr) << b.what << " " << b.count;
      EXPECT_EQ(attr(39, 9), 0x0F) << b.what << " " << b.count;
    }
  });
}

TEST(ParkourScene, GoodsBobAroundTheirHomeRow) {
  in_world([] {
    Obj& g = add(-3, 15, 29, -1, 1);
    g.param = 15;
    Map(3, 0);
    EXPECT_FLOAT_EQ(g.row, 16);
    EXPECT_EQ(g.sub, 0);
    EXPECT_FLOAT_EQ(g.vrow, -0.8f);  // below home: turns upward
    EXPECT_EQ(text(54, 16, 6), "﹝火﹞");
    float lowest = g.row;
    for (int k = 0; k < 30; ++k) {
      Map(3, 0);
      lowest = std::max(lowest, g.row);
      EXPECT_GT(g.row, 10.f);
      EXPECT_LT(g.row, 20.f);
    }
    EXPECT_GT(lowest, 16.f);
    // Clamped at the bottom of the field.
    g.row = 29, g.vrow = 0, g.sub = 0;
    Map(3, 0);
    EXPECT_FLOAT_EQ(g.row, 28);
    EXPECT_FLOAT_EQ(g.vrow, 0.2f);
  });
}

TEST(ParkourScene, DartsHomeOnTheBoss) {
  in_world([] {
    Lv = 3;
    empty_table();
    Obj& d = add(-1, 18, 6);
    Map(3, 0);  // no boss: gone at once
    EXPECT_EQ(d.alive, 0);

    empty_table();
    Boss = 1, Bx1 = 8, By1 = 26, Bblo = 500;
    Obj& e = add(-1, 18, 6);
    Map(3, 0);
    EXPECT_FLOAT_EQ(e.row, 17);  // a tenth of the way
    EXPECT_FLOAT_EQ(e.col, 8);
    EXPECT_EQ(text(16, 17, 2), "＋");
    for (int c = 1; c < 10 && e.alive; ++c) {
      e.counter = c;
      Map(3, 0);
    }
    EXPECT_EQ(e.alive, 0);
    EXPECT_EQ(Bblo, 500 - 14);

    empty_table();
    Boss = 6;  // three bosses: it waits and strikes at age 10
    Obj& f = add(-1, 18, 6);
    f.counter = 9;
    Map(3, 0);
    EXPECT_EQ(f.alive, 1);
    EXPECT_FLOAT_EQ(f.row, 18);
    f.counter = 10;
    Map(3, 0);
    EXPECT_EQ(f.alive, 0);
    EXPECT_EQ(Bblo, 500 - 28);
  });
}

TEST(ParkourScene, FireballsAndMagnetCoins) {
  in_world([] {
    add(1, 18, 20);
    Obj& f = add(-13, 18, 8);
    f.param = 0;
    Exp = 0;
    Map(3, 1);
    EXPECT_FLOAT_EQ(f.col, 8 + 12.f / 5);
    for (int c = 1; c < 5 && f.alive; ++c) {
      f.counter = c;
      Map(3, 1);
    }
    EXPECT_EQ(f.alive, 0);
    EXPECT_EQ(B[0].alive, 0);
    EXPECT_EQ(Exp, 2);
    // A fireball whose target died first does nothing.
    Obj& g = add(-13, 18, 8);
    g.param = 0;
    Map(3, 2);
    EXPECT_EQ(g.alive, 0);
    EXPECT_EQ(Exp, 2);
    // One aimed at the boss homes on it.
    Boss = 1, Bx1 = 8, By1 = 28;
    Obj& h = add(-13, 18, 8);
    h.param = kBossTarget;
    Map(3, static_cast<int>(&h - B));
    EXPECT_FLOAT_EQ(h.row, 18 - 10.f / 5);
    EXPECT_FLOAT_EQ(h.col, 8 + 20.f / 5);
    Boss = 0;

    empty_table();
    Magne = 100;
    Obj& c = add(-10, 10, 26.25f, 0, 1);
    Map(3, 0);
    EXPECT_FLOAT_EQ(c.row, 10 + 8.f / 9);
    EXPECT_FLOAT_EQ(c.col, 26.25f - 20.f / 9 - 1);
    EXPECT_EQ(c.sub, 1);
  });
}

// A pillar stands on the ground line: rows 19 up to 20 + sub above it, 21 down to 20 + sub below.
TEST(ParkourScene, PillarsStandOnTheGroundLine) {
  struct Case {
    int sub;
    const char* rows_15_to_25;  // | where a "║" stands
  };
  in_world([] {
    for (Case c : {Case{-3, "..|||......"}, Case{-1, "....|......"}, Case{1, "......|...."},
                   Case{2, "......||..."}}) {
      clean_field();
      stand();
      X = 3;
      empty_table();
      Obj& p = add(7, 20, 10, 0, 1);
      p.sub = c.sub;
      Map(3, 0);
      std::string column;
      for (int y = 15; y <= 25; ++y) column += glyph(18, y) == U'║' ? '|' : '.';
      EXPECT_EQ(column, c.rows_15_to_25) << c.sub;
      Map(3, 0);  // a column on: the old cells are wiped
      for (int y = 15; y <= 25; ++y) {
        EXPECT_NE(glyph(18, y), U'║') << c.sub << " row " << y;
      }
    }
  });
}

TEST(ParkourScene, BouncersAndBeams) {
  in_world([] {
    X = 3;
    empty_table();
    Obj& b = add(11, 24.8f, 1.5f, -0.5f, 1);
    Map(3, 0);
    EXPECT_FLOAT_EQ(b.row, 25);  // bounced off the floor
    EXPECT_FLOAT_EQ(b.vrow, static_cast<float>(-0.8 * static_cast<float>(-0.5 - 0.35)));
    EXPECT_FLOAT_EQ(b.col, 1);  // and off the left wall
    EXPECT_FLOAT_EQ(b.vcol, -1);

    Obj& beam = add(4, 12, 32, 0, 3);
    Map(3, 1);
    EXPECT_FLOAT_EQ(beam.col, 29);
    EXPECT_EQ(text(42, 12, 18), "═════════");
    EXPECT_EQ(glyph(40, 12), U' ');
    EXPECT_EQ(attr(42, 12), 0x09);
    Map(3, 1);
    EXPECT_EQ(text(36, 12, 18), "═════════");
    EXPECT_EQ(text(54, 12, 6), "      ");
  });
}
