#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "parkour/harness.hpp"

using namespace parkour;
using namespace parkour_test;

namespace {

const std::string kGroundLine(60, '=');

// Jumps wave 0 to its last tick (the first time it is played).
void skip_wave0() {
  if (Win == 0 && D == 0 && T < 1399) T = 1399;
}

}  // namespace

TEST(ParkourLoop, FirstTickShowsFieldHelpAndHud) {
  Game g;
  g.frame = [](con::Headless&) {
    const con::Screen& s = con::screen();
    if (T == 1) {
      EXPECT_EQ(s.width(), 60);
      EXPECT_EQ(s.height(), 37);
      EXPECT_FALSE(s.cursor_visible());
      EXPECT_EQ(s.row_text(20).substr(0, 50), kGroundLine.substr(0, 50));  // monsters enter right
      EXPECT_EQ(text(12, 4, 44), "↑/↓ 跳跃/下翻，←→ 些微移动（松手即返回）");
      EXPECT_EQ(text(12, 6, 47), "球可以开启特殊效果，经验积满（300）可提升级别。");
      EXPECT_EQ(text(12, 8, 37), "打败 7 波即胜利，打败 BOSS 有新天赋。");
      EXPECT_EQ(text(30, 10, 14), "空格可以暂停。");
      EXPECT_EQ(text(2, 1, 11), "血量: 100  ");
      EXPECT_EQ(text(18, 1, 13), "死亡次数: 0  ");
      EXPECT_EQ(text(2, 2, 7), "级别: 1");
      EXPECT_EQ(text(18, 2, 9), "经验: 2  ");  // one for T % 20 == 1, one for T % 50 == 1
      EXPECT_EQ(attr(2, 1), 0x0F);
      // The player at home on the upper level.
      EXPECT_EQ(glyph(12, 17), U'●');
      EXPECT_EQ(text(10, 18, 3), "━/");
    }
    calm();
    if (T == 251) {
      EXPECT_EQ(text(30, 10, 14), "空格可以暂停。");
    }
    if (T == 301) {
      // Cleared every 50 ticks; after tick 300 the help is not drawn again.
      EXPECT_EQ(text(12, 6, 20), std::string(20, ' '));
      EXPECT_EQ(s.row_text(20), kGroundLine);
      throw con::Exit{0};
    }
  };
  g.run();
  EXPECT_EQ(T, 301);
}

TEST(ParkourLoop, HorizontalKeysPushLessAwayFromHomeAndReverseBeyond) {
  Game g;
  float max_off = 0;
  g.frame = [&](con::Headless&) {
    calm();
    auto set = [&](float off, int vk1, int vk2 = 0) {
      X = 18, Up = 0, Down = 0, Vy = 0, Y = Ding + off;
      g.hold_next(vk1);
      if (vk2) g.hold_next(vk2);
    };
    switch (T) {
      case 10:
        set(4, con::VK_RIGHT);
        break;
      case 11:  // (10 - 1.5 * 4) / 20
        EXPECT_NEAR(Y, Ding + 4.2f, 1e-5);
        set(8, con::VK_RIGHT);
        break;
      case 12:  // beyond 6.67 columns the push turns back
        EXPECT_NEAR(Y, Ding + 7.9f, 1e-5);
        set(4, con::VK_LEFT);
        break;
      case 13:
        EXPECT_NEAR(Y, Ding + 3.8f, 1e-5);
        set(4, con::VK_LEFT, con::VK_RIGHT);
        break;
      case 14:  // right wins
        EXPECT_NEAR(Y, Ding + 4.2f, 1e-5);
        Y = Ding;
        g.h.hold(con::VK_RIGHT, g.h.now(), g.h.now() + 55 * 200, false);
        break;
    }
    if (T > 30) max_off = std::max(max_off, Y - Ding);
    if (T == 214) throw con::Exit{0};
  };
  g.run();
  // Held, it settles where the push meets the pull, never past 6.67 columns.
  EXPECT_GT(max_off, 4.f);
  EXPECT_LT(max_off, 6.67f);
}

