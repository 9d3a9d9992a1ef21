// The parkour game's whole world: plain globals that every routine of the game reads and
// writes directly, and the routines that share them.
//
// Coordinates: (row, col) floats. `row` is the console row; one unit of `col` is two console
// columns, so the field spans col 0 to 30 on the 60-column console. Rows grow downward: the
// ground line is row 20, the player stands on row 18 (upper level) or 22 (lower level).
#pragma once

namespace parkour {

// One record of the object table `B`.
struct Obj {
  float row;
  float col;
  float vrow;   // row -= vrow per tick
  float vcol;   // col -= vcol per tick: positive moves left, toward the player
  int type;     // < 0 goods and darts, 1..17 monsters and shots, >= 98 boss parts
  int param;    // goods: home row; fireballs: target; the target search skips param != 0
  int counter;  // ticks lived
  int sub;      // variant or phase, per type
  int alive;
  bool hit;  // has hurt the player: no further contact damage
};

constexpr int kRecords = 100001;
constexpr int kTrail = 1008;
constexpr int kNone = 13880087;        // no target found
constexpr int kBossTarget = 13880086;  // a fireball aimed at the boss

// Player and progress.
extern float X, Y, Vx, Vy, Ding, Blo;
extern int Blomax;
extern float Hui;
extern int Exp, Expmax, Lv, Lvl, Ren, Up, Down, Upt, u1, u2, Li, Kill, Killb, Ice, Drug, Sy;

// Waves and time.
extern int Win, T, D, L;
extern int Ll[4];
extern int Boss;
extern int Bl[4];
extern int Bblo, Bblomax;

// Effects.
extern int Fire, Fir, Water, Wind, Thun, Magne, Biao;

// Bosses.
extern int Bwhat1, Bwhat2, Bwhat3;
extern int Bgo1[10], Bgo2[10], Bgo3[10];
extern float Bx1, By1, Bx2, By2, Bx3, By3;
extern float Bvx1, Bvy1, Bvx2, Bvy2, Bvx3, Bvy3;
extern float Bway[kTrail][2];
extern int Bbl, Bbr;

// Target search, written by the object pass, read by the fire power.
extern int Dis, Dis1, Disb, Disb1;

// Water drops: (row, col), (-1, -1) when free; `ib` is the slot written last.
extern int I[20][2];
extern int ib;

// Goods generator state.
extern int Gd[10];

// The object table and its live window [bl, br].
extern Obj B[kRecords];
extern int bl, br;

// Back to the fresh-program state (all zero), for tests.
void reset();
// The scene forgets what it last drew around the player (part of reset).
void forget_shown();
// The next record at br + 1, zeroed, with br raised; nullptr when the table is full (the
// object is then simply not created).
Obj* new_record();
// Zeroes the records that were used and empties the table (bl = 0, br = -1).
void clear_table();

// The game's routines.
void Map(int mode, int arg);                          // scene drawing
void Move();                                          // player and object pass
void Pan(int mode, float row, float col, int index);  // contact judgement
void Guai(int request, int place);                    // spawners
void CpGuai(int request, float row, float col, float vrow, float vcol);
void MesGuai(int request, int odds);
void NorGuai(int family, int t);  // monster wave scripts
void RandGood();                  // goods, darts, drops
void Ball(int mode);              // powers, talents, bars
void Boss1();
void Boss2();
void Boss3();
void Panboss(int row, int col);

}  // namespace parkour
