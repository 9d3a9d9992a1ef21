// Hundreds of whole killer games, headless and seeded, answered with random input, valid and
// not: seat numbers, the hidden 47, numbers out of range or too long, words, blank lines,
// several numbers on one line, arrows and stray keys. Every game must end by itself, on the
// game-over line, without touching a table entry outside seats 1..15.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "killer/killer.hpp"
#include "soak/players.hpp"

namespace {

constexpr int kGames = 1000;
constexpr int kMaxAnswers = 3000;  // far above what a game needs; more means it is stuck

struct Box : con::Headless {
  std::string out;
  long texts = 0;
  void text(std::string_view s) override {
    ++texts;
    out.append(s);
  }
};

bool ends_with(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

struct Tally {
  int killer_dead_a = 0, killer_dead_b = 0, human_dead = 0, all_killed = 0, other = 0;
  int human_role[5] = {0, 0, 0, 0, 0};
  long answers = 0, texts = 0;
};

void check_tables(int seed) {
  const killer::Table& g = killer::game;
  for (int k : {0, 16, 17, 18, 19}) {
    EXPECT_TRUE(g.role[k] == 0 && g.living[k] == 0 && g.seen[k] == 0 && g.voter[k] == 0 &&
                g.votes[k] == 0)
        << "seed " << seed << ": entry " << k << " written";
  }
  int count[5] = {0, 0, 0, 0, 0};
  for (int s = 1; s <= 15; ++s) {
    EXPECT_TRUE(g.living[s] == 0 || g.living[s] == 1) << "seed " << seed << " seat " << s;
    ASSERT_TRUE(g.role[s] >= 1 && g.role[s] <= 4) << "seed " << seed << " seat " << s;
    ++count[g.role[s]];
  }
  EXPECT_EQ(count[1], 1) << seed;
  EXPECT_EQ(count[2], 2) << seed;
  EXPECT_EQ(count[3], 9) << seed;
  EXPECT_EQ(count[4], 3) << seed;
  EXPECT_EQ(g.role[killer::sr], killer::KILLER) << seed;
}

TEST(KillerSoak, HundredsOfGamesWithRandomInputAllEndOnTheGameOverLine) {
  Tally tally;
  for (int seed = 1; seed <= kGames; ++seed) {
    std::mt19937 rng(static_cast<unsigned>(seed));
    Box h;
    // Sometimes a detour through the rules screen or a stray key first.
    if (rng() % 3 == 0) h.type("2 ");
    if (rng() % 3 == 0) h.type("1x");
    h.type("11");
    int answers = 0;
    h.on_wait = [&](con::Headless&) {
      if (++answers <= kMaxAnswers) soak::killer_answer(h, rng);
    };
    killer::reset();
    con::set_seed_override(static_cast<unsigned>(seed));
    const int rc = con::run_headless(h, [] {
      killer::menu();
      return 0;
    });
    con::set_seed_override(std::nullopt);

    ASSERT_EQ(rc, 0) << seed;
    ASSERT_LE(answers, kMaxAnswers) << "seed " << seed << ": the game did not end";
    ASSERT_TRUE(ends_with(h.out, "\t游戏结束\n")) << "seed " << seed << ": ended on\n"
                                                  << h.out.substr(h.out.size() - 300);
    // Between two answers a game writes a night, a day or a listing, never more.
    EXPECT_LE(h.texts, 400L * (answers + 1)) << seed;
    check_tables(seed);

    ++tally.human_role[killer::game.role[killer::game.me]];
    tally.answers += answers;
    tally.texts += h.texts;
    if (ends_with(h.out, "\n\t\t\t\t\t\t杀手已死亡！\n" + std::string(26, ' ') + "\t游戏结束\n"))
      ++tally.killer_dead_a;
    else if (h.out.find("\t\t\t\t\t\t\t\t杀手已死亡！") != std::string::npos)
      ++tally.killer_dead_b;
    else if (h.out.find("你已经>>死<<了") != std::string::npos)
      ++tally.human_dead;
    else if (h.out.find("你杀掉了所有人！！！") != std::string::npos)
      ++tally.all_killed;
    else
      ++tally.other;
  }
  // The soak reached every way a game ends, with the human in every role.
  EXPECT_GT(tally.killer_dead_a, 0);
  EXPECT_GT(tally.killer_dead_b, 0);
  EXPECT_GT(tally.human_dead, 0);
  EXPECT_GT(tally.other, 0);
  for (int r = 1; r <= 4; ++r) EXPECT_GT(tally.human_role[r], 0) << "role " << r;
  std::printf(
      "killer soak: %d games, %ld answers, %ld writes; ends: killer dead %d+%d, human dead %d, "
      "all killed %d, other %d\n",
      kGames, tally.answers, tally.texts, tally.killer_dead_a, tally.killer_dead_b,
      tally.human_dead, tally.all_killed, tally.other);
}

}  // namespace
