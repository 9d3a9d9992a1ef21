// Whole snake games played through the launcher, headless and in virtual time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "golden.hpp"
#include "launcher/launcher.hpp"
#include "snake/snake.hpp"

namespace {

struct Pos {
  int x = -1, y = -1;
};

// Where a glyph stands on the board (the frame's columns and rows included).
Pos find(char32_t glyph) {
  const con::Screen& sc = con::screen();
  for (int y = 2; y <= 27; ++y)
    for (int x = 2; x <= 83; ++x)
      if (sc.at(x, y).ch == glyph && sc.at(x, y).half != con::Half::Trail) return {x, y};
  return {};
}

int run(con::Headless& h) {
  snake::reset();
  return con::run_headless(h, [] { return launcher::run(); });
}

// Head column after every sleep, by virtual time.
std::map<int64_t, Pos> track_head(con::Headless& h) {
  std::map<int64_t, Pos> heads;
  h.on_sleep = [&heads](con::Headless& hh) { heads[hh.now()] = find(U'头'); };
  run(h);
  return heads;
}

void expect_launcher_frame() {
  const con::Screen& sc = con::screen();
  for (int x : {2, 60, 117}) EXPECT_EQ(sc.at(x, 2).ch, U'*') << x;
  for (int y : {3, 15, 27}) EXPECT_EQ(sc.at(118, y).ch, U'*') << y;
  EXPECT_EQ(sc.text_at(5, 3, 26), "1.贪吃蛇  2.跑酷  3.狼人杀");
  EXPECT_EQ(sc.at(5, 3).attr, 0x30);
}

// The end message, then the result screen, as they stood during their sleeps.
struct Ending {
  std::string message, line5, line7;
};
void watch_ending(con::Headless& h, Ending& e) {
  h.on_sleep = [&e](con::Headless&) {
    const con::Screen& sc = con::screen();
    if (sc.text_at(22, 0, 2) != "  ") e.message = sc.text_at(22, 0, 17);
    if (sc.text_at(24, 5, 4) == "哈哈") {
      e.line5 = sc.text_at(24, 5, 12);
      e.line7 = sc.text_at(24, 7, 17);
    }
  };
}

TEST(SnakeGame, WithoutKeysTheHeadMovesTwoColumnsEvery400ms) {
  con::Headless h;
  h.line("1");
  h.line("1");
  h.stop_at_ms = 2500;
  auto heads = track_head(h);
  int x = 8;
  for (int64_t t = 900; t <= 2500; t += 400, x += 2) {
    EXPECT_EQ(heads[t].x, x) << t;
    EXPECT_EQ(heads[t].y, 14);
  }
  EXPECT_EQ(heads.count(700), 0u);
  EXPECT_EQ(con::screen().text_at(43, 18, 8), "        ");  // choice 1 cleared the cover
  EXPECT_EQ(con::screen().text_at(87, 17, 12), "当前速度:100");
  EXPECT_EQ(con::screen().text_at(87, 21, 10), "当前长度:3");
  // The cover leaves light yellow on black for the whole game.
  EXPECT_EQ(con::screen().at(83, 10).attr, 14);
  EXPECT_EQ(con::screen().at(16, 14).attr, 14);
}

TEST(SnakeGame, OtherKeyHoldsTheSnakeWhileTheClockRunsAndAnArrowResumes) {
  con::Headless h;
  h.line("1");
  h.line("1");
  h.key('x', 1000);
  h.arrow(72, 4000);
  h.stop_at_ms = 5000;
  std::map<int64_t, std::string> seconds;
  std::map<int64_t, Pos> heads;
  h.on_sleep = [&](con::Headless& hh) {
    heads[hh.now()] = find(U'头');
    seconds[hh.now()] = con::screen().text_at(87, 23, 14);
  };
  run(h);
  for (int64_t t = 1700; t <= 4100; t += 400) EXPECT_EQ(heads[t].x, 10) << t;
  EXPECT_EQ(seconds[1700], "蛇已经活了:1秒");
  EXPECT_EQ(seconds[4100], "蛇已经活了:3秒");
  // The prefix 224 is a key of its own: one still tick, short as the scan code waits.
  EXPECT_EQ(heads[4120].y, 14);
  EXPECT_EQ(heads[4140].y, 14);
  EXPECT_EQ(heads[4540].x, 10);
  EXPECT_EQ(heads[4540].y, 13);
}

TEST(SnakeGame, HeldKeyRunsTwentyMillisecondTicks) {
  con::Headless h;
  h.line("1");
  h.line("1");
  for (int64_t t = 1000; t < 1800; t += 30) h.key('d', t);  // 27 keys
  h.stop_at_ms = 2800;
  auto heads = track_head(h);
  // From the tick at 1300 every key finds the next one waiting, until the last.
  EXPECT_EQ(heads[1340].x, 12);
  EXPECT_EQ(heads[2340].x, 62);
  EXPECT_EQ(heads[2740].x, 64);
  int short_sleeps = 0;
  for (auto& [t, p] : heads) short_sleeps += t > 1300 && t <= 2340;
  EXPECT_EQ(short_sleeps, 52);
}

TEST(SnakeGame, EscapeLosesShowsTheScoreAndReturnsToTheLauncher) {
  con::Headless h;
  h.line("1");
  h.line("1");
  h.key(27, 1000);
  Ending e;
  watch_ending(h, e);
  EXPECT_EQ(run(h), 0);
  EXPECT_EQ(e.message.substr(0, 10), "糟糕 T_T");
  EXPECT_EQ(e.line5, "哈哈，你输了");
  EXPECT_EQ(e.line7, "你的最终得分是：0");
  expect_launcher_frame();
}

// Plays to win from what the screen shows: toward the food, never into a wall or the body,
// and never into a pocket too small for the snake.
void steer(con::Headless& hh, char& dir) {
  const con::Screen& sc = con::screen();
  Pos head = find(U'头'), food = find(U'食');
  if (head.x < 0 || food.x < 0 || sc.text_at(22, 0, 2) != "  ") return;
  auto open = [&](int x, int y) {
    if (x < 4 || x > 80 || y < 3 || y > 26) return false;
    char32_t c = sc.at(x, y).ch;
    return c != U'身' && c != U'尾' && c != U'头';
  };
  auto room = [&](int x0, int y0) {
    std::vector<bool> seen(84 * 28);
    std::vector<Pos> todo{{x0, y0}};
    int n = 0;
    while (!todo.empty() && n < 60) {
      Pos p = todo.back();
      todo.pop_back();
      if (!open(p.x, p.y) || seen[p.y * 84 + p.x]) continue;
      seen[p.y * 84 + p.x] = true;
      ++n;
      todo.insert(todo.end(), {{p.x + 2, p.y}, {p.x - 2, p.y}, {p.x, p.y + 1}, {p.x, p.y - 1}});
    }
    return n;
  };
  struct Move {
    char key;
    int dx, dy;
  };
  int best = -1000000;
  char pick = dir;
  for (Move m : {Move{'d', 2, 0}, {'a', -2, 0}, {'s', 0, 1}, {'w', 0, -1}}) {
    int x = head.x + m.dx, y = head.y + m.dy;
    if (!open(x, y)) continue;
    int score = room(x, y) * 1000 - std::abs(food.x - x) / 2 - std::abs(food.y - y);
    if (m.key == dir) score += 1;
    if (score > best) best = score, pick = m.key;
  }
  if (pick != dir) hh.key(pick, hh.now());
  dir = pick;
}

// A seeded game (the food's cells come from the virtual clock) played to the win: the board
// before the first tick, after five foods, the win message and the result, then the launcher.
TEST(SnakeGame, ScriptedPlayerEatsTwentyFourFoodsAndWins) {
  golden::Film film("snake");
  con::Headless h;
  h.line("1");
  h.line("1");
  h.stop_at_ms = 3600 * 1000;
  char dir = 'd';
  h.on_sleep = [&](con::Headless& hh) {
    const con::Screen& sc = con::screen();
    const auto& taken = film.taken();
    if (hh.now() == 500) film.shot("start", "the board in its first half second, before any tick");
    if (taken.size() == 1 && sc.text_at(87, 19, 11) == "当前得分:5 ") {
      film.shot("eaten", "the first tick's sleep with five foods eaten");
    }
    if (sc.text_at(22, 0, 2) != "  " && !taken.empty() && taken.back() != "won") {
      film.shot("won", "the 24th food eaten: the win message");
    } else if (sc.text_at(24, 5, 4) == "哈哈") {
      film.shot("won_result", "the result screen of the win");
    }
    steer(hh, dir);
  };
  int waits = 0;
  h.on_wait = [&](con::Headless&) {
    if (waits++ == 0) film.shot("../launcher/choice", "the launcher waiting for the choice");
  };
  EXPECT_EQ(run(h), 0);
  EXPECT_EQ(film.taken(), (std::vector<std::string>{"start", "eaten", "won", "won_result",
                                                    "../launcher/choice"}));
}

// The cover over the launcher's screen, the rules screen, and the cover again on a cleared
// screen; 3 there ends the program.
TEST(SnakeGame, CoverArtRulesScreenAndQuit) {
  golden::Film film("snake");
  con::Headless h;
  h.line("1");
  h.on_wait = [&](con::Headless& hh) {
    switch (film.taken().size()) {
      case 0:
        film.shot("cover", "the cover drawn over the launcher's screen, waiting for the choice");
        hh.line("2", hh.now());
        break;
      case 1:
        film.shot("rules", "the rules screen waiting for a key");
        hh.key('k', hh.now());
        break;
      case 2:
        film.shot("cover_again", "the cover after the rules screen, on a cleared screen");
        hh.line("3", hh.now());
        break;
      default:
        film.shot("unexpected_wait", "nothing should wait after the cover's 3");
    }
  };
  EXPECT_EQ(run(h), 0);
  // Quitting ended the program: no launcher menu was waiting.
  EXPECT_EQ(film.taken(), (std::vector<std::string>{"cover", "rules", "cover_again"}));
}

// Every direction code steers: S d s D, down and right arrows, W w, up arrow, A a, left arrow;
// the last direction then holds until the left wall kills the snake. Positions at fixed times
// show a key that did not move it.
TEST(SnakeGame, EveryDirectionKeySteersAndTheWallKills) {
  golden::Film film("snake");
  con::Headless h;
  h.line("1");
  h.line("1");
  const int keys[] = {'S', 'd', 's', 'D', -80, -77, 'W', 'w', -72, 'A', 'a', -75};
  int64_t t = 700;  // between the ticks at 500, 900, ... (an arrow adds 40 ms to one)
  for (int k : keys) {
    if (k < 0)
      h.arrow(-k, t);
    else
      h.key(k, t);
    t += 400;
  }
  h.on_sleep = [&](con::Headless& hh) {
    if (hh.now() == 3380) film.shot("steered", "after S d s D and the down and right arrows");
    if (hh.now() == 5860) film.shot("steered_more", "after W w, the up arrow, A a, the left arrow");
    if (hh.now() == 7660) film.shot("lost", "the head on the left wall: the loss message");
    if (hh.now() == 8660) film.shot("lost_result", "the result screen of the loss");
  };
  EXPECT_EQ(run(h), 0);
  EXPECT_EQ(film.taken(),
            (std::vector<std::string>{"steered", "steered_more", "lost", "lost_result"}));
}

// An arrow that leaves the rules screen gives its key read the prefix only: the scan code waits
// for the game's first key read and takes no part in the cover's typed choice.
TEST(SnakeGame, ArrowLeavingTheRulesScreenIsTheGamesFirstKey) {
  con::Headless h;
  h.line("1");
  int stage = 0;
  h.on_wait = [&](con::Headless& hh) {
    if (stage == 0) hh.line("2");
    if (stage == 1) hh.arrow(72, hh.now());
    if (stage == 2) hh.line("1");
    ++stage;
  };
  h.stop_at_ms = 1000;
  std::map<int64_t, Pos> heads;
  h.on_sleep = [&heads](con::Headless& hh) { heads[hh.now()] = find(U'头'); };
  run(h);
  EXPECT_EQ(stage, 3);
  EXPECT_EQ(con::screen().text_at(43, 18, 8), "        ");  // choice 1 read and cleared
  ASSERT_FALSE(heads.empty());
  const Pos first = heads.upper_bound(heads.begin()->first)->second;  // after the first tick
  EXPECT_EQ(first.x, 6);
  EXPECT_EQ(first.y, 13);
}

TEST(SnakeGame, CoverChoiceThatIsNoNumberStartsTheGameOverTheCover) {
  for (const char* second : {"", "abc"}) {
    con::Headless h;
    h.line(*second ? "1" : "1x");
    if (*second) h.line(second);
    h.stop_at_ms = 1000;
    run(h);
    const con::Screen& sc = con::screen();
    EXPECT_EQ(sc.text_at(43, 18, 8), "长虫竞逐") << second;
    EXPECT_EQ(sc.text_at(35, 22, 10), "1.开始游戏") << second;
    EXPECT_EQ(sc.at(83, 10).ch, U'*');
    EXPECT_EQ(sc.text_at(87, 2, 13), "   贪吃蛇游戏");
    EXPECT_EQ(find(U'头').x, 10);
  }
}

}  // namespace
