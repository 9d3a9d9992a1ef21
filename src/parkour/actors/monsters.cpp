// Spawners: the records that monsters, goods and darts start as, and the scripts of the four
// monster families. They only create records; the object pass moves, draws and judges them.
#include <initializer_list>

#include "console/console.hpp"
#include "parkour/world.hpp"

namespace parkour {

namespace {

// A standard monster enters at the right edge and walks left one column per tick.
void walker(int type, int row) {
  Obj* r = new_record();
  if (!r) return;
  r->type = type;
  r->row = static_cast<float>(row);
  r->col = 29;
  r->vcol = 1.0f;
  r->alive = 1;
}

}  // namespace

void Guai(int request, int place) {
  if (request == -1) {
    // A dart, in one of the nine cells around the player.
    const int dr = con::rand() % 3;
    const int dc = con::rand() % 3;
    Obj* r = new_record();
    if (!r) return;
    r->type = -1;
    r->row = X + dr - 1;
    r->col = Y + dc - 1;
    r->alive = 1;
    return;
  }
  if (request >= -11 && request <= -2) {
    Obj* r = new_record();
    if (!r) return;
    r->type = request;
    r->param = place;  // home row, the bobbing balls swing around it
    r->row = static_cast<float>(place);
    r->col = 29;
    r->vcol = 1.0f;
    if (request >= -7 && request <= -3) r->vrow = -1.0f;
    r->alive = 1;
    return;
  }
  switch (request) {
    case 0:
      walker(1, place);
      return;
    case 1:
      walker(2, place);
      return;
    case 2:
    case 3:
      walker(2 * request - 1, place);
      return;
    case 4: {
      // A drifter. The draws come first so that a full table changes nothing else.
      const float row = place <= 4 ? 5.0f : place > 30 ? 30.0f : static_cast<float>(place);
      float col = 29;
      if (place == 11 || place == 25) col = static_cast<float>(29 - con::rand() % 20);
      float vrow, vcol;
      // Only a draw of 24 for the column speed (0.8f, just above the double 0.8) ends this.
      do {
        vrow = static_cast<float>((con::rand() % 21 - 10) / 30.0);
        vcol = static_cast<float>((con::rand() % 25) / 30.0);
      } while (vrow <= 0.8 && vcol <= 0.8);
      if (con::rand() % 50 == 0) vrow = 0;  // now and then a straight runner
      Obj* r = new_record();
      if (!r) return;
      r->type = 6;
      r->row = row;
      r->col = col;
      r->vrow = vrow;
      r->vcol = vcol;
      r->alive = 1;
      return;
    }
    default:
      return;
  }
}

void CpGuai(int request, float row, float col, float vrow, float vcol) {
  int type;
  if (request == 4)
    type = 6;
  else if (request >= 6 && request <= 8)
    type = request + 4;
  else
    return;
  Obj* r = new_record();
  if (!r) return;
  r->type = type;
  r->row = row;
  r->col = col;
  r->vrow = vrow;
  r->vcol = vcol;
  r->alive = 1;
}

void MesGuai(int request, int odds) {
  if (odds <= 0) return;  // no chance to draw from
  if (con::rand() % odds != 0) return;
  switch (request) {
    case 1:
      Guai(1, 10 + 2 * (con::rand() % 8));
      return;
    case 0:
    case 2:
    case 3:
      Guai(request, 10 + con::rand() % 16);
      return;
    case 4:
      Guai(4, con::rand() % 75 - 20);
      return;
    default:
      return;
  }
}

namespace {

// t in [from, to] and on the grid from, from + step, ...
bool every(int t, int step, int from, int to) {
  return t >= from && t <= to && (t - from) % step == 0;
}

void family1(int t) {
  auto rows = [](std::initializer_list<int> rs) {
    for (int r : rs) Guai(0, r);
  };
  if (t == 1 || t == 41) rows({15, 17, 19});
  if (t == 21 || t == 61) rows({21, 23, 25});
  if (t == 81) rows({11, 13, 15, 17, 19});
  if (t == 101 || t == 141) rows({17, 19, 21, 23, 25});
  if (t == 121) rows({15, 17, 19, 21, 23});
  if (every(t, 10, 160, 260)) Guai(0, t / 10 - 1);
  if (every(t, 10, 270, 370)) Guai(0, 52 - t / 10);
  if (every(t, 10, 460, 560)) rows({t / 10 - 37, t / 10 - 36, t / 10 - 35});
  if (every(t, 10, 570, 670)) rows({78 - t / 10, 77 - t / 10, 76 - t / 10});
  if (every(t, 10, 760, 960)) rows({t / 10 - 66, t / 10 - 65, 103 - t / 10, 104 - t / 10});
  if (t >= 1000 && t <= 1300) MesGuai(0, 30 - t / 50);
}

void family2(int t) {
  if (t >= 1 && t <= 200 && t % 30 == 1) {
    // A column of four with one gap; row 13 is never the gap.
    static const int col_rows[4] = {9, 13, 17, 21};
    const int r = con::rand() % 4;
    const int gap = r <= 1 ? 0 : r;
    for (int k = 0; k < 4; ++k)
      if (k != gap) Guai(1, col_rows[k]);
  }
  if (t >= 201 && t <= 220 && t % 5 == 1) Guai(1, 18);
  if (t >= 221 && t <= 300 && t % 7 == 1) Guai(1, t / 5 - 26);
  if (t >= 351 && t <= 370 && t % 5 == 1) Guai(1, 22);
  if (t >= 371 && t <= 450 && t % 7 == 1) Guai(1, 96 - t / 5);
  if (t == 461 || t == 501 || t == 541)
    for (int r : {13, 17, 21}) Guai(1, r);
  if (t == 481 || t == 521 || t == 561)
    for (int r : {17, 21, 25}) Guai(1, r);
  if (t >= 561 && t <= 861 && t % 20 == 1) Guai(1, t / 40 + 5);
  if (t >= 561 && t <= 861 && t % 20 == 11) Guai(1, 35 - t / 40);
  if (t >= 801 && t <= 961 && t % 15 == 1) Guai(1, 20);
  if (t >= 1000 && t <= 1300) MesGuai(1, 30 - t / 50);
}

void family3(int t) {
  if (t == 1 || t == 61) {
    Guai(3, 15);
    Guai(2, 17);
    Guai(2, 19);
  }
  if (t == 31 || t == 91) {
    Guai(2, 21);
    Guai(2, 23);
    Guai(3, 25);
  }
  if (every(t, 10, 120, 220)) Guai(2, t / 10 + 3);
  if (every(t, 10, 240, 340)) Guai(2, 49 - t / 10);
  if (every(t, 20, 360, 460)) {
    Guai(2, t / 10 - 21);
    Guai(2, 61 - t / 10);
  }
  if (every(t, 20, 480, 580)) {
    Guai(3, t / 10 - 33);
    Guai(3, 73 - t / 10);
  }
  if (every(t, 30, 600, 720)) Guai(3, 10 + (t - 600) / 10);
  if (every(t, 20, 840, 900) || every(t, 10, 910, 970)) Guai(2, static_cast<int>(X));
  if (t >= 1000 && t <= 1300) {
    const int request = 2 + con::rand() % 2;
    MesGuai(request, 40 - t / 50);
  }
}

void flyer(float row, float col, float vrow, float vcol) {
  CpGuai(4, row, col, vrow, vcol);
}

void family4(int t) {
  switch (t) {
    case 1:
      flyer(10, 29, -0.4f, 0.7f);
      flyer(14, 29, -0.2f, 0.7f);
      flyer(21, 29, 0, 0.65f);
      break;
    case 41:
      flyer(10, 29, -0.2f, 0.7f);
      flyer(14, 29, -0.1f, 0.7f);
      flyer(18, 29, 0, 0.65f);
      break;
    case 81:
      flyer(5, 20, -0.4f, 0.35f);
      flyer(10, 29, -0.4f, 0.7f);
      flyer(14, 29, -0.2f, 0.7f);
      flyer(30, 20, 0.25f, 0.4f);
      flyer(21, 29, 0, 0.65f);
      break;
    case 121:
      flyer(5, 20, -0.2f, 0.35f);
      flyer(10, 29, -0.2f, 0.7f);
      flyer(14, 29, -0.1f, 0.7f);
      flyer(30, 20, 0.4f, 0.4f);
      flyer(18, 29, 0, 0.65f);
      break;
    case 161:
      flyer(10, 29, -0.4f, 0.7f);
      flyer(14, 29, -0.2f, 0.7f);
      flyer(21, 29, 0, 0.6f);
      flyer(10, 29, -0.2f, 0.7f);
      flyer(14, 29, -0.1f, 0.7f);
      flyer(18, 29, 0, 0.65f);
      break;
    default:
      break;
  }
  if (t >= 200 && t <= 500 && t % 40 == 1)
    for (int row : {10, 13, 16, 19, 22})
      flyer(static_cast<float>(row), 29, 0, static_cast<float>((con::rand() % 50) / 80.0 + 0.5));
  if (t >= 541 && t <= 565 && t % 5 == 1) flyer(5, 8, -2, 0.2f);
  if (t >= 591 && t <= 615 && t % 5 == 1) flyer(30, 8, 1.5f, 0.2f);
  if (t >= 641 && t <= 665 && t % 5 == 1) flyer(5, 8, -1.5f, 0.3f);
  if (t >= 691 && t <= 715 && t % 5 == 1) flyer(30, 8, 2, 0.3f);
  if (t >= 750 && t <= 950 && t % 20 == 1)
    for (int base : {12, 17, 22}) {
      const float v = static_cast<float>((con::rand() % 50) / 200.0 + 0.5);
      const int row = base + con::rand() % 3;
      flyer(static_cast<float>(row), 29, 0, v);
    }
  if (t >= 1000 && t <= 1300) MesGuai(4, 5);
}

}  // namespace

void NorGuai(int family, int t) {
  switch (family) {
    case 1:
      family1(t);
      break;
    case 2:
      family2(t);
      break;
    case 3:
      family3(t);
      break;
    case 4:
      family4(t);
      break;
    default:
      break;
  }
}

}  // namespace parkour
