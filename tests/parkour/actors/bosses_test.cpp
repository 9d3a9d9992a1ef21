#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "parkour/actors/actors.hpp"
#include "parkour/harness.hpp"

using namespace parkour;
using parkour_test::count_type;
using parkour_test::in_world;

namespace {

// The attacks boss 1 starts from (row, col) over many choices.
std::set<int> boss1_choices(float row, float col) {
  std::set<int> seen;
  for (int k = 0; k < 3000; ++k) {
    boss_stand_down(1);
    Bx1 = row, By1 = col;
    Boss1();
    seen.insert(Bwhat1);
  }
  seen.erase(0);  // a roam or dash may end in its first tick
  return seen;
}

// Glyphs of a screen row from console column x, blanks and trail cells skipped.
std::string glyphs(int y, int x, int len) {
  std::string out;
  for (int k = x; k < x + len; ++k) {
    const con::Cell& c = con::screen().at(k, y);
    if (c.half == con::Half::Trail || c.ch == U' ') continue;
    con::append_utf8(out, c.ch);
  }
  return out;
}

}  // namespace

TEST(ParkourBosses, AttackChoicesKeepClearOfTheEdges) {
  in_world([] {
    Boss = 1;
    EXPECT_EQ(boss1_choices(22, 8), (std::set<int>{1, 5}));
    EXPECT_EQ(boss1_choices(22, 26), (std::set<int>{1, 4, 5}));
    EXPECT_EQ(boss1_choices(10, 20), (std::set<int>{1, 2, 3, 5, 6}));
    EXPECT_EQ(boss1_choices(22, 16), (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(boss1_choices(22, 20), (std::set<int>{1, 2, 3, 4, 5, 6}));
    // Far outside the field no roam or dash can start, and choosing one does not hang.
    EXPECT_EQ(boss1_choices(60, 20), (std::set<int>{2, 3, 4, 6}));

    Boss = 3;
    X = 18;
    for (float row : {19.f, 20.f, 21.f, 10.f}) {
      std::set<int> seen, lines;
      for (int k = 0; k < 2000; ++k) {
        boss_stand_down(3);
        Bx3 = row;
        Boss3();
        seen.insert(Bwhat3);
        if (Bwhat3 == 11) lines.insert(Bgo3[2]);
      }
      EXPECT_EQ(seen.count(11), row == 10.f ? 1u : 0u) << row;
      if (row == 10.f) {
        EXPECT_EQ(lines, (std::set<int>{0, 1, 2, 3, 4}));
      }
    }
  });
}

TEST(ParkourBosses, BeamsHurtOncePerAttackAndFlag) {
  in_world([] {
    Boss = 1;
    Killb = 20;  // the post-hit countdown does not shield from beams
    Panboss(18, 8);
    EXPECT_EQ(Blo, 100);
    Panboss(19, 6);  // the lower body point
    Panboss(18, 6);
    EXPECT_EQ(Blo, 80);
    EXPECT_EQ(Kill, 1);
    boss_stand_down(1);  // a new attack
    Panboss(18, 6);
    EXPECT_EQ(Blo, 60);

    boss_stand_down(1);
    Boss = 6;
    Panboss(18, 6);
    Panboss(17, 6);
    EXPECT_EQ(Blo, 20);  // two flags in the final wave

    boss_stand_down(1);
    boss_stand_down(2);
    Wind = 3;
    Panboss(18, 6);
    Wind = 0, Thun = 9;
    Panboss(18, 6);
    EXPECT_EQ(Blo, 20);
  });
}

TEST(ParkourBosses, LightningBeamFromTheSparkThroughTheTarget) {
  for (int windy = 0; windy <= 1; ++windy) {
    in_world([&] {
      Boss = 1;
      Bblo = Bblomax = 500;
      X = 18, Y = 6.25f, Down = 0;
      Wind = windy ? 9 : 0;
      Bx1 = 22, By1 = 20;
      Bwhat1 = 4;
      Bgo1[2] = 22, Bgo1[3] = 19;
      for (int c = 1; c <= 10; ++c) Boss1();
      EXPECT_EQ(Bgo1[2], 14);  // the spark climbed eight rows
      EXPECT_EQ(Bgo1[5], 18);
      EXPECT_EQ(Bgo1[6], 6);
      Boss1();
      EXPECT_EQ(Bwhat1, 0);
      EXPECT_EQ(Blo, windy ? 100 : 80);  // crossing the body more than once still costs 20
      EXPECT_GT(Bbl - Bbr, 30);
      const con::Cell& cell = con::screen().at(24, 16);  // k = 15: row 16, col 12
      EXPECT_EQ(cell.ch, U'█');
      EXPECT_EQ(cell.attr, 0x09);
    });
  }
}

TEST(ParkourBosses, LightningWipesTheSightWithBlanks) {
  in_world([] {
    Boss = 1;
    Bblo = Bblomax = 500;
    X = 21.5f, Y = 6, Down = 1;  // dropping to the lower level: the sight's top sits on row 20
    Bx1 = 29, By1 = 20;
    Bwhat1 = 4;
    Bgo1[2] = 29, Bgo1[3] = 19;  // the spark ends on row 21: a level beam along it
    for (int c = 1; c <= 10; ++c) Boss1();
    ASSERT_EQ(Bgo1[5], 21);
    con::Setpos(20, 6);
    con::print("︻");
    con::Setpos(22, 6);
    con::print("︼");
    Boss1();
    EXPECT_EQ(Bwhat1, 0);
    EXPECT_EQ(con::screen().text_at(12, 20, 2), "  ");
    EXPECT_EQ(con::screen().text_at(12, 22, 2), "  ");
  });
}

TEST(ParkourBosses, WaterDropsHitBossesLevelWithThem) {
  in_world([] {
    Boss = 1;
    Bblo = 500;
    Bx1 = 10, By1 = 10;
    Bwhat1 = 3;  // busy: no new choice
    const int drops[5][2] = {{10, 28}, {11, 8}, {12, 28}, {10, 7}, {9, 15}};
    for (int k = 0; k < 5; ++k) I[k][0] = drops[k][0], I[k][1] = drops[k][1];
    Boss1();
    EXPECT_EQ(I[0][0], -1);  // far to the right, still a hit
    EXPECT_EQ(I[1][0], -1);
    EXPECT_EQ(I[2][0], 12);  // two rows off
    EXPECT_EQ(I[3][0], 10);  // three columns to the left
    EXPECT_EQ(I[4][0], -1);
    EXPECT_EQ(Bblo, 500 - 3 * 10);
    EXPECT_EQ(Exp, 6);
  });
}

TEST(ParkourBosses, VolleyComesDownOnThePlayer) {
  in_world([] {
    Boss = 2;
    X = 18, Y = 21.5f;
    Bx2 = 15, By2 = 20;
    Bwhat2 = 4, Bvy2 = -1.5f, Bvx2 = -0.5f;
    for (int c = 1; c <= 21; ++c) Boss2();
    EXPECT_EQ(Bwhat2, 0);
    ASSERT_EQ(count_type(10), 3);
    for (int i = 0; i <= br; ++i) {
      const float o = B[i].col - Y;
      ASSERT_EQ(o, 6);
      for (int k = 0; k < 6; ++k) Map(3, i);
      EXPECT_EQ(B[i].col, Y);
      EXPECT_NEAR(B[i].row, X, 0.01);
    }
    // In the final wave the shot is aimed over half the distance.
    clear_table();
    Boss = 6;
    Bx2 = 20, By2 = 20, Y = 8;
    Bwhat2 = 5, Bgo2[1] = 14;
    Boss2();
    ASSERT_EQ(B[0].type, 11);
    EXPECT_NEAR(B[0].vrow, (20 - 18) / 6.0 + 5 * 0.175, 1e-5);
  });
}

TEST(ParkourBosses, StrikePointsAndCrossBeams) {
  in_world([] {
    Boss = 2;
    X = 18, Y = 6.25f;
    int strikes = 0;
    for (int k = 0; k < 400 && strikes < 40; ++k) {
      boss_stand_down(2);
      Bx2 = 15, By2 = 20;
      Boss2();
      if (Bwhat2 != 2) continue;
      ++strikes;
      std::set<int> rows, cols;
      for (int p = 0; p < 3; ++p) {
        const int r = Bgo2[2 + 2 * p], c = Bgo2[3 + 2 * p];
        rows.insert(r), cols.insert(c);
        EXPECT_FALSE(std::fabs(r - 15) <= 2 && std::fabs(c - 20) <= 2);
        EXPECT_FALSE(std::fabs(r - X) <= 2 && std::fabs(c - Y) <= 2);
      }
      EXPECT_EQ(rows.size(), 3u);
      EXPECT_EQ(cols.size(), 3u);
    }
    ASSERT_EQ(strikes, 40);
    ASSERT_EQ(Bwhat2, 2);
    Bbl = Bbr = 0;
    const int r = Bgo2[2], c = Bgo2[3];
    for (int n = 2; n <= 21; ++n) Boss2();
    EXPECT_EQ(Bwhat2, 0);
    EXPECT_GT(Bbl - Bbr, 100);
    EXPECT_EQ(con::screen().at(2 * c, r).ch, U'█');  // the cross through the point
    EXPECT_EQ(con::screen().at(2 * c, r).attr, 0x0D);
  });
}

TEST(ParkourBosses, LaserTrailIsErasedInPaintingOrder) {
  in_world([] {
    con::Setpos(20, 0);
    for (int k = 0; k < 60; ++k) con::print("=");
    Boss = 2;
    X = 18, Y = 6.25f;
    Bx2 = 10, By2 = 24;
    Bwhat2 = 3, Bgo2[2] = 0;  // a vertical laser
    for (int c = 1; c <= 25; ++c) Boss2();
    EXPECT_EQ(Bwhat2, 0);
    EXPECT_EQ(Bbl - Bbr, 26);
    EXPECT_EQ(Blo, 80);
    EXPECT_EQ(con::screen().at(12, 4).ch, U'█');
    EXPECT_EQ(con::screen().at(12, 20).ch, U'█');
    EXPECT_EQ(con::screen().at(12, 20).attr, 0x0D);
    Bwhat2 = 9;  // no attack of its own, only the trail
    Boss2();
    EXPECT_GT(Bbr, 3);
    EXPECT_EQ(con::screen().at(12, 4).ch, U' ');
    for (int k = 0; k < 8; ++k) Boss2();
    EXPECT_EQ(Bbl, 0);
    EXPECT_EQ(Bbr, 0);
    EXPECT_EQ(con::screen().text_at(0, 20, 60), std::string(60, '='));
    EXPECT_EQ(con::screen().at(12, 29).ch, U' ');
  });
}

// The laser's warning: "▼" and "▲" three rows above and below the player while the laser would be
// vertical, a blank three columns left and right of the player while it would be horizontal
// (it blots out what stood there), in colour 5 when the count % 6 > 2, else 3.
TEST(ParkourBosses, LaserWarningMarksByOrientation) {
  in_world([] {
    con::Setpos(18, 0);
    con::print(std::string(60, 'x'));
    Boss = 2;
    X = 18, Y = 6;
    Bx2 = 10, By2 = 24;
    Bwhat2 = 3, Bgo2[2] = 0, Bgo2[3] = 0;
    for (int c = 1; c <= 3; ++c) Boss2();
    EXPECT_EQ(con::screen().text_at(12, 15, 2), "▼");
    EXPECT_EQ(con::screen().text_at(12, 21, 2), "▲");
    EXPECT_EQ(con::screen().at(12, 15).attr, 0x0E);  // count 3: colour 5
    Boss2();                                         // count 4: horizontal
    EXPECT_EQ(con::screen().text_at(12, 15, 2), "  ");
    EXPECT_EQ(con::screen().text_at(12, 21, 2), "  ");
    EXPECT_EQ(con::screen().text_at(0, 18, 20), "xxxxxx xxxxxxxxxxx x");
    EXPECT_EQ(con::screen().at(6, 18).attr, 0x0E);
    EXPECT_EQ(con::screen().at(18, 18).attr, 0x0E);
    Boss = 0;
  });
}

TEST(ParkourBosses, AFullTrailDropsCells) {
  in_world([] {
    Bbl = kTrail, Bbr = 0;
    EXPECT_FALSE(trail_push(7, 7));
    EXPECT_EQ(Bbl, kTrail);
    Bway[100][0] = 9, Bway[100][1] = 11;
    Bbr = 100;  // room at the front: the waiting cells move down
    EXPECT_TRUE(trail_push(7, 7));
    EXPECT_EQ(Bbr, 0);
    EXPECT_EQ(Bbl, kTrail - 100 + 1);
    EXPECT_EQ(Bway[0][0], 9);
    EXPECT_EQ(Bway[0][1], 11);
    EXPECT_EQ(Bway[Bbl - 1][1], 7);

    // A full queue while a laser fires: judged, not painted, nothing written past the end.
    Bbl = kTrail, Bbr = 0;
    Boss = 2;
    X = 18, Y = 6.25f;
    Bwhat2 = 3, Bgo2[2] = 1, Bgo2[1] = 24, Bgo2[4] = 18, Bgo2[5] = 6;
    con::system("cls");
    Boss2();
    EXPECT_EQ(Blo, 80);
    EXPECT_LE(Bbl, kTrail);
  });
}

TEST(ParkourBosses, Boss1AttacksMakeTheirShots) {
  in_world([] {
    Boss = 1;
    Bx1 = 15, By1 = 20;
    Bwhat1 = 2;
    for (int c = 1; c <= 9; ++c) Boss1();
    EXPECT_EQ(Bwhat1, 0);
    EXPECT_EQ(count_type(6), 3);
    for (int i = 0; i <= br; ++i) EXPECT_EQ(B[i].vcol, 0.8f);
    // They are live records like any monster's: the talent's ball may take one as its target.
    X = 18, Y = 6.25f, Up = 0, Down = 0;
    Dis = Dis1 = kNone;
    Move();
    EXPECT_NE(Dis == kNone ? Dis1 : Dis, kNone);
    EXPECT_EQ(B[Dis == kNone ? Disb1 : Disb].type, 6);
    clear_table();
    Bwhat1 = 6;
    const float col = By1;
    for (int c = 1; c <= 31; ++c) Boss1();
    EXPECT_EQ(Bwhat1, 0);
    EXPECT_EQ(count_type(9), 3);
    EXPECT_EQ(By1, col - 3);  // a step for each burst shot
    clear_table();
    Bwhat1 = 3;
    for (int c = 1; c <= 15; ++c) Boss1();
    EXPECT_EQ(count_type(8), 3);
  });
}

TEST(ParkourBosses, DashPaintsATrailOfTenCells) {
  in_world([] {
    Boss = 1;
    Bx1 = 15, By1 = 18;
    for (int k = 0; k < 200 && Bwhat1 != 5; ++k) {
      boss_stand_down(1);
      Boss1();
    }
    ASSERT_EQ(Bwhat1, 5);
    EXPECT_GT(std::fabs(Bvx1) + std::fabs(Bvy1), 3);
    Bbl = Bbr = 0;
    Boss1();
    EXPECT_EQ(Bbl, 10);
  });
}

TEST(ParkourBosses, Boss3Shots) {
  in_world([] {
    Boss = 3;
    X = 18;
    Bx3 = 21.6f, By3 = 20;
    Bwhat3 = 7;
    for (int c = 1; c <= 6; ++c) Boss3();
    EXPECT_EQ(Bwhat3, 0);
    ASSERT_EQ(count_type(14), 3);
    const int row = static_cast<int>(B[0].row);
    EXPECT_EQ(B[0].row, row);
    EXPECT_EQ(B[0].sub, row - 3);
    EXPECT_EQ(B[0].vrow, 1);
    EXPECT_EQ(B[1].sub, row + 3);
    EXPECT_EQ(B[2].vrow, 0);
    clear_table();
    Bwhat3 = 10;
    for (int c = 1; c <= 12; ++c) Boss3();
    EXPECT_EQ(count_type(13), 4);
    EXPECT_EQ(Bwhat3, 0);
    clear_table();
    Bwhat3 = 5;
    for (int c = 1; c <= 6; ++c) Boss3();
    ASSERT_EQ(count_type(16), 1);
    EXPECT_GE(B[0].vcol, 0.375f);
    EXPECT_LE(B[0].vcol, (99 / 80.0 + 0.5) * 0.75 + 1e-6);
  });
}

TEST(ParkourBosses, Boss3FollowsThePlayersRow) {
  in_world([] {
    Boss = 3;
    Bx3 = 21, By3 = 20;
    Bwhat3 = 9;  // a double shot holds the boss still
    X = 18;
    Boss3();
    EXPECT_EQ(Bvx3, 0);
    Bwhat3 = 8;  // a three-lane shot lets it follow until count 6
    Bgo3[1] = 0;
    Boss3();
    EXPECT_EQ(Bvx3, 0.3f);  // below the player: it rises
    X = 30;
    Boss3();
    EXPECT_FLOAT_EQ(Bx3, 20.7f);
    // One step up and one down, each in double and kept as float, leave a trace of speed.
    EXPECT_EQ(Bvx3, static_cast<float>(0.3f - 0.3));
    EXPECT_NE(Bvx3, 0);
    for (int c = 3; c <= 6; ++c) Boss3();
    EXPECT_EQ(Bwhat3, 0);  // the shot left at count 6 and stopped the boss
    EXPECT_EQ(count_type(15), 3);
  });
}

TEST(ParkourBosses, TauntBannerSpellsItsLine) {
  const char* lines[5] = {"我是最强的", "神级怪物之光", "颤抖吧无能的人类", "还不快跪倒在朕前",
                          "看懂这句话的是猪"};
  for (int line = 0; line < 5; ++line) {
    in_world([&] {
      con::system("cls");
      Boss = 3;
      X = 18, Y = 6.25f;
      Bx3 = 10, By3 = 20;
      Bwhat3 = 11, Bgo3[2] = line;
      for (int c = 1; c <= 16; ++c) {
        Boss3();
        // The banner starts at count 8: four columns of a glyph and two blocks each.
        if (c == 7) {
          EXPECT_EQ(br, -1);
        }
        if (c == 8) {
          EXPECT_EQ(br, 11);
        }
        Move();
      }
      std::string cycle;
      for (int k = 0; k < 6; ++k) cycle += lines[line];
      const std::string text = glyphs(9, 8, 32);
      EXPECT_GE(text.size(), 3u * 14);
      EXPECT_NE(cycle.find(text), std::string::npos) << text;
      EXPECT_EQ(glyphs(8, 8, 32), glyphs(10, 8, 32));
      EXPECT_EQ(glyphs(10, 8, 32).substr(0, 3), "█");
      for (int c = 17; c <= 20; ++c) {
        Boss3();
        Move();
      }
      EXPECT_EQ(Bwhat3, 0);
      for (int c = 0; c < 6; ++c) Move();
      EXPECT_EQ(glyphs(9, 0, 60), "");  // the debris wiped the trace
    });
  }
}
