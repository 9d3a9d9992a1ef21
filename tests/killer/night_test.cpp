#include <gtest/gtest.h>

#include "killer/killer.hpp"
#include "play.hpp"

using namespace killer_test;
using killer::game;

namespace {

int count(const std::string& s, const std::string& what) {
  int n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

}  // namespace

TEST(KillerNight, ComputerKillEndsThePassButNotTheHumanMagesTurn) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    // Killer at 3; a human seer at 10 and computer seers and mages after the killer.
    table("331444233233333", 10);
    Box h;
    ASSERT_TRUE(phase(h, killer::run_night, seed));
    EXPECT_EQ(count(h.out, "杀手杀掉了"), 1);
    EXPECT_EQ(h.out.find("你是预言家"), std::string::npos);
    for (int s = 1; s <= 15; ++s) EXPECT_EQ(game.seen[s], 0);
    EXPECT_EQ(game.aipoison, 3);
    EXPECT_EQ(game.left, 14);
    EXPECT_NE(h.out.find(pad(33) + "第1晚结束\n\n"), std::string::npos);
  }
  table("331444233233333", 5);  // the human is a mage after the killer
  Box h;
  h.line("3");
  ASSERT_TRUE(phase(h, killer::run_night));
  EXPECT_NE(h.out.find(pad(33) + "你是法师\n存活状况：\n"), std::string::npos);
}

TEST(KillerNight, HumanKillGoesOnWithTheLaterSeats) {
  // Only the human killer at 1, a civilian at 2, a seer at 14 and a civilian at 15 live.
  table("132333333333323", 1, {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
  Box h;
  h.line("2");
  ASSERT_TRUE(phase(h, killer::run_night));
  EXPECT_NE(h.out.find(pad(33) + "你是杀手\n2 14 15 \n" + pad(33) + "你选择杀掉\n"),
            std::string::npos);
  EXPECT_NE(h.out.find(std::string("\n").append(pad(33)) + "杀手杀了2号(平民)\n"),
            std::string::npos);
  EXPECT_EQ(game.living[2], 0);
  EXPECT_EQ(game.left, 3);
  // The seer at 14 checked seat 1 or 15 after the kill.
  EXPECT_TRUE(game.seen[1] == 1 || game.seen[15] == 3);

  table("132333333333323", 1);  // naming his own seat
  Box own;
  own.line("1");
  ASSERT_TRUE(phase(own, killer::run_night));
  EXPECT_NE(own.out.find("杀手杀了1号(杀手)\n"), std::string::npos);
  EXPECT_EQ(game.living[1], 0);
}

TEST(KillerNight, DeadSeersAndMagesStillAct) {
  bool poisoned = false, found = false;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    // Seers at 2 and 3 and the only mage at 4 are dead; the killer sits last.
    table("322433333333331", 1, {2, 3, 4});
    Box h;
    phase(h, killer::run_night, seed);
    poisoned = poisoned || h.out.find(pad(27) + "法师毒死了") != std::string::npos;
    for (int s = 1; s <= 15; ++s) found = found || game.seen[s] != 0;
  }
  EXPECT_TRUE(poisoned);
  EXPECT_TRUE(found);
}

TEST(KillerNight, MagesShareTheirStocksAndReviveOnceNeverOnNightOne) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    // Three mages, the killer dead, night 2: five nights in a row.
    table("444133333333323", 15, {4, 5, 6});
    game.night = 2;
    Box h;
    con::run_headless(h, [&] {
      con::srand(seed);
      for (int n = 0; n < 5 && killer::run_night(); ++n) {
      }
      return 0;
    });
    const int poisons = count(h.out, "法师毒死了"), revivals = count(h.out, "法师复活了");
    EXPECT_EQ(poisons, 3 - game.aipoison);
    EXPECT_LE(revivals, 1);
    EXPECT_EQ(game.aisave, revivals == 0);

    table("444133333333323", 15, {4, 5, 6});  // night 1: no revival whatever the draws
    Box first;
    ASSERT_TRUE(phase(first, killer::run_night, seed));
    EXPECT_EQ(first.out.find("复活"), std::string::npos);
    EXPECT_TRUE(game.aisave);
  }
}