TEST(ParkourLoop, HeldUpArrowJumpsOnce) {
  Game g;
  g.h.hold(con::VK_UP, 55 * 4, 55 * 40, false);   // ticks 5 to 40
  g.h.hold(con::VK_UP, 55 * 44, 55 * 46, false);  // ticks 45 and 46
  std::vector<int> takeoffs;
  int last_up = 0, highest = 0;
  g.frame = [&](con::Headless&) {
    calm();
    if (Up != 0 && last_up == 0) takeoffs.push_back(T);
    last_up = Up;
    highest = std::max(highest, Up);
    if (T == 5) {  // the up arrow gives Vx 2 and Vy 0.1; the tick moves by them
      EXPECT_FLOAT_EQ(X, 16);
      EXPECT_NEAR(Vx, 1.65f, 1e-6);
      EXPECT_NEAR(Vy, 0.05f, 1e-6);
    }
    if (T == 6) {
      EXPECT_NEAR(X, 14.35f, 1e-5);
    }
    if (T == 41) {
      EXPECT_EQ(u1, 0);
    }
    if (T == 70) throw con::Exit{0};
  };
  g.run();
  EXPECT_EQ(takeoffs, (std::vector<int>{5, 45}));
  EXPECT_EQ(highest, 1);
}

TEST(ParkourLoop, DoubleJumpNeedsASecondPress) {
  Game g;
  g.h.hold(con::VK_UP, 55 * 4, 55 * 5, false);  // tick 5
  g.h.hold(con::VK_UP, 55 * 7, 55 * 8, false);  // tick 8
  g.frame = [&](con::Headless&) {
    calm();
    if (T == 5) {
      EXPECT_EQ(Up, 1);
    }
    if (T == 8) {
      EXPECT_EQ(Up, 2);
      EXPECT_NEAR(X, 11.55f, 1e-4);  // 16, 14.35, 13.05, then the second jump's Vx of 1.5
      EXPECT_NEAR(Vx, 1.15f, 1e-5);
      throw con::Exit{0};
    }
  };
  g.run();
  EXPECT_EQ(T, 8);
}

// The talents with a third jump: 三段跳 (Ren 4) takes off again with Vx 1.8, 空之舞 (Ren 3) with
// Vx 1 and 30 ticks of hover (its Vx falls by 0.25 a tick, not by gravity); a fourth press does
// nothing. The down arrow ends the jumps for the lower level; from there the up arrow climbs back
// at once.
TEST(ParkourLoop, ThirdJumpByTalentAndTheDownArrowEndsTheJumps) {
  for (int ren : {3, 4}) {
    Game g;
    for (int tick : {5, 8, 11, 14}) g.h.hold(con::VK_UP, 55 * (tick - 1), 55 * tick, false);
    g.h.hold(con::VK_DOWN, 55 * 16, 55 * 17, false);  // tick 17
    g.h.hold(con::VK_UP, 55 * 19, 55 * 20, false);    // tick 20
    g.frame = [&](con::Headless&) {
      calm();
      if (T == 1) Ren = ren;
      if (T == 11) {
        EXPECT_EQ(Up, 3) << ren;
        EXPECT_NEAR(Vx, ren == 4 ? 1.45f : 0.75f, 1e-5) << ren;
        if (ren == 3) {
          EXPECT_EQ(Upt, 29);
        }
      }
      if (T == 14) {
        EXPECT_EQ(Up, 3) << ren;
      }
      if (T == 17) {
        EXPECT_EQ(Up, 0) << ren;
        EXPECT_EQ(Down, 1) << ren;
        EXPECT_EQ(Upt, 0) << ren;
      }
      if (T == 19) {  // falling by 7 rows a tick from high up, it lands two ticks later
        EXPECT_FLOAT_EQ(X, 22) << ren;
      }
      if (T == 20) {
        EXPECT_EQ(Up, 0) << ren;
        EXPECT_EQ(Down, 0) << ren;
        EXPECT_FLOAT_EQ(X, 18) << ren;
        throw con::Exit{0};
      }
    };
    g.run();
    EXPECT_EQ(T, 20) << ren;
  }
}

