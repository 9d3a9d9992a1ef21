// The timed powers (fire, water, wind, thunder), the talent screen and the two health bars.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "console/console.hpp"
#include "parkour/actors/actors.hpp"
#include "parkour/field.hpp"
#include "parkour/world.hpp"

namespace parkour {

const char* talent_name(int ren) {
  static const char* const names[] = {"小无敌", "瞬跳", "空之舞", "三段跳", "反重力跳跃"};
  return ren >= 1 && ren <= 5 ? names[ren - 1] : "";
}

void boss_stand_down(int n) {
  switch (n) {
    case 1:
      Bwhat1 = 0;
      Bvx1 = Bvy1 = 0;
      std::memset(Bgo1, 0, sizeof Bgo1);
      break;
    case 2:
      Bwhat2 = 0;
      Bvx2 = Bvy2 = 0;
      std::memset(Bgo2, 0, sizeof Bgo2);
      break;
    case 3:
      Bwhat3 = 0;
      Bvx3 = Bvy3 = 0;
      std::memset(Bgo3, 0, sizeof Bgo3);
      break;
    default:
      break;
  }
}

namespace {

void ground_line() {
  con::Setpos(20, 0);
  con::print("============================================================");
}

// A record the object pass found last tick that is still a live monster. The search keeps its
// best distance until the fire power uses it, so an index can be stale (dead, or from before the
// table was emptied); such a target is passed over.
bool live_target(int index) {
  return index >= bl && index <= br && B[index].alive && B[index].type > 0;
}

void fire() {
  if (Fir <= 2 && T % 8 == 0) Fir += 1;
  if (Fir <= 0) return;
  const int dc = con::rand() % 3;
  Obj* r = new_record();
  if (r) {
    r->type = -13;
    r->row = X;
    r->col = Y + dc - 1;
    r->alive = 1;
    int target = -1;
    if (Dis <= 30 && live_target(Disb))
      target = Disb;
    else if (Boss != 0)
      target = kBossTarget;
    else if (Dis != kNone && live_target(Disb))
      target = Disb;
    else if (Dis1 != kNone && live_target(Disb1))
      target = Disb1;
    if (target < 0) {
      r->alive = 0;  // nothing to aim at: the charge stays
    } else {
      r->param = target;
      if (target != kBossTarget) B[target].param = 1;  // taken: no second fireball on it
      Fir -= 1;
    }
  }
  Dis = Dis1 = kNone;
}

// A drop on the screen whose slot is taken over, or whose row changes, goes from where it was
// drawn first: the drops' own erase only ever looks at where the slot says the drop is.
void lift_drop(int k) {
  if (I[k][0] == -1) return;
  con::Color(0);
  wipe(static_cast<float>(I[k][0]), static_cast<float>(I[k][1]), 2);
}

void water() {
  if (T % 4 == 0) {
    ib = (ib + 1) % 20;
    lift_drop(ib);
    I[ib][1] = static_cast<int>(Y - 2);
  }
  switch (T % 16) {
    case 0:
      I[ib][0] = static_cast<int>(X);
      break;
    case 4:
      I[ib][0] = static_cast<int>(X - 1);
      break;
    case 8:
      I[ib][0] = static_cast<int>(X + 1);
      break;
    case 12:
      I[ib][0] = static_cast<int>(X - 2);
      break;
    default:
      break;
  }
  if (T % 12 == 9) {
    lift_drop(ib);
    I[ib][0] = static_cast<int>(X + 2);
  }
  if (Water == 1) {
    // The last tick adds a "<" of drops in front of the player.
    for (int r = static_cast<int>(X - 6); r <= X + 6; ++r) {
      ib = (ib + 1) % 20;
      lift_drop(ib);
      I[ib][0] = r;
      I[ib][1] = static_cast<int>((Y - 2) - 0.5 * std::fabs(r - X));
    }
  }
}

// The strike of wind and thunder: the boss takes a blow and a single boss gives up its attack;
// then the screen flashes and every monster and shot on the field is gone.
void strike(const char* flash) {
  if (Boss != 0) {
    Bblo -= 16 + 4 * Lv;
    if (Boss >= 1 && Boss <= 3) boss_stand_down(Boss);
  }
  con::system(flash);
  con::Sleep(20);
  con::system("color 6F");
  con::Sleep(10);
  con::system("color 0F");
  con::system("cls");
  for (int k = bl; k <= br; ++k)
    if (B[k].type > 0) B[k].alive = 0;
  ground_line();
}

void wind() {
  if (Wind > 5) {
    Vy = Y < Ding - 1 ? 5.0f : 0.0f;
  } else if (Wind == 5) {
    Ding = Boss == 2 ? 12.25f : 6.25f;
    strike("color 3F");
    return;
  } else {
    Vy = Y > Ding - 1 ? -5.0f : 0.0f;
  }
  if (Up > 0) Vx = -5;
  if (Down == 2) Vx = 5;
}

void thunder() {
  if (Thun == 1) strike("color 9F");
}

void talent_screen() {
  con::system("cls");
  con::Color(5);
  con::Setpos(10, 10);
  con::print("新天赋！");
  int r;
  do {
    r = 2 + con::rand() % 4;
  } while (r == Ren);
  con::Setpos(12, 10);
  con::print(talent_name(r));
  con::Setpos(14, 10);
  con::print("当前天赋：");
  con::print(talent_name(Ren));
  con::Setpos(16, 10);
  con::print("换否？（y/n）");
  for (;;) {
    const int k = con::_getch();
    if (k == 'y') {
      Ren = r;
      break;
    }
    if (k == 'n') break;
  }
  con::system("cls");
  con::Color(0);
  ground_line();
}

// Twenty blocks for a full bar: one per twentieth of the maximum. Returns the blocks printed.
int bar(float value, int max) {
  const double step = max / 20.0;
  double v = 1.0;
  int n = 0;
  for (; n < 20 && value >= v; ++n) {
    con::print("▄");
    v += step;
  }
  return n;
}

// The head-up display prints the bars right after their labels: the player's from console
// column 13 of row 3, the boss's from column 12 of row 4.
constexpr int kPlayerBarColumn = 13;
constexpr int kBossBarColumn = 12;

// The number after a bar, then up to 30 blanks over what a longer line left, but none past the
// row's end: the console would wrap them onto the next row, over the field's top row.
void bar_tail(const char* number, int from, int blocks) {
  const int room = kFieldCols - from - 2 * blocks - static_cast<int>(std::strlen(number));
  con::printf("%s%*s", number, std::clamp(room, 0, 30), "");
}

void boss_bar() {
  con::Color(4);
  const int blocks = bar(static_cast<float>(Bblo), Bblomax);
  con::Color(0);
  char number[32];
  std::snprintf(number, sizeof number, " %d", Bblo);
  bar_tail(number, kBossBarColumn, blocks);
  con::Color(0);
}

void player_bar() {
  const bool blink = Win == 7 && T % 6 <= 2;
  con::Color(blink ? 3 : 1);
  const int blocks = bar(Blo, Blomax);
  con::Color(blink ? 3 : 0);
  char number[32];
  std::snprintf(number, sizeof number, " %0.1f", static_cast<double>(Blo));
  bar_tail(number, kPlayerBarColumn, blocks);
}

}  // namespace

void Ball(int mode) {
  switch (mode) {
    case 1:
      fire();
      break;
    case 2:
      water();
      break;
    case 3:
      wind();
      break;
    case 4:
      thunder();
      break;
    case 5:
      talent_screen();
      break;
    case 6:
      boss_bar();
      break;
    case 7:
      player_bar();
      break;
    default:
      break;
  }
}

}  // namespace parkour
