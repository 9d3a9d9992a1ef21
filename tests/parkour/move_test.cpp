#include <gtest/gtest.h>

#include <vector>

#include "parkour/harness.hpp"

using namespace parkour;
using namespace parkour_test;

namespace {

// Rows risen per tick over n ticks of Move, counting T as the loop does.
std::vector<float> rises(int n) {
  std::vector<float> out;
  for (int k = 0; k < n; ++k) {
    float before = X;
    T += 1;
    Move();
    out.push_back(before - X);
  }
  return out;
}

}  // namespace

TEST(ParkourMove, FirstJumpRisesAndLandsOnTheUpperLevel) {
  in_world([] {
    T = 1;
    Up = 1, Vx = 2, Vy = 0.1f;  // what the up arrow sets
    std::vector<float> r = rises(6);
    const float want[6] = {2, 1.65f, 1.3f, 0.95f, 0.6f, 0.25f};
    for (int k = 0; k < 6; ++k) {
      EXPECT_NEAR(r[k], want[k], 1e-5) << k;
    }
    EXPECT_NEAR(X, 11.25f, 1e-4);
    int ticks = 6;
    while (Up != 0 && ticks < 40) {
      T += 1;
      Move();
      ++ticks;
    }
    EXPECT_EQ(Up, 0);
    EXPECT_FLOAT_EQ(X, 18);
    EXPECT_EQ(Vx, 0);
    EXPECT_EQ(ticks, 13);
  });
}

TEST(ParkourMove, ChilledJumpRisesAtHalfSpeed) {
  in_world([] {
    T = 1;
    Ice = 100;
    Up = 1, Vx = 2;
    std::vector<float> r = rises(3);
    EXPECT_NEAR(r[0], 1, 1e-5);
    EXPECT_NEAR(r[1], 0.9125f, 1e-5);
    EXPECT_NEAR(r[2], 0.825f, 1e-5);
  });
}

TEST(ParkourMove, HoverHoldsItsHeightThirtyTicksOrSixtyChilled) {
  for (int ice : {0, 100}) {
    in_world([ice] {
      Ice = ice;
      T = 0;
      X = 12, Up = 3, Vx = 1, Upt = 30;
      int fade = ice ? 8 : 4;  // ticks until the rise has faded out
      std::vector<float> r = rises(fade);
      if (ice) {
        EXPECT_NEAR(r[0], 0.5f, 1e-5);
        EXPECT_NEAR(r[7], 0.0625f, 1e-5);
      } else {
        const float want[4] = {1, 0.75f, 0.5f, 0.25f};
        for (int k = 0; k < 4; ++k) {
          EXPECT_NEAR(r[k], want[k], 1e-5) << k;
        }
      }
      float held = X;
      int ticks = fade;
      while (Upt != 0 && ticks < 100) {
        T += 1;
        // The hovering figure stays as drawn until the hover's last tick erases it.
        Map(0, 0);
        const bool last = Upt == 1 && (!ice || T % 2 == 0);
        const std::vector<con::Cell> before = snapshot();
        Move();
        ++ticks;
        EXPECT_FLOAT_EQ(X, held) << ice << " " << ticks;
        EXPECT_EQ(changed(before).empty(), !last) << ice << " " << ticks;
      }
      EXPECT_EQ(ticks, ice ? 60 : 30);
      // Gravity is back.
      rises(2);
      EXPECT_GT(X, held + 0.05f);
    });
  }
}

TEST(ParkourMove, DiveOfTalentFiveGoesToRow27AndLandsInItsEleventhTick) {
  in_world([] {
    T = 1;
    X = 22, Down = 2, Up = 0, Vx = -1.7f;
    float deepest = X;
    int landed = 0;
    for (int k = 1; k <= 12 && !landed; ++k) {
      T += 1;
      Move();
      deepest = std::max(deepest, X);
      if (Down == 1) landed = k;
    }
    EXPECT_NEAR(deepest, 27, 0.01);
    EXPECT_EQ(landed, 11);
    EXPECT_FLOAT_EQ(X, 22);
  });
}

