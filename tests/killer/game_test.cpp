#include <gtest/gtest.h>

#include "console/screen.hpp"
#include "golden.hpp"
#include "killer/killer.hpp"
#include "play.hpp"

using namespace killer_test;
using killer::game;
using killer::sr;

namespace {

const char* const kWords[] = {"", "杀手", "预言家", "平民", "法师"};

// The lowest other seat, living or dead, that is not the killer (unless `killer_too`); the
// human's own seat when there is none.
long long other(bool dead, bool killer_too = false) {
  long long t = first([&](long long s) {
    return game.living[s] == (dead ? 0 : 1) && s != game.me && (killer_too || s != sr);
  });
  return t ? t : game.me;
}

enum Plan {
  Careful,       // never votes for the killer, the mage does nothing
  VoteKiller,    // votes for the killer
  PoisonKiller,  // the mage poisons the killer
  LowerCount,    // poisons and votes for dead seats, so the count falls without deaths
};

// Plays a whole game from the launcher's choice 3 with `plan`; returns the text. `on_ask` sees
// every question before it is answered.
std::string play(Plan plan, unsigned seed, std::function<void(Ask)> on_ask = {}) {
  Player p;
  p.from_launcher = true;
  p.on_ask = std::move(on_ask);
  p.answer = [plan](Ask a) -> long long {
    const bool dead_seat = other(true) != game.me;
    switch (a) {
      case Ask::Mage:
        if (game.poison > 0 && (plan == PoisonKiller || (plan == LowerCount && dead_seat))) {
          return 1;
        }
        return 3;
      case Ask::MagePoison:
        return plan == PoisonKiller ? sr : other(true);
      case Ask::Vote:
        if (plan == VoteKiller) return sr;
        return plan == LowerCount && dead_seat ? other(true) : other(false);
      default:  // the killer's kill, the seer's question
        return other(false, true);
    }
  };
  Box h;
  EXPECT_EQ(p.play(h, seed), 0);
  return h.out;
}

std::string killer_dead(long long seat, int tabs) {
  return "\n\t\t\t\t\t\t\t   " + std::to_string(seat) + "号是杀手！\n" + std::string(tabs, '\t') +
         "杀手已死亡！\n" + kGameOver;
}

}  // namespace

TEST(KillerSetup, OneKillerTwoSeersThreeMagesNineCiviliansForEverySeed) {
  int seats[16] = {};
  for (unsigned seed = 0; seed < 300; ++seed) {
    killer::reset();
    con::set_seed_override(seed);
    Box h;
    con::run_headless(h, [] {
      killer::brc();
      return 0;
    });
    con::set_seed_override(std::nullopt);
    int n[5] = {};
    for (int s = 1; s <= 15; ++s) ++n[game.role[s]];
    EXPECT_EQ(n[1], 1);
    EXPECT_EQ(n[2], 2);
    EXPECT_EQ(n[3], 9);
    EXPECT_EQ(n[4], 3);
    EXPECT_EQ(game.role[sr], killer::KILLER);
    ++seats[game.me];
    const std::string me = std::to_string(game.me);
    EXPECT_EQ(h.out.find(pad(32) + "你是" + me + "号\n" + pad(31) + "正在分配身份\n" + pad(31) +
                         "你是>>" + kWords[game.role[game.me]] + "<<\n" + pad(33) + "第1晚开始\n" +
                         "你是" + me + "号\n"),
              0u);
  }
  for (int s = 1; s <= 15; ++s) EXPECT_GT(seats[s], 0) << "seat " << s;
}

