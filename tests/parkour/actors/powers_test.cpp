#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "parkour/harness.hpp"

using namespace parkour;
using parkour_test::count_type;
using parkour_test::in_world;

namespace {

int monster(float row, float col, int type = 1) {
  Obj* r = new_record();
  r->type = type;
  r->row = row;
  r->col = col;
  r->alive = 1;
  return br;
}

// The part of the tick the powers live in: counters, powers, spawns, goods, the object pass.
void tick(int family = 0) {
  T += 1;
  if (Fire > 0) Ball(1), Fire -= 1;
  if (Water > 0) Ball(2), Water -= 1;
  if (Wind > 0) Ball(3), Wind -= 1;
  if (Thun > 0) Ball(4), Thun -= 1;
  if (Boss == 0) NorGuai(family, T % 1500);
  RandGood();
  Map(-1, 0);
  Move();
  Map(0, 0);
}

int blocks(int row) {
  const std::string s = con::screen().row_text(row);
  int n = 0;
  for (size_t p = s.find("▄"); p != std::string::npos; p = s.find("▄", p + 1)) ++n;
  return n;
}

}  // namespace

TEST(ParkourPowers, FireChoosesItsTargetAndSpendsCharges) {
  in_world([] {
    Fire = 300, Fir = 3, T = 1;
    Ball(1);  // nothing to aim at
    EXPECT_EQ(B[br].type, -13);
    EXPECT_EQ(B[br].alive, 0);
    EXPECT_EQ(Fir, 3);

    const int ahead = monster(18, 10), behind = monster(10, 3);
    Dis = 16, Disb = ahead, Dis1 = 74, Disb1 = behind;
    Ball(1);
    EXPECT_EQ(B[br].param, ahead);
    EXPECT_EQ(B[ahead].param, 1);  // taken
    EXPECT_EQ(Fir, 2);
    EXPECT_EQ(Dis, kNone);
    EXPECT_EQ(Dis1, kNone);

    Boss = 1;  // a boss comes before a far monster ahead
    Dis = 40, Disb = ahead;
    Ball(1);
    EXPECT_EQ(B[br].param, kBossTarget);
    Boss = 0;
    Dis1 = 74, Disb1 = behind;
    Ball(1);
    EXPECT_EQ(B[br].param, behind);
    EXPECT_EQ(Fir, 0);
    Ball(1);  // T % 8 != 0: no charge, no fireball
    EXPECT_EQ(B[br].param, behind);

    // A target found before the table was emptied is not shot at.
    clear_table();
    Fir = 1, Dis = 0, Disb = 0;
    Ball(1);
    EXPECT_EQ(B[br].alive, 0);
    EXPECT_EQ(B[0].param, 0);
    EXPECT_EQ(Fir, 1);
  });
}

TEST(ParkourPowers, FireRechargesToThreeAtMost) {
  in_world([] {
    Fir = 0;
    int most = 0;
    for (T = 1; T <= 200; ++T) {
      const int before = Fir;
      Ball(1);  // no targets: charges only build up
      EXPECT_EQ(Fir, before + (T % 8 == 0 && before <= 2 ? 1 : 0));
      most = std::max(most, Fir);
    }
    EXPECT_EQ(most, 3);
  });
}

TEST(ParkourPowers, WaterSpraysDropsAndAFanAtTheEnd) {
  in_world([] {
    Water = 2;
    T = 16;
    Ball(2);
    EXPECT_EQ(I[ib][0], 18);
    EXPECT_EQ(I[ib][1], 4);
    T = 21;  // 21 % 12 == 9: the newest drop goes two rows down
    Ball(2);
    EXPECT_EQ(I[ib][0], 20);
    Water = 1;
    T = 22;
    const int first = ib;
    Ball(2);
    std::set<std::pair<int, int>> fan;
    for (int k = 1; k <= 13; ++k) fan.insert({I[(first + k) % 20][0], I[(first + k) % 20][1]});
    EXPECT_EQ(fan.size(), 13u);
    EXPECT_TRUE(fan.count({12, 1}));  // tips of the "<" are furthest back
    EXPECT_TRUE(fan.count({18, 4}));
    EXPECT_TRUE(fan.count({24, 1}));
  });
}

TEST(ParkourPowers, WindBlowsThePlayerRightAndBack) {
  in_world([] {
    con::system("cls");
    X = 18, Y = 6.25f;
    Guai(-5, 18);  // a wind ball right at the player
    B[0].col = 7;
    B[0].vrow = 0;
    tick();
    ASSERT_EQ(Wind, 70);
    EXPECT_EQ(Ding, 28.25f);
    float far_right = 0;
    std::vector<float> ys;
    monster(18, 20);  // in the way: blown away, for experience
    const int exp = Exp;
    for (int k = 0; k < 120; ++k) {
      tick();
      far_right = std::max(far_right, Y);
      ys.push_back(Y);
    }
    EXPECT_EQ(far_right, 28.25f);  // held at the wind's home column
    EXPECT_GE(*std::min_element(ys.begin() + 4, ys.begin() + 60), 27.25f);
    EXPECT_EQ(Ding, 6.25f);
    EXPECT_NEAR(Y, 6.25f, 0.5f);
    EXPECT_EQ(count_type(1), 0);
    EXPECT_GE(Exp, exp + 2);
  });
}

