#include <gtest/gtest.h>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "snake/snake.hpp"

namespace {

class SnakeRules : public ::testing::Test {
 protected:
  void SetUp() override {
    con::attach(backend);
    h = con::GetStdHandle(con::STD_OUTPUT_HANDLE);
    snake::reset();
    snake::initsnake(&s);
  }
  void TearDown() override { con::detach(); }

  void place(std::initializer_list<std::pair<int, int>> cells) {
    s.len = 0;
    for (auto [x, y] : cells) {
      s.x[s.len] = x;
      s.y[s.len++] = y;
    }
  }
  // One tick's move to the right, as the game loop makes it.
  void step_right() {
    snake::a[0] = s.x[0];
    snake::a[1] = s.y[0];
    snake::movesnake(h, &s);
    s.x[s.len - 1] += 2;
  }

  con::Headless backend;
  con::Handle h = 0;
  snake::Snake s{};
  snake::Food f{};
};

TEST_F(SnakeRules, StartsThreeCellsOneColumnApart) {
  EXPECT_EQ(s.len, 3);
  EXPECT_EQ(s.speed, 400);
  EXPECT_EQ(s.score, 0);
  EXPECT_EQ(s.starttime, con::time());
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(s.x[k], 4 + k);
    EXPECT_EQ(s.y[k], 14);
  }
}

TEST_F(SnakeRules, GrowingKeepsTheOldTail) {
  place({{10, 5}, {12, 5}, {14, 5}});
  f = {16, 5};
  step_right();
  snake::eatfood(h, &s, &f);
  snake::printsnake(h, &s);
  ASSERT_EQ(s.len, 4);
  const int want[4] = {10, 12, 14, 16};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(s.x[k], want[k]) << k;
  EXPECT_EQ(s.score, 1);
  EXPECT_EQ(con::screen().text_at(10, 5, 8), "尾身身头");
  // The next food went somewhere off the grown snake.
  EXPECT_EQ(con::screen().text_at(f.x, f.y, 2), "食");

  f = {99, 99};  // not on the head: nothing changes
  snake::eatfood(h, &s, &f);
  EXPECT_EQ(s.len, 4);
}

TEST_F(SnakeRules, SpeedDropsEveryThirdFoodAndReachesZeroAtTheTwentyFourth) {
  place({{40, 3}});
  for (int food = 1; food <= 24; ++food) {
    f = {s.x[s.len - 1], s.y[s.len - 1]};
    snake::a[0] = 40;
    snake::a[1] = 3 + food;
    snake::eatfood(h, &s, &f);
    EXPECT_EQ(s.speed, 400 - 50 * (food / 3)) << "food " << food;
  }
  EXPECT_EQ(s.speed, 0);
  EXPECT_EQ(s.len, 25);
}

TEST_F(SnakeRules, FoodStaysOnItsColumnsAndRowsAndOffTheSnake) {
  for (int t = 0; t < 400; ++t) {
    // Put the snake on the very cell the clock's seed draws first.
    con::srand(static_cast<unsigned>(con::time()));
    int fx = (con::rand() % 38 + 1) * 2 + 2, fy = con::rand() % 23 + 3;
    place({{fx, fy}, {80, 26}, {4, 3}});
    snake::printfood(h, &s, &f);
    EXPECT_FALSE(f.x == fx && f.y == fy);
    EXPECT_EQ(f.x % 2, 0);
    EXPECT_GE(f.x, 4);
    EXPECT_LE(f.x, 78);
    EXPECT_GE(f.y, 3);
    EXPECT_LE(f.y, 25);
    EXPECT_EQ(con::screen().text_at(f.x, f.y, 2), "食");
    con::Sleep(1000);
  }
}

TEST_F(SnakeRules, DiesOnTheFrameAndOnItsBody) {
  for (auto [x, y, alive] : {std::tuple{80, 10, 1},
                             {4, 26, 1},
                             {4, 3, 1},
                             {82, 10, 0},
                             {2, 10, 0},
                             {40, 2, 0},
                             {40, 27, 0}}) {
    place({{40, 14}, {x, y}});
    EXPECT_EQ(snake::ifdead(&s), alive) << x << "," << y;
  }
  place({{10, 5}, {12, 5}, {12, 6}, {10, 6}, {10, 5}});
  EXPECT_EQ(snake::ifdead(&s), 0);
}

TEST_F(SnakeRules, MayStepOntoTheCellTheTailJustLeft) {
  // A ring of four: the head moves up onto the tail's old cell.
  place({{10, 5}, {12, 5}, {12, 6}, {10, 6}});
  snake::movesnake(h, &s);
  s.y[s.len - 1]--;
  EXPECT_EQ(snake::ifdead(&s), 1);
  EXPECT_EQ(con::screen().text_at(10, 5, 2), "  ");
}

}  // namespace