TEST(ParkourLoop, WindBlocksSideKeysAndJumpsButNotClimbOrDrop) {
  Game g;
  float y_before = 0;
  g.frame = [&](con::Headless&) {
    calm();
    switch (T) {
      case 10:
        Wind = 60;
        Vy = 0;
        y_before = Y;
        g.hold_next(con::VK_RIGHT);
        g.hold_next(con::VK_UP);
        break;
      case 11:
        EXPECT_EQ(Up, 0);
        EXPECT_FLOAT_EQ(X, 18);
        EXPECT_LE(Y, y_before);
        break;
      case 12:  // standing on the lower level
        X = 22, Down = 1, Vx = 0;
        g.hold_next(con::VK_UP);
        break;
      case 13:
        EXPECT_FLOAT_EQ(X, 18);
        EXPECT_EQ(Down, 0);
        g.hold_next(con::VK_DOWN);
        break;
      case 14:
        EXPECT_FLOAT_EQ(X, 22);
        EXPECT_EQ(Down, 1);
        EXPECT_GT(Wind, 5);
        throw con::Exit{0};
    }
  };
  g.run();
  EXPECT_EQ(T, 14);
}

TEST(ParkourLoop, SpacePausesUntilAKeyAndOtherKeysAreDropped) {
  Game g;
  g.h.key('a', 55 * 5);   // read and dropped in tick 6
  g.h.key(' ', 55 * 10);  // tick 11 pauses
  bool prompted = false;
  g.wait = [&](con::Headless& hh) {
    EXPECT_EQ(T, 11);
    EXPECT_EQ(Sy, 1);
    EXPECT_EQ(text(2, 4, 19), "请按任意键继续. . .");
    prompted = true;
    hh.key('x', hh.now() + 3000);
  };
  g.frame = [&](con::Headless& hh) {
    calm();
    if (T == 6) {
      EXPECT_EQ(hh.now(), 55 * 6);
    }
    if (T == 12) {
      EXPECT_EQ(Sy, 0);
      EXPECT_EQ(text(2, 4, 27), std::string(27, ' '));
      EXPECT_EQ(hh.now(), 55 * 10 + 100 + 3000 + 55 * 2);
      throw con::Exit{0};
    }
  };
  g.run();
  EXPECT_TRUE(prompted);
}

TEST(ParkourLoop, LevelUpAndItsHighlight) {
  Game g;
  g.frame = [&](con::Headless&) {
    calm();
    if (T == 20) Exp = 299;
    if (T == 21) {  // the experience of tick 21 fills the bar
      EXPECT_EQ(Lv, 2);
      EXPECT_EQ(Exp, 0);
      EXPECT_EQ(Blomax, 105);
      EXPECT_FLOAT_EQ(Hui, 16);
      EXPECT_EQ(text(2, 2, 7), "级别: 2");
      EXPECT_EQ(attr(2, 2), 0x0E);
    }
    if (T == 40) {
      EXPECT_EQ(Lvl, 0);
      EXPECT_EQ(attr(2, 2), 0x0F);
      throw con::Exit{0};
    }
  };
  g.run();
  EXPECT_EQ(T, 40);
}

TEST(ParkourLoop, PoisonDrainsAndStopsRegeneration) {
  Game g;
  g.frame = [&](con::Headless&) {
    calm(false);
    if (T == 5) {
      Blo = 50;
      Drug = 12;
    }
    if (T == 9) {
      EXPECT_FLOAT_EQ(Blo, 50);
    }
    if (T == 10) {
      EXPECT_FLOAT_EQ(Blo, 49);
    }
    if (T == 17) {
      EXPECT_EQ(Drug, 0);
    }
    if (T == 18) {
      EXPECT_NEAR(Blo, 49.15f, 1e-4);  // regenerating again, Hui / 100 a tick
      throw con::Exit{0};
    }
  };
  g.run();
  EXPECT_EQ(T, 18);
}

