#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(KillerNight, KillerPoisonedByAComputerMageEndsTheNight) {
  // The rest of the night does not happen.
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

// Nights with the human's answers typed, one after another: what each writes, how its text
// ends, and table entries it leaves. A night without roles plays on the table the last one
// left; `before` sets stocks after the table.
namespace {
struct Night {
  const char* roles;
  long long me;
  std::vector<int> dead;
  const char* typed;  // lines, each ended by \n
  bool goes_on;
  std::vector<std::string> shows;
  std::vector<std::pair<long long*, long long>> leaves = {};
  std::string ends = "";
  void (*before)() = nullptr;
};
}  // namespace

TEST(KillerNight, TypedAnswersOfTheHumanKillerSeerAndMage) {
  const std::string nl = "\n", p33 = pad(33);
  const Night nights[] = {
      // The human killer at 1 with a civilian at 2, a seer at 14 and a civilian at 15 alive:
      // the kill goes on with the later seats, the seer at 14 checks seat 15 after it.
      Night("132333333333323", 1, {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, "2\n", true,
            {p33 + "你是杀手\n2 14 15 \n" + p33 + "你选择杀掉\n", nl + p33 + "杀手杀了2号(平民)\n"},
            {{&game.living[2], 0}, {&game.left, 3}, {&game.seen[1], 0}, {&game.seen[15], 3}}),
      // Naming his own seat.
      Night("132333333333323", 1, {}, "1\n", true, {"杀手杀了1号(杀手)\n"}, {{&game.living[1], 0}}),
      // The human seer.
      Night("233333333333321", 1, {}, "15\n", true, {pad(24) + "15号是杀手，请注意\n"},
            {{&game.seen[15], 0}}),
      Night("233333333333321", 1, {}, "14\n", true, {pad(28) + "14号是好人\n"}),
      // The human mage after the computer killer.
      Night("331444233233333", 5, {}, "3\n", true, {p33 + "你是法师\n存活状况：\n"}),
      // Both stocks short, other choices ignored.
      Night("433333333333331", 1, {7}, "1\nx\n2\n9\n0\n3\n", true,
            {"*\n>>毒药<<不足\n>>复活药水<<不足\n", ">>复活药水<<不足\n" + p33 + "第1晚结束"}, {},
            "", [] { game.poison = game.revive = 0; }),
      // Each poison spends one from the stock (seat 15 acts too): the next night is short.
      Night("433333333333331", 1, {7}, "1\n7\n", true, {pad(27) + "杀手杀掉了"}, {}, "",
            [] { game.poison = 1; }),
      Night(nullptr, 0, {}, "1\n3\n", true, {"*\n>>毒药<<不足\n"}),
      // Revival lists the dead with their role codes and brings back the seat named (one past
      // the last seat is asked again too). The dead human's seat acts as a computer mage in
      // the pass; the last potion still works.
      Night("433333333333331", 1, {1, 7, 15}, "2\n99\n16\n1\n", true,
            {"你选择了复活\n阵亡名单：\n1号,身份:4 \n7号,身份:3 \n15号,身份:1 \n",
             pad(30) + "请输入1到15之间的号码\n"},
            {{&game.living[1], 1}, {&game.revive, 0}, {&game.left, 13}}, "",
            [] { game.aipoison = 0, game.revive = 1; }),
      // The human mage poisons the killer: the game ends.
      Night("433333333333331", 1, {}, "1\n15\n", false, {pad(32) + "你选择了杀人\n"}, {},
            " \n(杀手)\n\n\t\t\t\t\t\t\t   15号是杀手！\n\t\t\t\t\t\t杀手已死亡！\n" + kGameOver),
  };
  for (const Night& night : nights) {
    SCOPED_TRACE(night.typed);
    if (night.roles) table(night.roles, night.me, night.dead);
    if (night.before) night.before();
    Box h;
    h.type(night.typed);
    EXPECT_EQ(phase(h, killer::run_night), night.goes_on);
    for (const std::string& text : night.shows) EXPECT_NE(h.out.find(text), std::string::npos);
    for (const auto& [entry, value] : night.leaves) EXPECT_EQ(*entry, value);
    EXPECT_TRUE(ends_with(h.out, night.ends));
  }
}
