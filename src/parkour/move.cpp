// Move: one tick of the player's physics, then one pass over the live window of the object
// table (retire, water drops, Map, ageing, steering by type, target search).
#include <algorithm>
#include <cmath>

#include "console/console.hpp"
#include "parkour/field.hpp"
#include "parkour/world.hpp"

namespace parkour {
namespace {

// The player's figure may have covered the ground line: put it back under the feet.
void repaint_ground() {
  ground(Y - 2.5f, 10);
}

void land_upper() {
  Up = 0;
  Down = 0;
  Vx = 0;
  Vy = 0;
  X = 18;
  repaint_ground();
}

void land_lower() {
  Up = 0;
  Down = 1;
  Vx = 0;
  Vy = 0;
  X = 22;
  repaint_ground();
}

void move_player() {
  // Position.
  float x = std::max(3.f, X);
  float base = Y;
  if (Y < 1) {
    Vy = 0;
    base = 1;
  } else if (Y > 29) {
    Vy = 0;
    base = 29;
  }
  bool chilled = Ice != 0;
  if (!chilled) {
    X = x - Vx;
    Y = base + Vy;
    Vy = static_cast<float>(std::max(Vy - 0.05, 0.0));
  } else {
    X = x - 0.5f * Vx;
    Y = base + 0.5f * Vy;
    Vy = static_cast<float>(std::max(Vy - 0.025, 0.0));
  }

  float s = chilled ? 0.25f : 0.5f;
  double g = chilled ? 0.175 : 0.35;

  if (Up == 0) {
    // Pull back toward the home column.
    if (!chilled && Wind != 0) {
      if (T % 2 == 0 && Y < Ding) Y += s;
      if (T % 2 == 1 && Y >= Ding) Y -= s;
    } else {
      if (T % 6 == 0 && Y < Ding) Y += s;
      if (T % 6 == 3 && Y >= Ding) Y -= s;
    }
    if (Ding - 1.25 >= Y) Vy = s;
    if (Y >= Ding + 1.25 && Wind == 0) Vy = -s;

    if (Down == 0) {
      if (Vx > 0 && X <= 18) land_upper();
    } else if (Down == 1) {
      if (Vx < 0 && X >= 22) land_lower();
    } else if (Down == 2) {
      if (X <= 22) {
        land_lower();
      } else {
        Vx = static_cast<float>(Vx + g);
      }
    }
    return;
  }

  // In the air.
  if (Down == 2) {
    if (X <= 22) {
      land_lower();
    } else {
      Vx = static_cast<float>(Vx + g);
    }
    return;
  }
  if (Up < 0) return;
  if (Down == 0 && X > 18) {
    Up = 0;
    Vx = 0;
    Vy = 0;
    X = 18;
    repaint_ground();
    return;
  }
  if (Upt == 0) {
    Vx = static_cast<float>(Vx - g);
    return;
  }
  // Hovering: the rise fades out, then the height holds until the count runs out.
  Vx = static_cast<float>(std::max(Vx - (chilled ? 0.125 : 0.25), 0.0));
  if (!chilled || T % 2 == 0) {
    if (Upt == 1) Map(-1, 0);  // the hovering figure differs from the falling one
    Upt -= 1;
  }
}

// A type-3 or type-5 monster fires: it gives way to a beam on its row.
void fire_beam(Obj& r) {
  r.alive = 0;
  float row = r.row;
  if (Obj* b = new_record()) {
    b->type = 4;
    b->row = row;
    b->col = 32;
    b->vcol = 3;
    b->alive = 1;
  }
}

void burst(Obj& r) {
  float a, b;
  do {
    a = static_cast<float>(con::rand() % 41) / 40;
    b = static_cast<float>(con::rand() % 41) / 40;
  } while (!(a > 0.5f || b > 0.5f));
  const float speeds[4][2] = {{-a, -b}, {-b, a}, {a, b}, {b, -a}};
  float row = r.row, col = r.col;
  for (const auto& v : speeds) {
    Obj* n = new_record();
    if (!n) break;
    n->type = 9;
    n->row = row;
    n->col = col;
    n->vrow = v[0];
    n->vcol = v[1];
    n->counter = 11;
    n->alive = 1;
  }
  r.alive = 0;
}

// Steers a live record by its type. Returns false when the pass must end for this tick.
bool steer(int i) {
  Obj& r = B[i];
  int c = r.counter;
  switch (r.type) {
    case 1:
      if (r.col <= 25 && r.sub == 0) {
        r.vcol = 0;
        r.sub = 1;
      }
      if (c == 30) {
        // It steps back after it was drawn: its next erase looks where it is then.
        wipe(r.row, r.col, 2);
        r.col += 1.5f;
        r.sub = 2;
      }
      if (c == 35) {
        r.vcol = 1.5f;
        r.sub = 3;
      }
      break;
    case 2:
      if (c % 3 == 0) r.sub = r.sub == 0 ? 1 : 0;
      break;
    case 3:
      if (r.col <= 20) r.vcol = 0;
      if (c > 30 && c % 2 == 0) r.sub = r.sub == 0 ? 1 : 0;
      r.vrow = 0;
      if (c == 45) fire_beam(r);
      break;
    case 5:
      if (r.col <= 21) r.vcol = 0;
      if (c > 30 && c % 2 == 0) r.sub = r.sub == 0 ? 1 : 0;
      if (X > r.row) {
        r.vrow = -0.2f;
        break;
      }
      r.vrow = (c <= 70 && r.row > X) ? 0.2f : 0.f;
      if (c == 45) fire_beam(r);
      break;
    case 6:
    case 8:
    case 9:
      if (r.vrow < 0.25f && c > 49 && r.vcol < 0.25f) {
        r.alive = 0;
        if (i == bl) bl = i + 1;
        Map(1, i);
        return false;
      }
      if (c % 5 == 0) r.sub = con::rand() % 4;
      if (r.type == 9 && c == 7) {
        burst(r);
      } else if (r.type == 8) {
        // c / 25 in whole numbers: it homes for its first 25 ticks only.
        double k = std::max(0.0, 0.2 - c / 25);
        if (r.row > X && r.vrow < 1.2) r.vrow = static_cast<float>(r.vrow + k);
        if (X > r.row && r.vrow > -1.2) r.vrow = static_cast<float>(r.vrow - k);
        if (r.col > Y && r.vcol < 1.2) r.vcol = static_cast<float>(r.vcol + k);
        if (Y > r.col && r.vcol > -1.2) r.vcol = static_cast<float>(r.vcol - k);
      }
      break;
    case 13:
    case 14:
    case 15:
      if (r.sub != 0 && r.row == static_cast<float>(r.sub)) {
        r.vrow = 0;
        r.sub = 0;
      }
      break;
    case 16:
      if (X > r.row && r.vrow >= -1) {
        r.vrow = static_cast<float>(r.vrow - 0.2);
      } else if (X < r.row && r.vrow <= 1) {
        r.vrow = static_cast<float>(r.vrow + 0.2);
      }
      break;
  }
  return true;
}

// Remembers the nearest free target ahead of the player (within 3 rows) and the nearest other.
void search(int i) {
  const Obj& r = B[i];
  if (r.alive != 1 || r.type <= 0 || r.param != 0) return;
  float d = (r.row - X) * (r.row - X) + (r.col - Y) * (r.col - Y);
  if (r.col > Y && std::fabs(r.row - X) <= 3 && d < static_cast<float>(Dis)) {
    Disb = i;
    Dis = static_cast<int>(d);
  } else if (d < static_cast<float>(Dis1)) {
    Disb1 = i;
    Dis1 = static_cast<int>(d);
  }
}

void pass() {
  // Drops are only freed during the pass: without one, no record needs the test.
  bool drops = false;
  for (const auto& d : I) drops = drops || d[0] != -1;
  // br is re-read every step: records appended during the pass are visited in it.
  for (int i = bl; i <= br && i < kRecords; ++i) {
    Obj& r = B[i];
    if (r.type <= 97) {
      float nr = r.row - r.vrow, nc = r.col - r.vcol;
      if (nr <= 5 || nr >= 30 || nc <= 0 || nc >= 30) {
        r.alive = 0;
        Map(1, i);
      }
    }
    for (int k = 0; drops && k < 20 && r.type > 0 && r.alive != 0; ++k) {
      int dr = I[k][0], dc = I[k][1];
      if (std::fabs(r.row - static_cast<float>(dr)) < 2 && r.col - static_cast<float>(dc) <= 2) {
        wipe(static_cast<float>(dr), static_cast<float>(dc), 3);
        I[k][0] = I[k][1] = -1;
        Exp += 2;
        r.alive = 0;
      }
    }
    if (r.counter >= 100) r.alive = 0;
    if (r.alive == 0 && i == bl) bl = i + 1;
    Map(1, i);
    if (r.alive) {
      r.counter += 1;
      if (!steer(i)) return;
    }
    search(i);
  }
}

}  // namespace

void Move() {
  move_player();
  pass();
}

}  // namespace parkour