TEST(KillerMenu, KeysRulesAndModeChoice) {
  Box h;
  h.type("x2 1229");
  killer::reset();
  con::run_headless(h, [] {
    killer::menu();
    return 0;
  });
  const std::string menu = pad(35) + "\t\t\t杀手游戏\n" + std::string(120, '-') + pad(33) +
                           "\t\t   1.开始游戏\n" + pad(32) + "\t\t  2.查看游戏规则\n";
  const std::string modes =
      pad(33) + "\t\t   1. 15人场\n" + pad(26) + "\t\t\t2. 30人娱乐战(10猎人)<敬请期待>\n";
  const std::string rules =
      "杀手：每当晚上的时候可使用杀人权杀掉一人\n预言家：每天晚上可以知道一个人的身份\n"
      "平民：无技能,当玩家是平民时，在第5天拥有1.5票的投票权\n"
      "猎人：此身份仅限于30人娱乐局中，死亡后可带走一人\n"
      "投票细则：\n（游戏中除了你以外全是由超级AI人工代替）\n"
      "预言家如果预言到杀手将一直对他投票，如果预言到好人将永远不会对他投票\n"
      "平民将投上一个晚上对他投票他的人\n********利用好超级AI游戏规则找出杀手**********\n";
  // x redraws; 2 shows the rules, the space ends their pause; 1 the modes, 2 2 nothing, 9 back.
  // The whole text: 2 at the mode choice writes nothing and keeps waiting.
  EXPECT_EQ(h.out, menu + menu + rules + "请按任意键继续. . . \n" + menu + modes + menu);
  EXPECT_EQ(game.me, 0);  // no game was started
  // On screen: the menu from a cleared screen.
  EXPECT_EQ(con::screen().text_at(56, 0, 8), "杀手游戏");
  EXPECT_EQ(con::screen().text_at(0, 1, 120), std::string(120, '-'));
  EXPECT_EQ(con::screen().text_at(51, 2, 10), "1.开始游戏");
  EXPECT_EQ(con::screen().text_at(50, 3, 14), "2.查看游戏规则");
}

// Each way a game can end, reached by a seeded game from the menu.
TEST(KillerEnds, TheKillerDies) {
  golden::Film film("killer/ends");
  std::string out = play(PoisonKiller, 3, [&](Ask a) {
    if (a == Ask::MagePoison) film.shot("mage_poisons", "the human mage (seat 4) chose poison");
  });  // by the human mage's poison
  film.shot("killer_dead_by_human_mage", "the human mage poisoned the killer on night 1");
  ASSERT_EQ(game.role[game.me], killer::MAGE);
  EXPECT_TRUE(ends_with(out, " \n(杀手)\n" + killer_dead(sr, 6)));

  out = play(Careful, 26);  // by a computer mage's poison: the rest of the night is skipped
  film.shot("killer_dead_by_computer_mage", "a computer mage poisoned the killer");
  ASSERT_NE(game.role[game.me], killer::KILLER);
  const std::string k = std::to_string(sr);
  EXPECT_TRUE(ends_with(out, pad(27) + "法师毒死了" + k + "号(杀手)\n" + killer_dead(sr, 8)));

  out = play(VoteKiller, 1);  // voted out: no pause before the screen
  film.shot("killer_voted_out", "the human civilian (seat 12) voted for the killer");
  ASSERT_NE(game.role[game.me], killer::KILLER);
  EXPECT_TRUE(ends_with(out, pad(34) + std::to_string(sr) + "死了\n" + pad(30) +
                                 std::to_string(sr) + "号的身份是杀手\n" + killer_dead(sr, 6)));
}

TEST(KillerEnds, TheHumanDies) {
  golden::Film film("killer/ends");
  std::string out = play(Careful, 5);  // at night: the game ends at dawn, without a day
  film.shot("human_dead_at_dawn", "the human civilian (seat 10) killed on night 1");
  EXPECT_EQ(game.living[game.me], 0);
  EXPECT_TRUE(ends_with(out, "晚结束\n\n" + pad(29) + "你已经>>死<<了" + kGameOver));

  out = play(Careful, 2);  // a human killer voted out: his identity, the pause, the end
  film.shot("human_killer_voted_out", "the human killer (seat 1) voted out");
  ASSERT_EQ(game.role[game.me], killer::KILLER);
  const std::string me = std::to_string(game.me);
  EXPECT_TRUE(ends_with(out, pad(34) + me + "死了\n" + pad(30) + me +
                                 "号的身份是杀手\n请按任意键继续. . . \n\n" + kGameOver));
  EXPECT_EQ(out.find("杀手已死亡"), std::string::npos);
}

