#include <gtest/gtest.h>

#include <vector>

#include "parkour/harness.hpp"

using namespace parkour;
using namespace parkour_test;

namespace {

// A fresh monster on the player every tick while Killb counts down as the loop lowers it;
// returns the ticks on which one of them hurt.
std::vector<int> hurting_ticks(int ticks) {
  std::vector<int> out;
  for (int t = 0; t < ticks; ++t) {
    if (Killb > 0) Killb -= 1;
    empty_table();
    add(1, X, Y);
    float before = Blo;
    Pan(1, X, Y, 0);
    if (Blo < before) out.push_back(t);
  }
  return out;
}

}  // namespace

TEST(ParkourContact, ProtectionWindowAfterAHit) {
  in_world([] {
    Ren = 2;
    Blo = 1000;
    EXPECT_EQ(hurting_ticks(14), (std::vector<int>{0, 6, 12}));
    EXPECT_EQ(Killb, 20 - 1);
    EXPECT_EQ(Kill, 1);
    Ren = 1;  // talent 1: the whole countdown
    Killb = 0;
    EXPECT_EQ(hurting_ticks(45), (std::vector<int>{0, 20, 40}));
  });
}

TEST(ParkourContact, AMonsterHurtsOnlyOnce) {
  in_world([] {
    Ren = 2;
    empty_table();
    Obj& m = add(1, 18, 6.25f);
    Pan(1, 18, 6.25f, 0);
    EXPECT_FLOAT_EQ(Blo, 85);
    EXPECT_TRUE(m.hit);
    EXPECT_EQ(m.alive, 1);
    Killb = 0;
    Pan(1, 18, 6.25f, 0);
    EXPECT_FLOAT_EQ(Blo, 85);
    // ... but the wind still sweeps it away.
    Wind = 30, Exp = 0;
    Pan(1, 18, 6.25f, 0);
    EXPECT_EQ(m.alive, 0);
    EXPECT_EQ(Exp, 2);
  });
}

TEST(ParkourContact, WindAndThunderSweepInsteadOfHurting) {
  in_world([] {
    Killb = 20;  // protection does not hold the sweep back
    Exp = 0;
    Thun = 50;
    empty_table();
    add(6, 18, 8.5f);  // within 2.5 of (18, 6.25)
    add(101, 19, 7);   // boss text: destroyed, no experience
    add(2, 18, 8.8f);  // just out of reach
    Pan(6, 18, 8.5f, 0);
    Pan(1, 19, 7, 1);
    Pan(2, 18, 8.8f, 2);
    EXPECT_EQ(B[0].alive, 0);
    EXPECT_EQ(B[1].alive, 0);
    EXPECT_EQ(B[2].alive, 1);
    EXPECT_EQ(Exp, 2);
    EXPECT_FLOAT_EQ(Blo, 100);
    // Experience for every swept record up to type 97, by a touch or by a beam's reach; 98 and
    // above give none.
    for (int mode : {1, 4}) {
      for (int type : {97, 98}) {
        const float col = mode == 4 ? 12 : 6.25f;  // a beam reaches 8 columns left of its head
        Exp = 0;
        empty_table();
        add(type, 18, col);
        Pan(mode, 18, col, 0);
        EXPECT_EQ(B[0].alive, 0) << mode << " " << type;
        EXPECT_EQ(Exp, type == 97 ? 2 : 0) << mode << " " << type;
      }
    }
  });
}

// Modes 2, 6 and 8 to 12 touch within 1.5 of a body point: mode 2 costs 20 and the record stays,
// mode 8 costs 10, the others 15, and those records leave.
TEST(ParkourContact, LossAndRemovalByTouchMode) {
  in_world([] {
    for (int mode : {2, 6, 7, 8, 9, 12, 13}) {
      stand();
      Killb = 0;
      empty_table();
      add(1, 18, 7.5f);  // 1.25 from (18, 6.25)
      Pan(mode, 18, 7.5f, 0);
      const float loss = mode == 2 ? 20 : mode == 8 ? 10 : (mode == 7 || mode == 13) ? 0 : 15;
      EXPECT_FLOAT_EQ(Blo, 100 - loss) << mode;
      EXPECT_EQ(B[0].alive, (mode == 2 || loss == 0) ? 1 : 0) << mode;
    }
  });
}