TEST(ParkourMove, DropsAndClimbsLandInTheSameTick) {
  in_world([] {
    T = 1;
    Down = 1, Vx = -7;
    Move();
    EXPECT_FLOAT_EQ(X, 22);
    EXPECT_EQ(Vx, 0);
    Down = 0, Vx = 7, Vy = 0.3f;
    Move();
    EXPECT_FLOAT_EQ(X, 18);
    EXPECT_EQ(Vy, 0);
    // The landing puts the ground back under the feet.
    EXPECT_EQ(text(7, 20, 10), "==========");
  });
}

TEST(ParkourMove, ColumnIsClampedBeforeMoving) {
  in_world([] {
    T = 1;  // no pull this tick
    Y = 0.5f, Vy = 0.3f;
    Move();
    EXPECT_FLOAT_EQ(Y, 1);
    EXPECT_FLOAT_EQ(Vy, 0.5f);  // far left of home: pushed back right
    Y = 29.5f, Vy = 0.3f;
    Move();
    EXPECT_FLOAT_EQ(Y, 29);
    EXPECT_FLOAT_EQ(Vy, -0.5f);
  });
}

TEST(ParkourMove, PullTowardHome) {
  in_world([] {
    stand(8);
    T = 3;  // pulled left on T % 6 == 3
    Move();
    EXPECT_FLOAT_EQ(Y, 7.5f);
    T = 4;
    Move();
    EXPECT_FLOAT_EQ(Y, 7);  // the -0.5 speed the pull left behind
    stand(4);
    T = 6;
    Move();
    EXPECT_FLOAT_EQ(Y, 4.5f);
    EXPECT_FLOAT_EQ(Vy, 0.5f);
  });
}

TEST(ParkourMove, PassRetiresObjectsLeavingTheFieldOrOld) {
  in_world([] {
    X = 3;
    empty_table();
    add(1, 10, 0.5f, 0, 1);  // would leave on the left
    add(2, 5.5f, 10, 1, 0);  // would reach row 5
    add(1, 12, 10, 0, 0).counter = 100;
    add(120, 4, 25, 0, 0);  // boss text is not bound to the field
    add(1, 14, 20, 0, 1);
    T = 1;
    Move();
    EXPECT_EQ(B[0].alive, 0);
    EXPECT_EQ(B[1].alive, 0);
    EXPECT_EQ(B[2].alive, 0);
    EXPECT_EQ(B[3].alive, 1);
    EXPECT_EQ(B[4].alive, 1);
    EXPECT_EQ(B[4].counter, 1);
    EXPECT_EQ(bl, 3);  // the window starts at the first live record
  });
}

TEST(ParkourMove, WaterDropsDestroyObjects) {
  in_world([] {
    X = 3;
    empty_table();
    for (auto& d : I) d[0] = d[1] = -1;
    I[4][0] = 20, I[4][1] = 25;  // far to the right, level with the record: still hits
    add(1, 21, 10, 0, 0);
    add(-3, 20, 12, 0, 0).param = 20;  // goods are not monsters
    Exp = 0;
    Move();
    EXPECT_EQ(B[0].alive, 0);
    EXPECT_EQ(B[1].alive, 1);
    EXPECT_EQ(Exp, 2);
    EXPECT_EQ(I[4][0], -1);
    EXPECT_EQ(text(50, 20, 3), "===");
  });
}