TEST(KillerEnds, TheCountRunsOut) {
  golden::Film film("killer/ends");
  std::string out = play(LowerCount, 223);  // the human killer outlives everyone
  film.shot("human_killer_alone", "the count ran out with the human killer alive");
  ASSERT_EQ(game.role[game.me], killer::KILLER);
  EXPECT_EQ(game.living[game.me], 1);
  EXPECT_TRUE(ends_with(out, "继续. . . \n\n\t\t\t\t\t\t\t\t你杀掉了所有人！！！\n" + kGameOver));

  // A civilian whose votes for dead seats wore the count down while the killer lives.
  out = play(LowerCount, 12);
  film.shot("count_out_killer_alive",
            "the count ran out with a human civilian and the killer alive");
  ASSERT_NE(game.role[game.me], killer::KILLER);
  EXPECT_EQ(game.living[game.me] + game.living[sr], 2);
  EXPECT_LE(game.left, 1);
  EXPECT_TRUE(ends_with(out, "号的身份是平民\n请按任意键继续. . . \n\n" + kGameOver));

  // At 2 after a day the game goes on: another night follows.
  long long night_at_two = 0;
  out = play(Careful, 511, [&](Ask a) {
    if (a == Ask::Pause && game.left == 2 && game.living[game.me] == 1) night_at_two = game.night;
  });
  ASSERT_NE(night_at_two, 0);
  EXPECT_NE(out.find("第" + std::to_string(night_at_two + 1) + "晚开始"), std::string::npos);
}

// One seeded game per role of the human, through the first night and day vote (each first
// question, and the tally at its pause), to its end.
TEST(KillerGolden, EachRoleThroughANightAndADay) {
  struct Case {
    const char* role;
    unsigned seed;  // the human's seat and role follow from it
    Plan plan;
    std::vector<std::string> moments;
  };
  const Case cases[] = {
      {"killer", 2, Careful, {"kill", "vote", "tally", "end"}},
      {"seer", 8, Careful, {"see", "vote", "tally", "end"}},
      {"civilian", 4, Careful, {"vote", "tally", "end"}},
      {"mage", 9, Careful, {"mage", "vote", "tally", "end"}},
  };
  for (const Case& c : cases) {
    golden::Film film(std::string("killer/") + c.role);
    bool day_over = false;
    play(c.plan, c.seed, [&](Ask a) {
      if (day_over) return;
      const char* what = a == Ask::Kill    ? "kill"
                         : a == Ask::See   ? "see"
                         : a == Ask::Mage  ? "mage"
                         : a == Ask::Vote  ? "vote"
                         : a == Ask::Pause ? "tally"
                                           : "other";
      day_over = a == Ask::Pause;
      film.shot(what, std::string("the human ") + c.role + " asked: " + what);
    });
    film.shot("end", std::string("the end of the game of the human ") + c.role);
    EXPECT_EQ(film.taken(), c.moments) << c.role;
  }
}

// The menu through the launcher: the rules screen at its pause, the menu again, the modes, 2
// there writing nothing, another key back to the menu.
TEST(KillerGolden, MenuRulesAndModes) {
  golden::Film film("killer");
  con::Headless h;
  h.line("3");
  const char keys[] = {'2', ' ', '1', '2', '9', '1'};
  const char* const moments[] = {
      "../launcher/killer_menu", "rules", "../launcher/killer_menu", "modes", "modes",
      "../launcher/killer_menu", "modes"};
  size_t n = 0;
  h.on_wait = [&](con::Headless& hh) {
    if (n >= std::size(moments)) return;
    film.shot(moments[n], "the killer menu after the keys so far");
    if (n < std::size(keys)) hh.key(keys[n], hh.now());
    ++n;
  };
  killer::reset();
  EXPECT_EQ(con::run_headless(h, [] { return launcher::run(); }), 0);
  EXPECT_EQ(n, std::size(moments));
  EXPECT_EQ(game.me, 0);  // no game was started
}
