#include <cstring>

#include "parkour/world.hpp"

namespace parkour {

float X, Y, Vx, Vy, Ding, Blo;
int Blomax;
float Hui;
int Exp, Expmax, Lv, Lvl, Ren, Up, Down, Upt, u1, u2, Li, Kill, Killb, Ice, Drug, Sy;

int Win, T, D, L;
int Ll[4];
int Boss;
int Bl[4];
int Bblo, Bblomax;

int Fire, Fir, Water, Wind, Thun, Magne, Biao;

int Bwhat1, Bwhat2, Bwhat3;
int Bgo1[10], Bgo2[10], Bgo3[10];
float Bx1, By1, Bx2, By2, Bx3, By3;
float Bvx1, Bvy1, Bvx2, Bvy2, Bvx3, Bvy3;
float Bway[kTrail][2];
int Bbl, Bbr;

int Dis, Dis1, Disb, Disb1;

int I[20][2];
int ib;

int Gd[10];

Obj B[kRecords];
int bl, br;

namespace {
// Highest record index written since the table was last emptied: emptying clears only these.
int used_hi = -1;
}  // namespace

void clear_table() {
  if (used_hi >= 0) std::memset(B, 0, sizeof(Obj) * static_cast<size_t>(used_hi + 1));
  used_hi = -1;
  bl = 0;
  br = -1;
}

Obj* new_record() {
  if (br + 1 >= kRecords || br + 1 < 0) return nullptr;
  ++br;
  if (br > used_hi) used_hi = br;
  B[br] = Obj{};
  return &B[br];
}

void reset() {
  X = Y = Vx = Vy = Ding = Blo = 0;
  Blomax = 0;
  Hui = 0;
  Exp = Expmax = Lv = Lvl = Ren = Up = Down = Upt = u1 = u2 = Li = Kill = Killb = Ice = Drug = Sy =
      0;
  Win = T = D = L = 0;
  std::memset(Ll, 0, sizeof Ll);
  Boss = 0;
  std::memset(Bl, 0, sizeof Bl);
  Bblo = Bblomax = 0;
  Fire = Fir = Water = Wind = Thun = Magne = Biao = 0;
  Bwhat1 = Bwhat2 = Bwhat3 = 0;
  std::memset(Bgo1, 0, sizeof Bgo1);
  std::memset(Bgo2, 0, sizeof Bgo2);
  std::memset(Bgo3, 0, sizeof Bgo3);
  Bx1 = By1 = Bx2 = By2 = Bx3 = By3 = 0;
  Bvx1 = Bvy1 = Bvx2 = Bvy2 = Bvx3 = Bvy3 = 0;
  std::memset(Bway, 0, sizeof Bway);
  Bbl = Bbr = 0;
  Dis = Dis1 = Disb = Disb1 = 0;
  std::memset(I, 0, sizeof I);
  ib = 0;
  std::memset(Gd, 0, sizeof Gd);
  used_hi = kRecords - 1;  // a fresh program has every record zeroed: clear them all once
  clear_table();
  bl = br = 0;
  forget_shown();
}

}  // namespace parkour