TEST(ParkourLoop, LossAndGoalInTheSameTickIsALoss) {
  Game g;
  bool shown = false;
  g.sleep = [&](con::Headless&) {
    if (text(22, 15, 12) == "GAME OVER...") {
      shown = true;
      EXPECT_EQ(D, 1);
      EXPECT_EQ(attr(22, 15), 0x0C);
      EXPECT_EQ(attr(0, 0), 0x7F);
      EXPECT_EQ(con::screen().fill_attr(), 0x7F);
    }
  };
  int lost_l = 0;
  g.frame = [&](con::Headless&) {
    calm();
    skip_wave0();
    if (T == 1400) {
      Blo = 0;
      lost_l = L;
    }
    if (T == 1 && D == 1) {
      EXPECT_EQ(Win, 0);
      EXPECT_EQ(L, lost_l);  // the same family again
      EXPECT_EQ(text(18, 1, 13), "死亡次数: 1  ");
      throw con::Exit{0};
    }
  };
  g.run();
  EXPECT_TRUE(shown);
  EXPECT_EQ(D, 1);
}

TEST(ParkourLoop, ALostBossWaveIsReplayedWithTheBossAtFullHealth) {
  Game g;
  int boss = 0, loss_tick = 0;
  g.frame = [&](con::Headless&) {
    calm();
    skip_wave0();
    if (Win == 1 && D == 0 && T == 1403) {
      loss_tick = T;
      boss = Boss;
      EXPECT_EQ(Bblomax, 500);
      Bblo = 123;
      Lv = 3, Exp = 50, Ren = 4, Magne = 500;
      Obj* r = new_record();
      r->type = 1, r->row = 10, r->col = 20, r->alive = 1, r->param = 4242;
      Blo = -5;
    }
    if (D == 1) {
      EXPECT_EQ(Win, 1);
      EXPECT_EQ(T, 1);
      EXPECT_EQ(Boss, boss);
      EXPECT_EQ(Bblo, 500);
      EXPECT_EQ(Lv, 3);
      EXPECT_EQ(Ren, 4);
      EXPECT_GE(Exp, 50);
      EXPECT_EQ(Magne, 499);
      EXPECT_FLOAT_EQ(Blo, static_cast<float>(Blomax));
      for (int i = 0; i <= br; ++i) {
        EXPECT_NE(B[i].param, 4242) << i;
      }
      EXPECT_EQ(text(2, 4, 10), "怪物血量: ");
      throw con::Exit{0};
    }
  };
  g.run();
  EXPECT_GT(loss_tick, 0);
  EXPECT_EQ(D, 1);
}

TEST(ParkourLoop, BossWaveHudAndDefeatOfBossThree) {
  Game g;
  float bx = 0, by = 0;
  int wave1_frames = 0;
  g.frame = [&](con::Headless&) {
    skip_wave0();
    if (Win == 1) {
      ++wave1_frames;
      if (wave1_frames == 1) {
        EXPECT_EQ(T, 1401);                  // a boss wave goes on counting
        EXPECT_EQ(text(2, 1, 6), "      ");  // no health line at the top
        EXPECT_EQ(text(2, 3, 11), "血量     : ");
        EXPECT_EQ(text(2, 4, 10), "怪物血量: ");
        Boss = 3;
        Bl[0] = 3;
      } else {
        Bblo = 0;
        bx = Bx3, by = By3;
      }
    }
    if (Win == 2) {
      // The wreck of boss 3 crosses into the next wave.
      std::vector<const Obj*> debris;
      for (int i = bl; i <= br; ++i)
        if (B[i].type == 98) debris.push_back(&B[i]);
      ASSERT_EQ(debris.size(), 12u);
      const float rows[3] = {bx - 1, bx, bx - 2};
      for (int k = 0; k < 12; ++k) {
        EXPECT_FLOAT_EQ(debris[k]->row, rows[k % 3]) << k;
        EXPECT_FLOAT_EQ(debris[k]->col, by + static_cast<float>(k / 3) - 4) << k;
      }
      throw con::Exit{0};
    }
  };
  g.run();
  EXPECT_EQ(wave1_frames, 2);
  EXPECT_EQ(Win, 2);
}