TEST(ParkourPowers, ThunderClearsTheFieldTwoHundredTicksLater) {
  con::Headless h;
  std::vector<int> flashes;
  h.on_sleep = [&](con::Headless&) { flashes.push_back(con::screen().fill_attr()); };
  in_world(
      [&] {
        X = 18, Y = 6.25f;
        Guai(-6, 18);
        B[0].col = 7;
        B[0].vrow = 0;
        tick();
        ASSERT_EQ(Thun, 200);
        flashes.clear();
        for (int k = 1; k < 200; ++k) tick(1);  // family 1 brings monsters all along
        EXPECT_TRUE(flashes.empty());
        EXPECT_GT(count_type(1), 0);
        const int heal = br + 1;
        Guai(-8, 10);  // goods stay
        tick();
        EXPECT_EQ(Thun, 0);
        EXPECT_EQ(count_type(1), 0);
        EXPECT_EQ(B[heal].alive, 1);
        EXPECT_EQ(flashes, (std::vector<int>{0x9F, 0x6F}));
        EXPECT_EQ(con::screen().fill_attr(), 0x0F);
        EXPECT_EQ(con::screen().text_at(0, 20, 60), std::string(60, '='));
      },
      1, &h);
}

TEST(ParkourPowers, StrikesHurtAndStandDownABoss) {
  in_world([] {
    Boss = 2, Bblo = 500, Lv = 3;
    Bwhat2 = 3, Bvx2 = 1, Bgo2[1] = 7;
    Thun = 1;
    Ball(4);
    EXPECT_EQ(Bblo, 500 - 28);
    EXPECT_EQ(Bwhat2, 0);
    EXPECT_EQ(Bvx2, 0);
    EXPECT_EQ(Bgo2[1], 0);
    Wind = 5, Ding = 28.25f;
    Ball(3);
    EXPECT_EQ(Ding, 12.25f);
    EXPECT_EQ(Bblo, 500 - 56);
    Boss = 6, Bwhat1 = 4;  // in the final wave only the blow
    Thun = 1;
    Ball(4);
    EXPECT_EQ(Bblo, 500 - 84);
    EXPECT_EQ(Bwhat1, 4);
  });
}

TEST(ParkourPowers, TalentScreenOffersAnotherTalent) {
  for (unsigned seed = 1; seed <= 120; ++seed) {
    con::Headless h;
    std::string offer, held;
    int ren = 1 + static_cast<int>(seed % 5);
    const bool take = seed % 2 == 0;
    h.on_wait = [&](con::Headless& hh) {
      if (!offer.empty()) return;
      offer = con::screen().text_at(20, 12, 12);
      held = con::screen().text_at(20, 14, 30);
      EXPECT_EQ(con::screen().text_at(20, 10, 8), "新天赋！");
      EXPECT_EQ(con::screen().text_at(20, 16, 13), "换否？（y/n）");
      hh.key('Y');
      hh.key('N');
      hh.arrow(72);
      hh.key(take ? 'y' : 'n');
      hh.key('y');  // left for whoever reads next
    };
    in_world(
        [&] {
          Ren = ren;
          Ball(5);
        },
        seed, &h);
    const char* names[] = {"", "小无敌", "瞬跳", "空之舞", "三段跳", "反重力跳跃"};
    int offered = 0;
    for (int k = 1; k <= 5; ++k)
      if (offer.rfind(names[k], 0) == 0) offered = k;
    EXPECT_GE(offered, 2) << offer;
    EXPECT_NE(offered, ren);
    EXPECT_EQ(held.rfind(std::string("当前天赋：") + names[ren], 0), 0u) << held;
    EXPECT_EQ(Ren, take ? offered : ren);
    EXPECT_EQ(con::keys().size(), 1u);  // only the keys up to the answer were read
    EXPECT_EQ(con::screen().text_at(0, 20, 60), std::string(60, '='));
    EXPECT_EQ(con::screen().text_at(20, 12, 12).find_first_not_of(' '), std::string::npos);
  }
}

TEST(ParkourPowers, HealthBars) {
  in_world([] {
    Bblo = Bblomax = 500;
    con::Setpos(4, 1);
    Ball(6);
    EXPECT_EQ(blocks(4), 20);
    EXPECT_EQ(con::screen().at(2, 4).attr, 0x0C);
    EXPECT_EQ(con::screen().text_at(42, 4, 5), " 500 ");
    Bblo = 0;
    con::system("cls");
    con::Setpos(4, 1);
    Ball(6);
    EXPECT_EQ(blocks(4), 0);
    EXPECT_EQ(con::screen().text_at(2, 4, 3), " 0 ");
    Bblo = 250;
    con::Setpos(4, 1);
    Ball(6);
    EXPECT_EQ(blocks(4), 10);

    for (int max : {100, 105, 115, 200}) {
      Blomax = max, Blo = static_cast<float>(max);
      con::system("cls");
      con::Setpos(3, 1);
      Ball(7);
      EXPECT_EQ(blocks(3), 20) << max;  // a full bar whatever the maximum
    }
    EXPECT_EQ(con::screen().at(2, 3).attr, 0x0B);
    EXPECT_EQ(con::screen().text_at(42, 3, 7), " 200.0 ");
    Blo = 0;
    Win = 7, T = 2;  // the final wave blinks
    con::system("cls");
    con::Setpos(3, 1);
    Ball(7);
    EXPECT_EQ(blocks(3), 0);
    EXPECT_EQ(con::screen().text_at(2, 3, 5), " 0.0 ");
    EXPECT_EQ(con::screen().at(3, 3).attr, 0x0D);
  });
}
