// Pan: what happens when one record touches the player. The player is three body points, and
// every test measures from the record's new position to each point in turn.
#include <algorithm>
#include <cmath>

#include "console/console.hpp"
#include "parkour/world.hpp"

namespace parkour {
namespace {

struct Point {
  float row, col;
};

constexpr Point kFar = {-10, -10};  // out of reach of everything

void body_points(Point p[3]) {
  if (Down == 0 && X >= 18) {
    p[0] = {X, Y}, p[1] = {X + 1, Y - 0.5f}, p[2] = {X - 1, Y - 0.5f};
  } else if (Down == 0) {
    p[0] = {X, Y}, p[1] = {X - 1, Y - 0.5f}, p[2] = kFar;
  } else if (Down == 1 && X == 22) {
    p[0] = {22, Y}, p[1] = {23, Y - 0.5f}, p[2] = {21, Y - 0.5f};
  } else if (Down == 1) {
    p[0] = {X, Y}, p[1] = {X - 1, Y - 0.5f}, p[2] = kFar;
  } else {
    p[0] = {X, Y}, p[1] = {X + 1, Y - 0.5f}, p[2] = kFar;
  }
}

bool near(const Point& p, float row, float col, float d) {
  return std::fabs(row - p.row) + std::fabs(col - p.col) < d;
}

void hit(Obj& r) {
  Killb = 20;
  Kill = 1;
  r.hit = true;
}

// The record leaves the table: its slot at the front of the window is passed at once.
void remove(Obj& r, int index) {
  r.alive = 0;
  if (index == bl) bl += 1;
  Map(3, index);
}

void pick_up(int type) {
  switch (type) {
    case -2:
      Exp += 5;
      Biao += 5;
      break;
    case -3:
      Fire = 300;
      Ice = 0;
      Fir = 3;
      break;
    case -4:
      Water = 200;
      break;
    case -5:
      Wind = 70;
      Ding = 28.25f;
      Ice = 0;
      Vy = Y < 27.25f ? 5.f : 0.f;
      if (Up > 0) Vx = -5;
      if (Down == 2) Vx = 5;
      break;
    case -6:
      Thun = 200;
      con::system("color 1F");
      con::Sleep(20);
      con::system("color 6F");
      con::Sleep(10);
      con::system("color 0F");
      break;
    case -7:
      Magne = 300;
      break;
    case -8:
      Ice = 0;
      Drug = 0;
      Blo = std::min(static_cast<float>(Blomax), Blo + 20);
      break;
    case -9:
      Exp = std::min(Expmax, Exp + 20);
      break;
  }
}

}  // namespace

void Pan(int mode, float row, float col, int index) {
  if (index < 0 || index >= kRecords) return;
  Obj& r = B[index];
  Point p[3];
  body_points(p);

  if (mode == -1) {
    for (const Point& q : p) {
      if (near(q, row, col, 1.5f)) {
        if (r.type == -10) Exp += 2;
        if (r.type == -11) Exp += 1;
        remove(r, index);
        break;
      }
    }
  } else if (mode == -2) {
    for (const Point& q : p) {
      if (near(q, row, col, 2.5f)) {
        pick_up(r.type);
        remove(r, index);
        break;
      }
    }
  }

  // Protection after a hit; the wind and the thunder sweep instead, so they ignore it.
  if (Wind == 0 && Thun == 0) {
    if (r.hit || Killb > 14 || (Ren == 1 && Killb > 0)) return;
  }

  for (const Point& q : p) {
    if ((Wind > 0 || Thun > 0) && near(q, row, col, 2.5f)) {
      if (r.type <= 97) Exp += 2;
      r.alive = 0;
      Map(3, index);
      return;
    }
    if (mode == 1) {
      if (std::fabs(row - q.row) < 0.5f && std::fabs(col - q.col) < 1) {
        hit(r);
        switch (r.type) {
          case 13:
          case 16:
            Blo -= 10;
            r.alive = 0;
            break;
          case 14:
            Blo -= 15;
            Ice = 100;
            r.alive = 0;
            break;
          case 15:
            Blo -= 20;
            Ice = 0;
            r.alive = 0;
            break;
          case 17:
            Blo -= 5;
            Drug = 100;
            r.alive = 0;
            break;
          default:
            Blo -= r.type > 98 ? 25 : 15;
            break;
        }
        Map(3, index);
        return;
      }
    } else if (mode == 2 || mode == 6 || (mode >= 8 && mode <= 12)) {
      if (near(q, row, col, 1.5f)) {
        hit(r);
        if (mode == 2) {
          Blo -= 20;
          return;
        }
        Blo -= mode == 8 ? 10 : 15;
        remove(r, index);
        return;
      }
    } else if (mode == 4) {
      bool along = q.col >= col - 8 && q.col <= col;
      if (Wind > 0 || Thun > 0) {
        if (along && std::fabs(row - q.row) < 1.5f) {
          if (r.type <= 97) Exp += 2;
          r.alive = 0;
          Map(3, index);
          return;
        }
      } else if (along && std::fabs(row - q.row) < 1) {
        hit(r);
        Blo -= 25;
        Vy = -1;
        Y -= 0.5f;
        return;
      }
    }
  }
}

}  // namespace parkour