TEST(ParkourLoop, WholeGameUsesEveryFamilyAndBossOnceAndEndsInAWin) {
  Game g;
  std::vector<int> families, bosses, goal;
  std::map<int, int> last_t;  // last tick seen per wave
  std::map<int, int> boss_frames;
  std::map<int, std::map<int, int>> delays;
  int prev_win = -1;
  int64_t prev_now = 0;
  int blomax6 = 0, blomax7 = 0;
  bool hold_out = false, timer = false;
  // When "YOU WIN !" was drawn: the end of the sleep before the first one that shows it.
  int64_t win_shown = -1, last_sleep = 0;
  g.sleep = [&](con::Headless& hh) {
    if (text(22, 15, 10) == "坚持30秒 !") hold_out = true;
    if (win_shown < 0 && text(22, 15, 9) == "YOU WIN !") win_shown = last_sleep;
    last_sleep = hh.now();
  };
  g.frame = [&](con::Headless& hh) {
    Blo = static_cast<float>(Blomax);  // nothing ends a wave but its goal
    if (Win != prev_win) {
      if (Win % 2 == 0) families.push_back(L);
      if (Win % 2 == 1) {
        bosses.push_back(Boss);
        goal.push_back(Bblomax);
      }
      if (Win == 7) blomax7 = Blomax;
      prev_win = Win;
    } else {
      delays[Win][static_cast<int>(hh.now() - prev_now)] += 1;
    }
    prev_now = hh.now();
    if (Win == 6) blomax6 = Blomax;
    if (Win == 7 && T == 15) timer = text(18, 1, 13) == "时间: 1.0 s  ";
    last_t[Win] = T;
    // The bosses fall in their third tick.
    if (Win % 2 == 1 && Win != 7 && ++boss_frames[Win] >= 3) Bblo = 0;
  };
  EXPECT_EQ(g.run(), 0);
  EXPECT_TRUE(g.returned);

  std::vector<int> f = families, b(bosses.begin(), bosses.end() - 1);
  std::sort(f.begin(), f.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(f, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(b, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(bosses.back(), 6);
  EXPECT_EQ(goal, (std::vector<int>{500, 1000, 1500, 2000}));
  for (int w : {0, 2, 4, 6}) EXPECT_EQ(last_t[w], 1400) << w;  // monster waves end by time
  EXPECT_EQ(last_t[7], 450);
  EXPECT_GE(blomax7 - blomax6, 100);
  EXPECT_EQ((blomax7 - blomax6) % 5, 0);
  EXPECT_TRUE(hold_out);
  EXPECT_TRUE(timer);
  const int want[8] = {55, 50, 35, 40, 25, 30, 20, 17};
  for (int w = 0; w < 8; ++w) {
    auto most = std::max_element(delays[w].begin(), delays[w].end(),
                                 [](auto& a, auto& c) { return a.second < c.second; });
    ASSERT_NE(most, delays[w].end()) << w;
    EXPECT_EQ(most->first, want[w]) << w;
  }
  EXPECT_EQ(text(22, 15, 9), "YOU WIN !");
  EXPECT_EQ(attr(22, 15), 0x0E);
  EXPECT_EQ(con::screen().fill_attr(), 0x6E);
  EXPECT_EQ(g.h.now() - win_shown, 2000);  // it stays two seconds, then the game returns
}

TEST(ParkourLoop, AScriptedPlayerPlaysEachFamilyToTheEndOfItsWave) {
  for (int family = 1; family <= 4; ++family) {
    // A seed whose first draw is this family.
    unsigned seed = 1;
    for (;; ++seed) {
      con::srand(seed);
      if (con::rand() % 4 + 1 == family) break;
    }
    con::set_seed_override(seed);
    Game g;
    bool won = false, lost = false;
    int wave_end = 0;
    g.frame = [&](con::Headless&) {
      if (Win == 0 && D == 0) {
        EXPECT_EQ(L, family);
        wave_end = T;
        if (T % 40 == 10) g.hold_next(con::VK_UP);  // a jump now and then
        if (T % 40 == 12) g.hold_next(con::VK_UP);
      }
      if (Win == 1) won = true;
      if (D == 1) {
        lost = true;
        EXPECT_EQ(T, 1);
        EXPECT_EQ(L, family);
      }
      if (won || lost) throw con::Exit{0};
    };
    g.run();
    con::set_seed_override(std::nullopt);
    EXPECT_TRUE(won != lost) << family;
    if (won) {
      EXPECT_EQ(wave_end, 1400) << family;
    }
  }
}