TEST(ParkourContact, DamageByTypeInTheBoxOfModeOne) {
  in_world([] {
    struct Case {
      int type;
      float loss;
      int ice, drug, alive;
    };
    for (Case c : {Case{13, 10, 0, 0, 0}, Case{14, 15, 100, 0, 0}, Case{15, 20, 0, 0, 0},
                   Case{16, 10, 0, 0, 0}, Case{17, 5, 0, 100, 0}, Case{300, 25, 0, 0, 1},
                   Case{1, 15, 0, 0, 1}}) {
      stand();
      Ice = 0, Drug = 0, Killb = 0;
      empty_table();
      add(c.type, 18.4f, 7.2f);  // inside the box of (18, 6.25): 0.4 rows, 0.95 columns
      Pan(1, 18.4f, 7.2f, 0);
      EXPECT_FLOAT_EQ(Blo, 100 - c.loss) << c.type;
      EXPECT_EQ(Ice, c.ice) << c.type;
      EXPECT_EQ(Drug, c.drug) << c.type;
      EXPECT_EQ(B[0].alive, c.alive) << c.type;
      EXPECT_EQ(Killb, 20) << c.type;
    }
    // Just outside the box: half a row between two body points.
    stand();
    Killb = 0;
    empty_table();
    add(1, 18.5f, 6.25f);
    Pan(1, 18.5f, 6.25f, 0);
    EXPECT_FLOAT_EQ(Blo, 100);
  });
}

// The body points by the player's state, for the monsters' touch and for the bosses' beams
// alike: standing on either level three, in the air or dropping two, diving two (one below).
TEST(ParkourContact, BodyPointsByState) {
  struct Case {
    int down;
    float x;
    int row, col;  // the cell touched, the player at column 10
    bool hurts;
  };
  const Case cases[] = {
      {0, 18, 17, 9, true},  {0, 18, 19, 9, true},  {0, 18, 16, 9, false},  // upper level
      {0, 12, 11, 9, true},  {0, 12, 13, 9, false},                         // in the air
      {1, 22, 22, 10, true},  // the lower level's head point: only its own reaches it
      {1, 21, 21, 10, true},  // and the dropping player's
      {0, 12, 12, 10, true},  // and the jumping player's
      {1, 22, 21, 9, true},  {1, 22, 23, 9, true},  {1, 22, 20, 9, false},  // lower level
      {1, 21, 20, 9, true},  {1, 21, 22, 9, false},                         // dropping
      {2, 25, 26, 9, true},  {2, 25, 24, 9, false}, {2, 25, 25, 10, true},  // diving
  };
  in_world([&] {
    for (const Case& c : cases) {
      for (bool beam : {false, true}) {
        stand(10);
        Ren = 2, Down = c.down, X = c.x;
        if (beam) {
          Boss = 1, Bgo1[4] = 0;
          Panboss(c.row, c.col);
          Boss = 0;
        } else {
          empty_table();
          add(1, static_cast<float>(c.row), static_cast<float>(c.col));
          Pan(1, static_cast<float>(c.row), static_cast<float>(c.col), 0);
        }
        EXPECT_FLOAT_EQ(Blo, c.hurts ? (beam ? 80 : 85) : 100)
            << "down " << c.down << " row " << c.x << ": (" << c.row << ", " << c.col << ")"
            << (beam ? " beam" : "");
      }
    }
  });
}

TEST(ParkourContact, SpinnersStayFlyersDie) {
  in_world([] {
    Killb = 0;
    empty_table();
    add(2, 19, 7);
    Pan(2, 19, 7, 0);  // 1.25 from (19, 5.75)
    EXPECT_FLOAT_EQ(Blo, 80);
    EXPECT_EQ(B[0].alive, 1);
    Killb = 0;
    add(8, 18, 7.5f);
    add(1, 10, 25);
    bl = 1;
    Pan(6, 18, 7.5f, 1);
    EXPECT_FLOAT_EQ(Blo, 65);
    EXPECT_EQ(B[1].alive, 0);
    EXPECT_EQ(bl, 2);
  });
}