TEST(ParkourMove, SteeringByType) {
  in_world([] {
    X = 3;
    empty_table();
    Obj& m = add(1, 10, 25.5f, 0, 1);
    T = 1;
    Move();
    EXPECT_EQ(m.sub, 1);  // stopped at column 25
    EXPECT_EQ(m.vcol, 0);
    m.counter = 29;
    Move();
    EXPECT_FLOAT_EQ(m.col, 26);  // stepped back
    EXPECT_EQ(m.sub, 2);
    m.counter = 34;
    Move();
    EXPECT_FLOAT_EQ(m.vcol, 1.5f);  // charges

    empty_table();
    Obj& g = add(3, 12, 20, 0, 0);
    g.counter = 44;
    Move();
    EXPECT_EQ(g.alive, 0);  // its beam
    ASSERT_EQ(br, 1);
    EXPECT_EQ(B[1].type, 4);
    EXPECT_FLOAT_EQ(B[1].row, 12);
    EXPECT_FLOAT_EQ(B[1].vcol, 3);
    EXPECT_FLOAT_EQ(B[1].col, 29);  // appended during the pass and moved in it

    empty_table();
    Obj& h = add(5, 12, 20, 0, 0);
    X = 18;  // the player is lower: it follows down and never fires
    h.counter = 44;
    Move();
    EXPECT_EQ(h.alive, 1);
    EXPECT_FLOAT_EQ(h.vrow, -0.2f);
    EXPECT_EQ(br, 0);
  });
}

TEST(ParkourMove, BurstingAndHomingShots) {
  in_world([] {
    X = 3;
    empty_table();
    Obj& b = add(9, 12, 20, 0, 1);
    b.counter = 6;
    Move();
    EXPECT_EQ(b.alive, 0);
    ASSERT_EQ(br, 4);
    float a = -B[1].vrow, c = -B[1].vcol;
    EXPECT_TRUE(a > 0.5f || c > 0.5f);
    EXPECT_FLOAT_EQ(B[2].vrow, -c);
    EXPECT_FLOAT_EQ(B[2].vcol, a);
    EXPECT_FLOAT_EQ(B[3].vrow, a);
    EXPECT_FLOAT_EQ(B[3].vcol, c);
    EXPECT_FLOAT_EQ(B[4].vrow, c);
    EXPECT_FLOAT_EQ(B[4].vcol, -a);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(B[i].counter, 12) << i;  // 11, then aged in the pass

    empty_table();
    X = 18, Y = 6;
    Obj& h = add(8, 10, 20, 0, 0);
    Move();
    EXPECT_FLOAT_EQ(h.vrow, -0.2f);  // toward the player's lower row
    EXPECT_FLOAT_EQ(h.vcol, 0.2f);   // and leftward
    h.counter = 24;
    Move();
    EXPECT_FLOAT_EQ(h.vrow, -0.2f);  // from age 25 on it flies straight
  });
}

TEST(ParkourMove, ASlowFlyerRetiringEndsThePass) {
  in_world([] {
    X = 3;
    empty_table();
    add(6, 10, 20, 0.1f, 0.1f).counter = 50;
    Obj& after = add(1, 12, 20, 0, 1);
    Move();
    EXPECT_EQ(B[0].alive, 0);
    EXPECT_EQ(bl, 1);
    EXPECT_FLOAT_EQ(after.col, 20);  // not moved this tick
    EXPECT_EQ(after.counter, 0);
    Move();
    EXPECT_FLOAT_EQ(after.col, 19);
  });
}

TEST(ParkourMove, TargetSearchFindsTheNearestAheadAndTheNearestOther) {
  in_world([] {
    stand(6);
    Dis = Dis1 = kNone;
    add(1, 17, 20, 0, 0);            // ahead, 14 columns
    add(1, 18, 12, 0, 0).param = 1;  // nearer but taken
    add(1, 19, 10, 0, 0);            // ahead, nearest free
    add(1, 10, 8, 0, 0);             // above: not "ahead"
    add(-10, 10, 25, 0, 0);          // a coin is no target
    T = 1;
    Move();
    EXPECT_EQ(Disb, 2);
    EXPECT_EQ(Dis, 1 * 1 + 4 * 4);
    EXPECT_EQ(Disb1, 3);
    EXPECT_EQ(Dis1, 8 * 8 + 2 * 2);
  });
}
