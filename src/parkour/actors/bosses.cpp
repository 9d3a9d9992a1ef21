// The three bosses: each takes the water drops that reach it, moves, and runs one attack at a
// time; bosses 1 and 2 paint beams whose cells wait in the trail queue until erased.
#include <cmath>
#include <cstring>

#include "console/console.hpp"
#include "parkour/actors/actors.hpp"
#include "parkour/field.hpp"
#include "parkour/world.hpp"

namespace parkour {

namespace {

int draw(int n) {
  return con::rand() % n;
}

// Blanks over a cell, or the ground line when it lies on row 20.
void erase_cell(float row, float col, int width) {
  wipe(row, col, width);
}

// Map(0, k) with the hurt colour while the player is marked hurt.
void draw_player() {
  Map(0, Kill ? 1 : 0);
}

// The drops that reach a boss are spent on it. Only the distance to the boss's left is bounded.
void take_drops(float bx, float by) {
  for (auto& d : I) {
    if (d[0] == -1) continue;
    if (std::fabs(d[0] - bx) < 2 && by - d[1] <= 2) {
      con::Color(0);
      wipe(static_cast<float>(d[0]), static_cast<float>(d[1]), 3);
      Exp += 2;
      d[0] = d[1] = -1;
      Bblo -= 8 + 2 * Lv;
    }
  }
}

// Erases the oldest painted cells: at least three, more while many wait.
void erase_trail() {
  if (Bbl == Bbr) {
    Bbl = Bbr = 0;
    return;
  }
  con::Color(0);
  int rounds = 0;
  do {
    if (Bbr < Bbl) {
      erase_cell(Bway[Bbr][0], Bway[Bbr][1], 2);
      ++Bbr;
    }
    ++rounds;
  } while (rounds < 3 || (Bbl - Bbr) / 5 + 3 >= rounds + 1);
}

// One beam cell: judged against the player, painted and queued for erasing. A full queue
// drops the cell rather than paint what could never be erased.
void beam_cell(int row, int col, bool judged) {
  if (judged) Panboss(row, col);
  if (!trail_push(static_cast<float>(row), static_cast<float>(col))) return;
  put(static_cast<float>(row), static_cast<float>(col), "█");
}

// ---- Boss 1 ----

bool in_bounds1() {
  const float r = Bx1 - Bvx1, c = By1 - Bvy1;
  return r > 6 && r < 28 && c > 7 && c < 27;
}

void end1() {
  boss_stand_down(1);
}

void choose1() {
  int a;
  for (;;) {
    a = draw(7);
    if ((a == 2 || a == 3) && (By1 <= 10 || By1 > 25)) continue;
    if (a == 4 && (By1 <= 15 || Bx1 < 20)) continue;
    if (a == 6 && (By1 <= 17 || By1 > 25)) continue;
    break;
  }
  Bwhat1 = a;
  if (a == 4) {
    Bgo1[2] = static_cast<int>(Bx1);
    Bgo1[3] = static_cast<int>(By1 - 1);
  } else if (a == 5) {
    // A boss pushed far outside the field could find no dash that stays in: it gives up.
    for (int tries = 0;; ++tries) {
      if (tries == 1000) {
        end1();
        return;
      }
      Bgo1[3] = 1 + draw(4);
      Bvx1 = static_cast<float>(draw(101) / 20.0);
      Bvy1 = static_cast<float>(draw(101) / 20.0);
      if (Bgo1[3] <= 2) Bvx1 = -Bvx1;
      if (Bgo1[3] % 2 == 1) Bvy1 = -Bvy1;
      if (std::fabs(Bvx1) + std::fabs(Bvy1) > 3 && in_bounds1()) break;
    }
  }
}

void roam1() {
  Bgo1[1] += 1;
  Bgo1[2] += 1;
  const int k = con::rand(), m = con::rand();
  if (!in_bounds1() || k % (5 - Bgo1[1]) == 0) {
    Bgo1[1] = 0;
    Bvx1 = static_cast<float>((draw(101) - 20) / 50.0);
    Bvy1 = static_cast<float>((draw(101) - 20) / 50.0);
    if (Bgo1[3] < 3) Bvx1 = -Bvx1;
    if (Bgo1[3] % 2 == 1) Bvy1 = -Bvy1;
    if (!in_bounds1()) {
      end1();
      return;
    }
  }
  if (m % (10 - Bgo1[2]) == 0) end1();
}

void spawn1() {
  Bgo1[1] += 1;
  if (Bgo1[1] < 7) return;
  Bvy1 = -0.3f;
  float vrow, vcol;
  do {
    vrow = static_cast<float>((draw(21) - 10) / 40.0);
    vcol = static_cast<float>(draw(25) / 30.0);
  } while (vrow <= 0.8 && vcol <= 0.8);
  if (draw(50) == 0) vrow = 0;
  if (Obj* r = new_record()) {
    r->type = 6;
    r->row = Bx1;
    r->col = By1 - 1;
    r->vrow = vrow;
    r->vcol = vcol;
    r->alive = 1;
  }
  if (Bgo1[1] >= 9) end1();
}

void shot1(int type, float vcol) {
  if (Obj* r = new_record()) {
    r->type = type;
    r->row = Bx1;
    r->col = By1 - 1;
    r->vcol = vcol;
    r->alive = 1;
  }
}

void homing1() {
  Bgo1[1] += 1;
  const int c = Bgo1[1];
  if (c >= 7 && c % 3 == 0) {
    Bvy1 = -0.3f;
    shot1(8, 0);
  }
  if (c >= 15) end1();
}

void lightning1() {
  Bgo1[1] += 1;
  const int c = Bgo1[1];
  if (c <= 8) {
    // The spark climbs from the boss, one row a tick.
    con::Color(0);
    if (c == 1) {
      blanks(static_cast<float>(Bgo1[2]), static_cast<float>(Bgo1[3]), 1);
    } else {
      erase_cell(static_cast<float>(Bgo1[2]), static_cast<float>(Bgo1[3]), 2);
    }
    Bgo1[2] -= 1;
    const char* glyph = draw(2) ? ") " : "】";
    con::Color(draw(2) ? 9 : 6);
    put(static_cast<float>(Bgo1[2]), static_cast<float>(Bgo1[3]), glyph);
    con::Color(0);
  }
  if (c == 6) {
    Bgo1[5] = static_cast<int>(X);
    Bgo1[6] = static_cast<int>(Y);
  }
  if (c < 11) return;
  draw_player();
  const float tr = static_cast<float>(Bgo1[5]), tc = static_cast<float>(Bgo1[6]);
  con::Color(0);
  // The sight goes with plain blanks, even where it lay on the ground line.
  blanks(tr - 1, tc, 2);
  blanks(tr, tc - 1, 2);
  blanks(tr, tc + 1, 2);
  blanks(tr + 1, tc, 2);
  con::Color(6);
  const int dr = Bgo1[2] - Bgo1[5], dc = Bgo1[3] - Bgo1[6];
  for (int k = 0;; ++k) {
    const int row = static_cast<int>(Bgo1[2] - k * dr / 30.0);
    const int col = static_cast<int>(Bgo1[3] - k * dc / 30.0);
    if (row < 6 || row > 29 || col < 0 || col > 28) break;
    beam_cell(row, col, true);
    if (dr == 0 && dc == 0) break;  // spark on the target: a beam of one cell
  }
  con::Color(0);
  Map(-1, 0);
  end1();
}

void redraw_dash_speed() {
  const int ox = static_cast<int>(Bvx1), oy = static_cast<int>(Bvy1);
  do {
    Bvx1 = static_cast<float>((draw(101) - 20) / 20.0);
    Bvy1 = static_cast<float>((draw(101) - 20) / 20.0);
    if (Bgo1[3] <= 2) Bvx1 = -Bvx1;
    if (Bgo1[3] % 2 == 1) Bvy1 = -Bvy1;
  } while (!(std::fabs(Bvx1) + std::fabs(Bvy1) > 3 && std::fabs(Bvx1 - ox) > 1 &&
             std::fabs(Bvy1 - oy) > 1));
}

void dash_trail1() {
  con::Color(5);
  for (int j = 0; j < 10; ++j)
    beam_cell(static_cast<int>(Bx1 - j * Bvx1 / 10), static_cast<int>(By1 - j * Bvy1 / 10), false);
  con::Color(0);
}

void dash1() {
  Bgo1[1] += 1;
  Bgo1[2] += 1;
  const int k = con::rand(), m = con::rand();
  if (!in_bounds1() || k % (5 - Bgo1[1]) == 0) {
    Bgo1[1] = 0;
    redraw_dash_speed();
    if (!in_bounds1()) {
      end1();
      return;
    }
  }
  if (m % (10 - Bgo1[2]) == 0) end1();
}

void burst1() {
  Bgo1[1] += 1;
  const int c = Bgo1[1];
  if (c >= 7 && c % 10 == 0) {
    By1 -= 1;
    shot1(9, 1);
  }
  if (c >= 31) end1();
}

// ---- Boss 2 ----

bool in_bounds2() {
  const float r = Bx2 - Bvx2, c = By2 - Bvy2;
  return r > 6 && r < 28 && c > 7 && c < 27;
}

void end2() {
  boss_stand_down(2);
}

bool near2(float r1, float c1, float r2, float c2) {
  return std::fabs(r1 - r2) <= 2 && std::fabs(c1 - c2) <= 2;
}

void choose2() {
  const int a = draw(7);
  Bwhat2 = a;
  if (a == 2) {
    // Three points away from the boss and the player, no two in one row or column.
    for (;;) {
      for (int p = 0; p < 3; ++p) {
        const int col = 1 + draw(28);
        const int row = 5 + draw(25);
        Bgo2[2 + 2 * p] = row;
        Bgo2[3 + 2 * p] = col;
      }
      bool bad = false;
      for (int p = 0; p < 3; ++p) {
        const float r = static_cast<float>(Bgo2[2 + 2 * p]);
        const float c = static_cast<float>(Bgo2[3 + 2 * p]);
        if (near2(r, c, Bx2, By2) || near2(r, c, X, Y)) bad = true;
        for (int q = p + 1; q < 3; ++q)
          if (Bgo2[2 + 2 * p] == Bgo2[2 + 2 * q] || Bgo2[3 + 2 * p] == Bgo2[3 + 2 * q]) bad = true;
      }
      if (!bad) break;
    }
  } else if (a == 3) {
    Bgo2[2] = draw(2);
  } else if (a >= 4) {
    Bvy2 = -1.5f;
    Bvx2 = -0.5f;
  }
}

void roam2() {
  Bgo2[1] += 1;
  Bgo2[2] += 1;
  const int k = con::rand(), m = con::rand();
  if (!in_bounds2() || k % (5 - Bgo2[1]) == 0) {
    Bgo2[1] = 0;
    Bvx2 = static_cast<float>((draw(101) - 20) / 50.0);
    Bvy2 = static_cast<float>((draw(101) - 20) / 50.0);
    if (Bgo2[3] < 3) Bvx2 = -Bvx2;
    if (Bgo2[3] % 2 == 1) Bvy2 = -Bvy2;
    if (!in_bounds2()) {
      end2();
      return;
    }
  }
  if (m % (30 - Bgo2[2]) == 0) end2();
}

// Where marker p of the three-point strike stands at count c: flying out over ten counts.
void marker_at(int p, int c, float& row, float& col) {
  const int s = c < 10 ? c : 10;
  row = Bx2 + s * (Bgo2[2 + 2 * p] - Bx2) / 10;
  col = By2 + s * (Bgo2[3 + 2 * p] - By2) / 10;
}

void strike2() {
  Bgo2[1] += 1;
  const int c = Bgo2[1];
  if (c <= 20) {
    for (int p = 0; p < 3; ++p) {
      float r, cl;
      marker_at(p, c - 1, r, cl);
      con::Color(0);
      erase_cell(r, cl, 2);
      marker_at(p, c, r, cl);
      const char* glyph = draw(2) ? "×" : "＋";
      con::Color(draw(2) ? 10 : 3);
      put(r, cl, glyph);
    }
    con::Color(0);
    return;
  }
  // The markers go from the points first: a point on row 5 lies outside the cross's rows, and
  // nothing else would paint over it.
  con::Color(0);
  for (int p = 0; p < 3; ++p) {
    float r, cl;
    marker_at(p, c - 1, r, cl);
    erase_cell(r, cl, 2);
  }
  draw_player();
  con::Color(3);
  for (int d = 0; d <= 30; ++d)
    for (int p = 0; p < 3; ++p) {
      const int pr = Bgo2[2 + 2 * p], pc = Bgo2[3 + 2 * p];
      const int cells[4][2] = {{pr - d, pc}, {pr + d, pc}, {pr, pc - d}, {pr, pc + d}};
      for (const auto& cell : cells)
        if (cell[0] >= 6 && cell[0] <= 29 && cell[1] >= 0 && cell[1] <= 29)
          beam_cell(cell[0], cell[1], true);
    }
  con::Color(0);
  Map(-1, 0);
  end2();
}

// The laser's warning marks as last drawn, so that exactly they are wiped.
struct Marks {
  bool shown = false;
  int orient = 0;
  float row = 0, col = 0;
};
Marks laser_marks;

void wipe_marks() {
  if (!laser_marks.shown) return;
  const Marks& m = laser_marks;
  con::Color(0);
  if (m.orient == 0) {
    erase_cell(m.row - 3, m.col, 2);
    erase_cell(m.row + 3, m.col, 2);
  } else {
    erase_cell(m.row, m.col - 3, 1);
    erase_cell(m.row, m.col + 3, 1);
  }
  laser_marks.shown = false;
}

void show_marks(int orient, float row, float col, int colour) {
  con::Color(colour);
  if (orient == 0) {
    put(row - 3, col, "▼");
    put(row + 3, col, "▲");
  } else {
    put(row, col - 3, " ");
    put(row, col + 3, " ");
  }
  con::Color(0);
  laser_marks = Marks{true, orient, row, col};
}

void laser2() {
  Bgo2[1] += 1;
  const int c = Bgo2[1];
  if (c == 1) laser_marks.shown = false;  // nothing of an earlier laser is left to wipe
  if (c <= 18) {
    if (c % 4 == 0) Bgo2[3] = 1 - Bgo2[3];
    wipe_marks();
    Bgo2[4] = static_cast<int>(X + 0.5);
    Bgo2[5] = static_cast<int>(Y + 0.5);
    show_marks(Bgo2[3], X, Y, c % 6 > 2 ? 5 : 3);
    return;
  }
  Bgo2[3] = Bgo2[2];
  wipe_marks();
  show_marks(Bgo2[3], static_cast<float>(Bgo2[4]), static_cast<float>(Bgo2[5]), c % 4 < 2 ? 3 : 5);
  if (c < 25) return;
  laser_marks.shown = false;  // the beam paints over them
  con::Color(3);
  if (Bgo2[2] == 0)
    for (int row = 4; row <= 29; ++row) beam_cell(row, Bgo2[5], true);
  else
    for (int col = 0; col <= 28; ++col) beam_cell(Bgo2[4], col, true);
  con::Color(0);
  end2();
}

void volley2() {
  Bgo2[1] += 1;
  const int c = Bgo2[1];
  if (By2 > 27) Bvy2 = 0;
  if (Bx2 > 23) Bvx2 = 0;
  if (c >= 14 && c % 3 == 0) {
    // Aimed so that, falling at 0.35 a tick, the shot is level with the player when it
    // reaches the player's column o ticks later.
    float o = By2 - Y;
    if (Boss == 6) o /= 2;
    if (o == 0) o = 1;  // already above the player: aim for the next tick
    const float v = static_cast<float>((Bx2 - X) / o + (o - 1) * 0.35 * 0.5);
    CpGuai(Bwhat2 + 2, Bx2, By2, v, 1);
  }
  if (c >= 21) end2();
}

// ---- Boss 3 ----

void end3() {
  boss_stand_down(3);
}

void shot3(int type, float row, float vrow, float vcol, int sub) {
  if (Obj* r = new_record()) {
    r->type = type;
    r->row = row;
    r->col = By3 - 1;
    r->vrow = vrow;
    r->vcol = vcol;
    r->sub = sub;
    r->alive = 1;
  }
}

void choose3() {
  int a;
  do {
    a = draw(12);
  } while (a == 11 && std::fabs(Bx3 - 20) <= 1);
  Bwhat3 = a;
  if (a == 11) Bgo3[2] = draw(5);
}

// Twelve records in rows Bx3 - 2 .. Bx3 and columns By3 .. By3 + 3, rushing left.
void banner_block(int glyph_base) {
  for (int j = 0; j < 4; ++j) {
    const float col = By3 + j;
    const int rows_types[3][2] = {{-1, glyph_base ? glyph_base + j + 1 : 98},
                                  {0, glyph_base ? 99 : 98},
                                  {-2, glyph_base ? 99 : 98}};
    for (const auto& rt : rows_types)
      if (Obj* r = new_record()) {
        r->type = rt[1];
        r->row = Bx3 + rt[0];
        r->col = col;
        r->vcol = 4;
        r->alive = 1;
      }
  }
}

void attack3() {
  const int a = Bwhat3;
  if (a == 0) return;
  if (a == 9 || a == 10 || a == 11) Bvx3 = 0;
  Bgo3[1] += 1;
  const int c = Bgo3[1];
  if (a == 1 || a == 7 || a == 8) {
    if (c == 6) {
      const int type = a == 1 ? 13 : a == 7 ? 14 : 15;
      const int row = static_cast<int>(Bx3 - 1);
      shot3(type, static_cast<float>(row), 1, 1, row - 3);
      shot3(type, static_cast<float>(row), -1, 1, row + 3);
      shot3(type, static_cast<float>(row), 0, 1, 0);
      end3();
    }
  } else if (a >= 2 && a <= 6) {
    if (c == 6) {
      float v = static_cast<float>(draw(100) / 80.0 + 0.5);
      if (a == 5) v = static_cast<float>(v * 0.75);
      shot3(a + 11, static_cast<float>(static_cast<int>(Bx3 - 1)), 0, v, 0);
      end3();
    }
  } else if (a == 9 || a == 10) {
    if (c >= 6 && c % 2 == 0) shot3(13, Bx3 - 1, 0, 1, 0);
    if (c >= (a == 9 ? 8 : 12)) end3();
  } else if (a == 11) {
    if (c >= 8 && c <= 20) banner_block(100 * Bgo3[2] + 4 * c + 80);
    if (c >= 20) {
      banner_block(0);  // blanks that wipe the banner's trace
      end3();
    }
  }
}

}  // namespace

bool trail_push(float row, float col) {
  if (Bbl >= kTrail && Bbr > 0) {
    // Move the waiting cells to the front to make room.
    const int waiting = Bbl - Bbr;
    std::memmove(Bway, Bway[Bbr], sizeof(Bway[0]) * static_cast<size_t>(waiting));
    Bbr = 0;
    Bbl = waiting;
  }
  if (Bbl >= kTrail || Bbl < 0) return false;
  Bway[Bbl][0] = row;
  Bway[Bbl][1] = col;
  ++Bbl;
  return true;
}

void Panboss(int row, int col) {
  float pts[3][2];
  const float far = -10;
  for (auto& p : pts) p[0] = p[1] = far;
  pts[0][0] = X;
  pts[0][1] = Y;
  if (Down == 0 && X >= 18) {
    pts[1][0] = X + 1, pts[1][1] = Y - 0.5f;
    pts[2][0] = X - 1, pts[2][1] = Y - 0.5f;
  } else if (Down == 1 && X == 22) {
    pts[0][0] = 22;
    pts[1][0] = 23, pts[1][1] = Y - 0.5f;
    pts[2][0] = 21, pts[2][1] = Y - 0.5f;
  } else if (Down == 2) {
    pts[1][0] = X + 1, pts[1][1] = Y - 0.5f;
  } else {
    pts[1][0] = X - 1, pts[1][1] = Y - 0.5f;
  }
  const bool calm = Wind == 0 && Thun == 0;
  for (const auto& p : pts) {
    const bool touch = std::fabs(p[0] - row) < 1 && std::fabs(p[1] - col) < 1;
    if (!touch || !calm) continue;
    if ((Boss == 1 || Boss == 6) && Bgo1[4] == 0) {
      Bgo1[4] = 1;
      Blo -= 20;
      Killb = 20;
      Kill = 1;
    }
    if ((Boss == 2 || Boss == 6) && Bgo2[8] == 0) {
      Bgo2[8] = 1;
      Blo -= 20;
      Killb = 20;
      Kill = 1;
    }
  }
}

void Boss1() {
  take_drops(Bx1, By1);
  erase_trail();
  if (Bwhat1 == 5) dash_trail1();
  Bx1 -= Bvx1;
  By1 -= Bvy1;
  if (Bwhat1 == 0) choose1();
  switch (Bwhat1) {
    case 1:
      roam1();
      break;
    case 2:
      spawn1();
      break;
    case 3:
      homing1();
      break;
    case 4:
      lightning1();
      break;
    case 5:
      dash1();
      break;
    case 6:
      burst1();
      break;
    default:
      break;
  }
}

void Boss2() {
  take_drops(Bx2, By2);
  erase_trail();
  Bx2 -= Bvx2;
  By2 -= Bvy2;
  if (Bwhat2 == 0) choose2();
  switch (Bwhat2) {
    case 1:
      roam2();
      break;
    case 2:
      strike2();
      break;
    case 3:
      laser2();
      break;
    case 4:
    case 5:
    case 6:
      volley2();
      break;
    default:
      break;
  }
}

void Boss3() {
  take_drops(Bx3, By3);
  Bx3 -= Bvx3;
  By3 -= Bvy3;
  if (Bwhat3 <= 8) {
    // Steps in double, kept as float: up and down again need not come back to exactly 0.
    if (Bx3 > X && Bvx3 < 1.5) Bvx3 = static_cast<float>(Bvx3 + 0.3);
    if (Bx3 < X && Bvx3 > -1.5) Bvx3 = static_cast<float>(Bvx3 - 0.3);
  }
  if (Bwhat3 == 0) choose3();
  attack3();
}

}  // namespace parkour
