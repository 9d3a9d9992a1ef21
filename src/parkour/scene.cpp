// Map: erases and draws the player, its effects and the bosses, and moves and draws one record
// of the object table at a time. Nothing is double-buffered: whatever moves is wiped where it
// stood (blanks, or the ground line's "=" on row 20) before it is drawn again.
#include <algorithm>
#include <cmath>

#include "console/console.hpp"
#include "parkour/field.hpp"
#include "parkour/world.hpp"

namespace parkour {
namespace {

void at(float row, float col, const char* text) {
  put(row, col, text);
}

bool near_ground(float row) {
  return std::fabs(row - 20) <= 1;
}

// ---- Bosses -------------------------------------------------------------------------------

void draw_boss1() {
  if (Bwhat1 == 5) {
    con::Color(5);
    at(Bx1, By1, "█");
    return;
  }
  if (Bwhat1 == 4 && Bgo1[1] >= 7 && Bgo1[1] <= 10) {
    // Only the sight, around the cell the lightning will strike.
    float r = static_cast<float>(Bgo1[5]), c = static_cast<float>(Bgo1[6]);
    con::Color(4);
    at(r - 1, c, "︻");
    at(r, c - 1, "【");
    at(r, c + 1, "】");
    at(r + 1, c, "︼");
    return;
  }
  int body = 4;
  if (Bgo1[1] <= 5) {
    if (Bwhat1 == 2) body = 1;
    if (Bwhat1 == 3) body = 5;
    if (Bwhat1 == 6) body = 8;
  }
  con::Color(0);
  at(Bx1 - 1, By1 - 0.5f, "●●");
  con::Color(body);
  if (Bwhat1 == 4) {
    at(Bx1, By1 - 0.5f, "██(");
  } else {
    at(Bx1, By1 - 1, ")██(");
  }
  at(Bx1 + 1, By1 - 0.5f, "……");
}

void draw_boss2() {
  con::Color(0);
  at(Bx2 - 1, By2 - 1, "\\ ●");
  // The middle row in three colours, each piece where the one before it ended.
  const int row = field_row(Bx2);
  con::Color(3);
  int x = put_cells(row, field_column(By2 - 1), "◥");
  con::Color(5);
  x = put_cells(row, x, "JJJ");
  con::Color(0);
  put_cells(row, x, ">");
  con::Color(3);
  at(Bx2 + 1, By2 - 1, "◢█◣");
}

void draw_boss3() {
  int c = 2;
  switch (Bwhat3) {
    case 3:
    case 9:
      c = 1;
      break;
    case 4:
    case 10:
      c = 4;
      break;
    case 5:
    case 11:
      c = 5;
      break;
    case 6:
      c = 3;
      break;
  }
  con::Color(c);
  at(Bx3 - 1, By3 - 0.5f, Bwhat3 == 11 ? " ●-" : "●-");
  at(Bx3, By3, Bwhat3 == 11 ? "/" : "┃");
  con::Color(0);
  at(Bx3 + 1, By3 - 1, "●●●");
}

void draw_bosses() {
  if (Boss == 1 || Boss == 6) draw_boss1();
  if (Boss == 2 || Boss == 6) draw_boss2();
  if (Boss == 3 || Boss == 6) draw_boss3();
}

void erase_bosses() {
  if (Boss == 1 || Boss == 6) {
    if (Bwhat1 == 5) {
      wipe(Bx1, By1, 2);
    } else {
      wipe(Bx1 - 1, By1 - 0.5f, 4);
      wipe(Bx1, By1 - 1, 6);
      wipe(Bx1 + 1, By1 - 0.5f, 4);
      if (near_ground(Bx1)) ground(By1 - 1, 6);
    }
  }
  if (Boss == 2 || Boss == 6) {
    wipe(Bx2 - 1, By2 - 1, 4);
    wipe(Bx2, By2 - 1, 6);
    wipe(Bx2 + 1, By2 - 1, 6);
    if (near_ground(Bx2)) ground(By2 - 1, 6);
  }
  if (Boss == 3 || Boss == 6) {
    wipe(Bx3 - 1, By3 - 0.5f, 5);
    wipe(Bx3, By3, 2);
    wipe(Bx3 + 1, By3 - 1, 6);
    if (near_ground(Bx3)) ground(By3 - 1, 7);
  }
}

// ---- Player and effects -------------------------------------------------------------------

const char* const kUpperLegs[3] = {"┛╲", "┦ ", "╯>"};
const char* const kLowerLegs[3] = {"┓╱", "┪ ", "╮>"};

int leg_step(int a) {
  return a < 3 ? 0 : (a <= 5 ? 1 : 2);
}

int player_colour(int arg) {
  int c = 0;
  if (Ren == 2) c = 12;
  if (Ren == 3) c = 1;
  if (Ren == 4) c = 3;
  if (Ren == 5) c = 4;
  if (Drug > 0) c = 11;
  if (Ice > 0) c = 6;
  if (arg == 1) c = 8;
  if (Li > 0) c = 5;
  if (Ren == 1 && Killb > 0 && T % 4 <= 1) c = 13;
  if (Wind > 0) c = T % 4 <= 1 ? 1 : 0;
  if (Thun > 0) c = T % 4 <= 1 ? 1 : 6;
  return c;
}

// What the last draw put up around the player. A countdown can run out, and the hover can
// begin, between a draw and the next erase; the erase takes away what was drawn all the same.
struct Shown {
  bool hover, thun, star, wind, water, fire;
};
Shown shown{};

void draw_player(int arg) {
  con::Color(player_colour(arg));
  int a = T % 10;
  if (X >= 17 && X <= 19) {
    at(X - 1, Y, "●");
    at(X, Y - 1, "━/");
    at(X + 1, Y - 1, kUpperLegs[leg_step(a)]);
    if (Wind > 0) at(X + 1, Y - 1, kUpperLegs[T % 3]);
  } else if (X >= 21 && X <= 23) {
    at(X + 1, Y, "●");
    at(X, Y - 1, "━\\");
    at(X - 1, Y - 1, kLowerLegs[leg_step(a)]);
    if (Wind > 0) at(X - 1, Y - 1, kLowerLegs[T % 3]);
  } else if (X > 23) {
    at(X, Y - 1, "━ ●");
    at(X - 1, Y - 0.5f, "│>");
  } else if (X < 17) {
    at(X, Y - 1, "━ ●");
    shown.hover = Upt != 0;
    if (Upt != 0) {
      at(X + 1, Y - 1.5f, "╱ >");
    } else {
      at(X + 1, Y - 0.5f, "│>");
    }
  }
}

const char* const kWindStreaks[4][3] = {
    {"----  --", "-  --- -", "--- - --"},
    {"------  ", " --  ---", "----- - "},
    {"  ------", "-- --  -", "- ----- "},
    {"--  ----", " --- -- ", "- - ----"},
};

void draw_overlays() {
  shown.thun = Thun > 0;
  shown.star = Magne > 0 && T % 7 < 2;
  shown.wind = Wind > 1;
  shown.water = Water > 0;
  shown.fire = Fire > 0;
  if (Thun > 0) {
    at(X - 2, Y - 1, "▄▄");
    at(X + 2, Y - 1, "▄▄");
    at(X, Y + 2, "▌");
    at(X, Y - 2.5f, "▌");
    at(X + 1, Y + 1, "█");
    at(X - 1, Y + 1, "█");
    at(X + 1, Y - 2, "█");
    at(X - 1, Y - 2, "█");
  }
  if (Magne > 0 && T % 7 < 2) {
    con::Color(5);
    at(X, Y, "★");
  }
  if (Wind > 1) {
    con::Color(T % 6 < 2 ? 1 : 0);
    const char* const* p = kWindStreaks[(T % 8) / 2];
    at(X + 1, Y - 5, p[0]);
    at(X, Y - 5, p[1]);
    at(X - 1, Y - 5, p[2]);
  }
  if (Water > 0) {
    con::Color(1);
    int w = T % 20;
    if (w < 5) {
      at(X + 2, Y - 3, "■");
      at(X + 1, Y - 3.5f, "■");
      at(X - 1, Y - 2.5f, "■");
      at(X - 2, Y - 3, "■");
    } else if (w >= 10 && w <= 14) {
      at(X + 2, Y - 3.5f, "■");
      at(X + 1, Y - 3, "■");
      at(X - 1, Y - 3.5f, "■");
      at(X - 2, Y - 3, "■");
    } else {
      at(X + 2, Y - 3, "■");
      at(X, Y - 4, "■■");
      at(X - 2, Y - 3, "■");
    }
  }
  if (Fire > 0) {
    con::Color(T % 6 > 2 ? 5 : 4);
    if (Fir > 0) at(X, Y + 1, "●");
    if (Fir > 1) at(X + 1, Y, "●");
    if (Fir > 2) at(X - 1, Y - 1, "●");
  }
}

// The figure in the air, with or without the hover's legs.
void erase_in_air(bool hover) {
  wipe(X, Y - 1, 4);
  if (hover) {
    wipe(X + 1, Y - 1.5f, 4);
  } else {
    wipe(X + 1, Y - 0.5f, 3);
  }
}

void erase_player() {
  if (X >= 17 && X <= 19) {
    wipe(X - 1, Y, 2);
    wipe(X, Y - 1, 3);
    wipe(X + 1, Y - 1, 3);
  } else if (X >= 21 && X <= 23) {
    wipe(X + 1, Y, 2);
    wipe(X, Y - 1, 3);
    wipe(X - 1, Y - 1, 4);
  } else if (X > 23) {
    wipe(X, Y - 1, 4);
    wipe(X - 1, Y - 0.5f, 3);
  } else if (X < 17) {
    erase_in_air(Upt != 0);
    if (shown.hover != (Upt != 0)) erase_in_air(shown.hover);
  }
}

void erase_overlays() {
  if (shown.star) wipe(X, Y, 2);
  if (Thun > 0 || shown.thun) {
    wipe(X + 2, Y - 1, 4);
    wipe(X - 2, Y - 1, 4);
    wipe(X, Y + 2, 2);
    wipe(X, Y - 2.5f, 2);
    wipe(X + 1, Y + 1, 2);
    wipe(X - 1, Y + 1, 2);
    wipe(X + 1, Y - 2, 2);
    wipe(X - 1, Y - 2, 2);
    ground(Y - 2.5f, 12);
  }
  if (Wind > 0 || shown.wind) {
    wipe(X + 1, Y - 5, 8);
    wipe(X, Y - 5, 8);
    wipe(X - 1, Y - 5, 8);
    ground(Y - 5, 8);
  }
  if (Water > 0 || shown.water) {
    wipe(X, Y - 4, 7);
    wipe(X + 2, Y - 3.5f, 5);
    wipe(X - 2, Y - 3.5f, 5);
    wipe(X + 1, Y - 3.5f, 5);
    wipe(X - 1, Y - 3.5f, 5);
    ground(Y - 5, 8);
  }
  if (Fire > 0 || shown.fire) {
    wipe(X, Y + 1, 2);
    wipe(X + 1, Y, 2);
    wipe(X - 1, Y - 1, 2);
    ground(Y - 1, 6);
  }
}

// ---- Records ------------------------------------------------------------------------------

// The cells of a beam: one "═" per unit from max(0, col - 8) to col. Cells past the right edge
// are skipped: they were never on screen.
template <typename F>
void beam_cells(const Obj& r, F f) {
  for (float c = std::max(0.f, r.col - 8); c <= r.col; c += 1) {
    if (field_column(c) <= kFieldCols - 2) f(c);
  }
}

template <typename F>
void pillar_cells(const Obj& r, F f) {
  if (r.sub < 0) {
    for (int row = 19; row >= 20 + r.sub; --row) f(static_cast<float>(row));
  } else if (r.sub > 0) {
    for (int row = 21; row <= 20 + r.sub; ++row) f(static_cast<float>(row));
  }
}

void erase_record(const Obj& r) {
  int t = r.type;
  if (t == 2) {
    for (int d = -1; d <= 1; ++d) wipe(r.row + d, r.col - 1, 7);
  } else if (t == 4) {
    beam_cells(r, [&](float c) { wipe(r.row, c, 2); });
  } else if (t == 6 || t == 8 || t == 9) {
    wipe(r.row - 1, r.col, 2);
    wipe(r.row, r.col - 1, 6);
    wipe(r.row + 1, r.col, 2);
  } else if (t == 7) {
    pillar_cells(r, [&](float row) { wipe(row, r.col, 2); });
  } else if (t == 14 || t == 16 || t == 17) {
    wipe(r.row, r.col, 3);
  } else if (t <= -2 && t >= -9) {
    wipe(r.row, r.col - 1, 6);
  } else if (t == 1 || t == 3 || t == 5 || (t >= 10 && t <= 13) || t == 15 || t >= 98 || t == -1 ||
             t == -10 || t == -11 || t == -13) {
    wipe(r.row, r.col, 2);
  }
}

const char* const kGoods[8] = {"﹝镖﹞", "﹝火﹞", "﹝水﹞", "﹝风﹞",
                               "﹝雷﹞", "﹝磁﹞", "﹝血﹞", "﹝忍﹞"};
const int kGoodsColour[8] = {3, 4, 1, 0, 6, 5, 2, 14};

const char* const kTaunt0[5] = {"我", "是", "最", "强", "的"};
const char* const kTaunt1[6] = {"神", "级", "怪", "物", "之", "光"};
const char* const kTaunt2[8] = {"颤", "抖", "吧", "无", "能", "的", "人", "类"};
const char* const kTaunt3[8] = {"还", "不", "快", "跪", "倒", "在", "朕", "前"};
const char* const kTaunt4[8] = {"看", "懂", "这", "句", "话", "的", "是", "猪"};

const char* taunt_glyph(int t) {
  if (t >= 100 && t < 200) return kTaunt0[t % 5];
  if (t >= 200 && t < 300) return kTaunt1[t % 6];
  if (t >= 300 && t < 400) return kTaunt2[t % 8];
  if (t >= 400 && t < 500) return kTaunt3[t % 8];
  if (t >= 500 && t < 600) return kTaunt4[t % 8];
  return "█";  // the filler between the banner's bars
}

// "up" and "down" of the goods' bobbing, in double precision as the speeds were tuned.
void bob_up(Obj& r) {
  if (r.vrow <= 1) r.vrow = static_cast<float>(r.vrow + 0.2);
}
void bob_down(Obj& r) {
  if (r.vrow >= -1) r.vrow = static_cast<float>(r.vrow - 0.2);
}

void bob(Obj& r) {
  if (r.row <= 7) r.row = 7;
  if (r.row >= 28) {
    r.row = 28;
    if (r.sub == 1) {
      bob_down(r);
    } else {
      bob_up(r);
    }
    return;
  }
  if (r.row >= r.param + 1) {
    r.sub = 0;
    bob_up(r);
  } else if (r.row <= r.param - 1) {
    r.sub = 1;
    bob_down(r);
  } else if (r.sub == 1) {
    bob_down(r);
  } else {
    bob_up(r);
  }
}

bool boss_at(float& row, float& col) {
  switch (Boss) {
    case 1:
      row = Bx1, col = By1;
      return true;
    case 2:
      row = Bx2, col = By2;
      return true;
    case 3:
      row = Bx3, col = By3;
      return true;
  }
  return false;
}

float diamond(float r1, float c1, float r2, float c2) {
  return std::fabs(r1 - r2) + std::fabs(c1 - c2);
}

void dart(Obj& r) {
  if (Boss == 0) {
    r.alive = 0;
    return;
  }
  float br_ = 0, bc = 0;
  bool single = boss_at(br_, bc);
  if (single && r.counter < 10) {
    r.row += (br_ - r.row) / static_cast<float>(10 - r.counter);
    r.col += (bc - r.col) / static_cast<float>(10 - r.counter);
  }
  if ((single && diamond(r.row, r.col, br_, bc) < 1.5f) || r.counter >= 10) {
    r.alive = 0;
    Bblo -= 8 + 2 * Lv;
    return;
  }
  con::Color(7);
  at(r.row, r.col, r.counter % 2 == 0 ? "＋" : "×");
}

void fireball(Obj& r) {
  float tr = 0, tc = 0;
  Obj* target = nullptr;
  bool boss = false;
  if (r.param == kBossTarget) {
    if (Boss == 0) {
      r.alive = 0;
      return;
    }
    boss = true;
  } else if (r.param >= 0 && r.param < kRecords && B[r.param].alive) {
    target = &B[r.param];
    tr = target->row;
    tc = target->col;
  } else {
    r.alive = 0;  // its target is gone
    return;
  }
  bool moves = target != nullptr || (boss && boss_at(tr, tc));
  if (moves && r.counter < 5) {
    r.row += (tr - r.row) / static_cast<float>(5 - r.counter);
    r.col += (tc - r.col) / static_cast<float>(5 - r.counter);
  }
  if ((moves && diamond(r.row, r.col, tr, tc) < 1.5f) || r.counter >= 5) {
    r.alive = 0;
    if (target) {
      target->alive = 0;
      Exp += 2;
    } else {
      Bblo -= 8 + 2 * Lv;
    }
    return;
  }
  con::Color(T % 6 <= 2 ? 5 : 4);
  at(r.row, r.col, "●");
}

void coin(Obj& r) {
  if (Magne >= 1) {
    // 1/(9 - sub) of the way per tick reaches the player at sub 8; never divide by less.
    float k = static_cast<float>(std::max(1, 9 - r.sub));
    r.row += (X - r.row) / k;
    r.col += (Y - r.col) / k;
    r.sub += 1;
  }
  r.col -= r.vcol;
  con::Color(T % 7 < 2 ? 0 : (r.type == -10 ? 5 : 7));
  at(r.row, r.col, "◆");
}

// Moves record i, draws it and (mode 1) judges its contact.
void record(int mode, int i) {
  if (i < 0 || i >= kRecords) return;
  Obj& r = B[i];
  int t = r.type;
  if (t < 98 && r.row < 5) r.row = 5;
  erase_record(r);
  if (!r.alive) return;
  bool judge = mode == 1;
  switch (t) {
    case 1:
      r.col -= r.vcol;
      con::Color(r.sub < 2 ? 13 : 4);
      at(r.row, r.col, "●");
      if (judge) Pan(1, r.row, r.col, i);
      return;
    case 2:
      r.col -= r.vcol;
      con::Color(5);
      if (r.sub == 0) {
        at(r.row - 1, r.col, "↑");
        at(r.row, r.col - 1, "←┼ →");
        at(r.row + 1, r.col, "↓");
      } else {
        at(r.row - 1, r.col - 1, "↖  ↗");
        at(r.row, r.col, "╳");
        at(r.row + 1, r.col - 1, "↙  ↘");
      }
      if (judge) Pan(2, r.row, r.col, i);
      return;
    case 3:
    case 5:
      r.row -= r.vrow;
      r.col -= r.vcol;
      con::Color(r.sub == 1 ? 5 : 4);
      at(r.row, r.col, "◎");
      return;
    case 4:
      r.col -= r.vcol;
      con::Color(6);
      beam_cells(r, [&](float c) { at(r.row, c, "═"); });
      if (judge) Pan(4, r.row, r.col, i);
      return;
    case 6:
    case 8:
    case 9: {
      r.row -= r.vrow;
      r.col -= r.vcol;
      int c = 5;
      if (t == 6) c = r.sub < 2 ? 1 : 6;
      if (t == 9) c = r.sub < 2 ? 4 : 8;
      con::Color(c);
      at(r.row - 1, r.col, "︹");
      at(r.row, r.col - 1, r.sub % 2 != 0 ? "〔●〕" : "﹝○﹞");
      at(r.row + 1, r.col, "︺");
      if (judge) Pan(6, r.row, r.col, i);
      return;
    }
    case 7:
      r.col -= r.vcol;
      pillar_cells(r, [&](float row) { at(row, r.col, "║"); });
      if (judge) {
        // One judgement per cell, until one of them removes the pillar.
        pillar_cells(r, [&](float row) {
          if (r.alive) Pan(7, row, r.col, i);
        });
      }
      return;
    case 10:
    case 11:
    case 12:
      r.row -= r.vrow;
      r.col -= r.vcol;
      if (r.sub == 1) {
        r.vcol = static_cast<float>(r.vcol - 0.2);
      } else {
        r.vrow = static_cast<float>(r.vrow - 0.35);
      }
      if (r.row >= 25) {
        r.row = 25;
        r.vrow = static_cast<float>(-0.8 * r.vrow);
      }
      if (t == 11 && r.col <= 1) {
        r.col = 1;
        r.vcol = -r.vcol;
      }
      if (t == 12 && r.col <= 1) {
        r.col = 1;
        r.vrow = 0;
        r.vcol = -0.5f;
        r.sub = 1;
      }
      con::Color(t == 11 ? 1 : (t == 12 ? 5 : 0));
      at(r.row, r.col, r.counter % 4 > 1 ? "▍" : "▃");
      if (judge) Pan(t, r.row, r.col, i);
      return;
    case 13:
    case 14:
    case 15:
    case 16:
    case 17: {
      static const int kColour[5] = {2, 1, 4, 5, 3};
      static const char* const kShot[5] = {"●", "●*", "●", "●<", "●X"};
      r.row -= r.vrow;
      r.col -= r.vcol;
      con::Color(kColour[t - 13]);
      at(r.row, r.col, kShot[t - 13]);
      if (judge) Pan(1, r.row, r.col, i);
      return;
    }
    case -1:
      dart(r);
      return;
    case -10:
    case -11:
      coin(r);
      if (judge) Pan(-1, r.row, r.col, i);
      return;
    case -13:
      fireball(r);
      return;
  }
  if (t >= 98) {
    r.col -= r.vcol;
    if (r.col <= 3) {
      r.alive = 0;
      return;
    }
    if (t == 98) {
      wipe(r.row, r.col, 2);  // the debris sweeps the banner's trace away
      return;
    }
    if (t > 599) return;
    con::Color(5);
    at(r.row, r.col, taunt_glyph(t));
    if (judge) Pan(1, r.row, r.col, i);
    return;
  }
  if (t <= -2 && t >= -9) {
    r.row -= r.vrow;
    r.col -= r.vcol;
    if (t <= -3 && t >= -7) bob(r);
    int k = -2 - t;
    int c = kGoodsColour[k];
    if (T % 7 < 2) c = t == -5 ? 1 : 0;
    con::Color(c);
    at(r.row, r.col - 1, kGoods[k]);
    if (judge) Pan(-2, r.row, r.col, i);
    return;
  }
  // A type with no picture of its own still moves by its speeds.
  r.row -= r.vrow;
  r.col -= r.vcol;
}

}  // namespace

void forget_shown() {
  shown = Shown{};
}

void Map(int mode, int arg) {
  con::Color(0);
  if (mode == -1) {
    erase_bosses();
    if (X < 0) return;
    erase_player();
    erase_overlays();
    shown = Shown{};
  } else if (mode == 0) {
    draw_bosses();
    if (X < 0) return;
    draw_player(arg);
    draw_overlays();
  } else if (mode == 1 || mode == 3) {
    record(mode, arg);
  }
  // Nothing in use is alive any more: start the table over.
  if (br < bl) clear_table();
  con::Color(0);
}

}  // namespace parkour
