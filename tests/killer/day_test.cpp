#include <gtest/gtest.h>

#include "killer/killer.hpp"
#include "play.hpp"

using namespace killer_test;
using killer::game;

namespace {

// Seats 2 and 9 are civilians who remember each other, the human sits at 5 with `role`;
// every other seat is dead.
void three_left(char role, long long night) {
  std::string roles = "133333333333333";
  roles[4] = role;
  table(roles.c_str(), 5, {1, 3, 4, 6, 7, 8, 10, 11, 12, 13, 14, 15});
  game.voter[2] = 9;
  game.voter[9] = 2;
  game.night = night;
}

std::string tally(const char* counts, long long dies) {
  std::string s = pad(33) + "投票情况：\n";
  const int seats[] = {2, 5, 9};
  for (int k = 0; k < 3; ++k) {
    s += pad(33) + std::to_string(seats[k]) + "号  票数：" + std::string(1, counts[k]);
    if (counts[k] == '!') s.replace(s.size() - 1, 1, "1.5");
    s += "\n";
  }
  return s + pad(34) + std::to_string(dies) + "死了\n" + pad(30) + std::to_string(dies) +
         "号的身份是";
}

}  // namespace

TEST(KillerDay, SeatOrderTiesAndTheHalfVote) {
  three_left('2', 5);  // a seer's vote counts 1 on any day
  Box h;
  h.line("5");
  h.key(' ');
  ASSERT_TRUE(phase(h, killer::run_day));
  const std::string opening =
      pad(36) + "存活：\n" + pad(23) + "2 5 9 \n" + pad(36) + "请投票....\n";
  EXPECT_EQ(h.out.find(opening + pad(36) + "2->9\n\n" + pad(33) + "你选择投几号\n\n" + pad(36) +
                       "5->5\n" + pad(36) + "9->2\n" + pad(33) + "投票情况"),
            0u);
  EXPECT_NE(h.out.find(tally("111", 2) + "平民\n"), std::string::npos);  // tie: lowest seat
  EXPECT_EQ(game.living[2], 0);
  EXPECT_EQ(game.left, 2);

  three_left('3', 5);  // a civilian from the fifth day: 1.5
  Box half;
  half.line("5");
  half.key(' ');
  ASSERT_TRUE(phase(half, killer::run_day));
  EXPECT_NE(half.out.find(tally("1!1", 5) + "平民\n"), std::string::npos);

  three_left('3', 4);  // ... but 1 on the fourth
  Box four;
  four.line("5");
  four.key(' ');
  ASSERT_TRUE(phase(four, killer::run_day));
  EXPECT_NE(four.out.find(tally("111", 2)), std::string::npos);
}

TEST(KillerDay, VoteForADeadSeatCountsAndKillsItAgain) {
  three_left('3', 5);
  Box h;
  h.line("3");
  h.key(' ');
  ASSERT_TRUE(phase(h, killer::run_day));
  EXPECT_EQ(h.out.find("3号  票数"), std::string::npos);  // the dead are not tallied
  EXPECT_NE(h.out.find(pad(34) + "3死了\n" + pad(30) + "3号的身份是平民\n"), std::string::npos);
  EXPECT_EQ(game.left, 2);
}

TEST(KillerDay, HiddenListingAndBadSeats) {
  three_left('2', 1);
  Box h;
  for (const char* l : {"47", "0", "abc", "16", "-3", "99999999999999999999", "9"}) h.line(l);
  h.key(' ');
  ASSERT_TRUE(phase(h, killer::run_day));
  const std::string wanted = pad(30) + "请输入1到15之间的号码\n";
  EXPECT_NE(
      h.out.find("你选择投几号\n" + pad(36) + "2.3\n" + pad(36) + "5.2\n" + pad(36) + "9.3\n" +
                 wanted + wanted + wanted + wanted + wanted + "\n" + pad(36) + "5->9\n"),
      std::string::npos);
  EXPECT_EQ(game.voter[9], 5);  // the human's vote against a civilian is remembered
  EXPECT_EQ(game.votes[9], 2);  // seat 2 answered seat 9, the human voted 9
}

TEST(KillerDay, CiviliansAnswerTheirLastVoter) {
  int answered = 0;
  for (unsigned seed = 1; seed <= 30; ++seed) {
    // The computer killer at 1, a civilian at 2, the human seer at 15.
    table("132333333333332", 15, {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    Box h;
    h.line("2");
    h.key(' ');
    phase(h, killer::run_day, seed);
    size_t k = h.out.find(pad(36) + "1->"), c = h.out.find(pad(36) + "2->"),
           me = h.out.find(pad(36) + "15->");
    ASSERT_TRUE(k < c && c < me);
    if (h.out.find("1->2\n") != std::string::npos) {
      ++answered;
      EXPECT_NE(h.out.find(pad(36) + "2->1\n"), std::string::npos);
    }
    EXPECT_EQ(game.voter[2], 15);  // the human's later vote replaced the killer's

    // A civilian whose voter died votes among the living others.
    three_left('2', 1);
    game.voter[2] = 3;
    Box r;
    r.line("9");
    r.key(' ');
    phase(r, killer::run_day, seed);
    EXPECT_TRUE(r.out.find("2->5\n") != std::string::npos ||
                r.out.find("2->9\n") != std::string::npos);
  }
  EXPECT_GT(answered, 0);
}

TEST(KillerDay, SeersSpareFoundCivilians) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    table("233433333333333", 15, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    game.seen[2] = game.seen[3] = game.seen[15] = 3;
    Box h;
    h.line("4");
    h.key(' ');
    phase(h, killer::run_day, seed);
    EXPECT_NE(h.out.find(pad(36) + "1->4\n"), std::string::npos);
  }
  // Every other living seat found a civilian: the seer casts no vote at all.
  table("233433333333333", 15, {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
  game.seen[2] = game.seen[3] = game.seen[15] = 3;
  Box h;
  h.line("2");
  h.key(' ');
  phase(h, killer::run_day);
  EXPECT_EQ(h.out.find(pad(36) + "1->"), std::string::npos) << h.out;
}

// The tally reaches the last seat: seat 15 with the most votes dies.
TEST(KillerDay, SeatFifteenWithTheMostVotesDies) {
  table("333333333333331", 1, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
  game.voter[14] = 15;  // seat 14 answers the killer's earlier vote
  Box h;
  h.line("15");
  EXPECT_FALSE(phase(h, killer::run_day));
  EXPECT_NE(h.out.find(pad(34) + "15死了\n"), std::string::npos) << h.out;
}

TEST(KillerDay, KillerVotedOutEndsTheGameWithoutAPause) {
  three_left('2', 1);
  game.role[9] = killer::KILLER;
  game.role[1] = killer::CIVILIAN;
  killer::sr = 9;
  Box h;
  h.line("9");
  EXPECT_FALSE(phase(h, killer::run_day));
  EXPECT_TRUE(ends_with(h.out, pad(34) + "9死了\n" + pad(30) + "9号的身份是杀手\n\n" +
                                   "\t\t\t\t\t\t\t   9号是杀手！\n\t\t\t\t\t\t杀手已死亡！\n" +
                                   kGameOver));
}