TEST(KillerNight, DrawsThatNoSeatCanMeetEndAndDoNothing) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    // The mage's own seat is the only dead one, no poison left: a revival has no target.
    table("433333333333331", 2, {1});
    game.night = 2;
    game.aipoison = 0;
    Box h;
    ASSERT_TRUE(phase(h, killer::run_night, seed));
    EXPECT_EQ(h.out.find("复活"), std::string::npos);
    EXPECT_TRUE(game.aisave);

    // Only the killer lives: nobody to kill. Only a mage lives: nobody to poison.
    table("213333333333333", 15, {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    Box k;
    ASSERT_TRUE(phase(k, killer::run_night, seed));
    EXPECT_EQ(game.left, 1);
    EXPECT_EQ(game.seen[2], 1);  // the dead seer still found him
    table("412333333333333", 15, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    Box m;
    ASSERT_TRUE(phase(m, killer::run_night, seed));
    EXPECT_EQ(game.left, 1);
    EXPECT_EQ(game.aipoison, 3);

    // A mage never poisons its own seat.
    table("333333343333331", 1, {2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14});
    Box own;
    phase(own, killer::run_night, seed);
    EXPECT_EQ(own.out.find("毒死了8号"), std::string::npos);
  }
}

TEST(KillerNight, HumanSeerAnswers) {
  Box killer_found;
  table("233333333333321", 1);
  killer_found.line("15");
  ASSERT_TRUE(phase(killer_found, killer::run_night));
  EXPECT_NE(killer_found.out.find(pad(24) + "15号是杀手，请注意\n"), std::string::npos);
  EXPECT_EQ(game.seen[15], 0);
  Box good;
  table("233333333333321", 1);
  good.line("14");
  ASSERT_TRUE(phase(good, killer::run_night));
  EXPECT_NE(good.out.find(pad(28) + "14号是好人\n"), std::string::npos);
}

TEST(KillerNight, HumanMageShortagesIgnoredChoicesAndRevival) {
  table("433333333333331", 1, {7});
  game.poison = game.revive = 0;
  Box h;
  for (const char* l : {"1", "x", "2", "9", "0", "3"}) h.line(l);
  ASSERT_TRUE(phase(h, killer::run_night));
  EXPECT_NE(h.out.find("*\n>>毒药<<不足\n>>复活药水<<不足\n"), std::string::npos);
  EXPECT_NE(h.out.find(std::string(">>复活药水<<不足\n").append(pad(33)) + "第1晚结束"),
            std::string::npos);

  // Each poison spends one from the stock: after the last one, the next night is short.
  table("433333333333331", 1, {7});
  game.poison = 1;
  Box first, next;
  first.line("1");
  first.line("7");
  ASSERT_TRUE(phase(first, killer::run_night));
  EXPECT_NE(first.out.find(pad(27) + "杀手杀掉了"), std::string::npos);  // seat 15 acts too
  next.line("1");
  next.line("3");
  ASSERT_TRUE(phase(next, killer::run_night));
  EXPECT_NE(next.out.find("*\n>>毒药<<不足\n"), std::string::npos);

  // Revival lists the dead with their role codes and brings back the seat named.
  table("433333333333331", 1, {1, 7, 15});
  game.aipoison = 0;  // the dead human's seat acts as a computer mage in the pass
  game.revive = 1;    // the last potion still works
  Box r;
  r.line("2");
  r.line("99");
  r.line("16");  // one past the last seat is asked again too
  r.line("1");
  ASSERT_TRUE(phase(r, killer::run_night));
  EXPECT_NE(r.out.find("你选择了复活\n阵亡名单：\n1号,身份:4 \n7号,身份:3 \n15号,身份:1 \n"),
            std::string::npos);
  EXPECT_NE(r.out.find(pad(30) + "请输入1到15之间的号码\n"), std::string::npos);
  EXPECT_EQ(game.living[1], 1);
  EXPECT_EQ(game.revive, 0);
  EXPECT_EQ(game.left, 13);
}

TEST(KillerNight, KillerDeadScreens) {
  // Variant A: the human mage poisons the killer.
  table("433333333333331", 1);
  Box a;
  a.line("1");
  a.line("15");
  EXPECT_FALSE(phase(a, killer::run_night));
  EXPECT_NE(a.out.find(pad(32) + "你选择了杀人\n"), std::string::npos);
  EXPECT_TRUE(ends_with(
      a.out, " \n(杀手)\n\n\t\t\t\t\t\t\t   15号是杀手！\n\t\t\t\t\t\t杀手已死亡！\n" + kGameOver));

  // Variant B: a computer mage's poison; the rest of the night does not happen.
  bool seen_b = false;
  for (unsigned seed = 1; seed <= 30 && !seen_b; ++seed) {
    table("413333333333332", 15, {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    Box b;
    bool goes_on = phase(b, killer::run_night, seed);
    if (b.out.find("毒死了2号") == std::string::npos) continue;
    seen_b = true;
    EXPECT_FALSE(goes_on);
    EXPECT_TRUE(ends_with(b.out, pad(27) + "法师毒死了2号(杀手)\n\n\t\t\t\t\t\t\t   2号是杀手！\n" +
                                     "\t\t\t\t\t\t\t\t杀手已死亡！\n" + kGameOver));
  }
  EXPECT_TRUE(seen_b);
}