TEST(ParkourContact, BeamReachesEightColumnsLeftOfItsHead) {
  in_world([] {
    stand(10);
    Obj& beam = add(4, 18, 18);
    Pan(4, 18, 18, 0);  // the head 8 columns right of the player
    EXPECT_FLOAT_EQ(Blo, 75);
    EXPECT_FLOAT_EQ(Y, 9.5f);
    EXPECT_FLOAT_EQ(Vy, -1);
    EXPECT_EQ(beam.alive, 1);

    stand(10);
    empty_table();
    add(4, 18, 9);  // the head 1 column left of the player
    Pan(4, 18, 9, 0);
    EXPECT_FLOAT_EQ(Blo, 100);

    stand(10);
    empty_table();
    add(4, 19.2f, 12);  // a row off: the lower body point is within reach
    Pan(4, 19.2f, 12, 0);
    EXPECT_FLOAT_EQ(Blo, 75);

    stand(10);
    Wind = 10, Exp = 0;
    empty_table();
    add(4, 19.4f, 17);  // swept along its whole length, 1.4 rows off
    Pan(4, 19.4f, 17, 0);
    EXPECT_EQ(B[0].alive, 0);
    EXPECT_EQ(Exp, 2);
    Wind = 0;
  });
}

TEST(ParkourContact, GoodsFromTwoAndAHalfCoinsFromOneAndAHalf) {
  in_world([] {
    stand(10);
    add(-8, 18, 12.4f);  // healing, 2.4 away
    add(-8, 18, 12.5f);  // 2.5 away: not yet
    add(-10, 18, 11.4f);
    add(-11, 18, 11.5f);
    Blo = 50, Exp = 0;
    for (int i = 0; i < 4; ++i) Pan(i < 2 ? -2 : -1, B[i].row, B[i].col, i);
    EXPECT_EQ(B[0].alive, 0);
    EXPECT_EQ(B[1].alive, 1);
    EXPECT_EQ(B[2].alive, 0);
    EXPECT_EQ(B[3].alive, 1);
    EXPECT_FLOAT_EQ(Blo, 70);
    EXPECT_EQ(Exp, 2);
    EXPECT_EQ(bl, 1);  // the picked record at the front was passed at once
  });
}

TEST(ParkourContact, EffectsOfTheGoods) {
  in_world([] {
    Ice = 50, Drug = 50, Exp = 295, Blo = 95;
    empty_table();
    for (int t : {-2, -3, -4, -7, -8, -9}) add(t, 18, 6.25f);
    for (int i = 0; i <= br; ++i) Pan(-2, 18, 6.25f, i);
    EXPECT_EQ(Biao, 5);
    EXPECT_EQ(Fire, 300);
    EXPECT_EQ(Fir, 3);
    EXPECT_EQ(Water, 200);
    EXPECT_EQ(Magne, 300);
    EXPECT_EQ(Ice, 0);
    EXPECT_EQ(Drug, 0);
    EXPECT_FLOAT_EQ(Blo, 100);  // healing stops at the maximum
    EXPECT_EQ(Exp, 300);        // so does experience

    // The wind ball blows the player home-ward to the right edge, and down from a jump.
    Up = 1, Exp = 0;
    empty_table();
    add(-5, 18, 6.25f);
    Pan(-2, 18, 6.25f, 0);
    EXPECT_EQ(Wind, 70);
    EXPECT_FLOAT_EQ(Ding, 28.25f);
    EXPECT_FLOAT_EQ(Vy, 5);
    EXPECT_FLOAT_EQ(Vx, -5);
    EXPECT_EQ(Exp, 2);  // with the wind up, the ball is swept as it is taken
  });
}

TEST(ParkourContact, ThunderBallFlashesTheConsole) {
  // The whole console as it stood through each pause of the flash, and for how long.
  con::Headless h;
  std::vector<std::pair<int, int64_t>> flashes;
  int64_t before = 0;
  h.on_sleep = [&](con::Headless& hh) {
    flashes.push_back({con::screen().fill_attr(), hh.now() - before});
    before = hh.now();
  };
  in_world(
      [&] {
        empty_table();
        add(-6, 18, 6.25f);
        before = h.now();
        Pan(-2, 18, 6.25f, 0);
        EXPECT_EQ(Thun, 200);
        EXPECT_EQ(con::screen().fill_attr(), 0x0F);
        EXPECT_EQ(con::screen().at(30, 30).attr, 0x0F);
      },
      1, &h);
  EXPECT_EQ(flashes, (std::vector<std::pair<int, int64_t>>{{0x1F, 20}, {0x6F, 10}}));
}
