// Golden screens of seeded parkour runs with a scripted player: each monster family's wave at
// several ticks, each boss and its attacks, the final stage, the talent screen, the loss and the
// win. The runs are played through the headless backend from the game's entry.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "golden.hpp"
#include "parkour/harness.hpp"

using namespace parkour;
using namespace parkour_test;

namespace {

constexpr int kDelay[8] = {55, 50, 35, 40, 25, 30, 20, 17};

// An arrow pressed at tick `t` and held for `ticks` ticks.
struct Press {
  int t;
  int vk;
  int ticks = 1;
};

// Holds the arrows of the script that start in the next tick.
void press(Game& g, const std::vector<Press>& script) {
  const int64_t now = g.h.now();
  for (const Press& p : script)
    if (T + 1 == p.t) g.h.hold(p.vk, now, now + int64_t{kDelay[Win]} * (p.ticks - 1) + 1);
}

// One scripted run: the generator at `seed`, the script's keys, `step` after every tick (it may
// end the run by throwing con::Exit). The player is kept at full health while `mortal` is false.
void play(unsigned seed, Game& g, const std::vector<Press>& script,
          const std::function<void()>& step, const std::function<bool()>& mortal = nullptr) {
  con::set_seed_override(seed);
  g.frame = [&](con::Headless&) {
    step();
    if (!mortal || !mortal()) Blo = static_cast<float>(Blomax);
    press(g, script);
  };
  g.run();
  con::set_seed_override(std::nullopt);
}

// A ball of a power (goods type -3 to -7) or another good thrown in at the right edge.
void throw_in(int type, int row) {
  Guai(type, row);
}

const int kUp = con::VK_UP, kDown = con::VK_DOWN, kLeft = con::VK_LEFT, kRight = con::VK_RIGHT;

}  // namespace

// Family 1: the dots stop at column 25, step back and charge. The player jumps, jumps again in
// the air, drops below the line and climbs back, holds right; a fire ball sends fireballs.
TEST(ParkourScreens, FamilyOneDotsAndFire) {
  golden::Film film("parkour/family1");
  Game g;
  const std::vector<Press> script = {{20, kUp}, {24, kUp},         {44, kDown},
                                     {58, kUp}, {120, kRight, 30}, {160, kUp}};
  play(3, g, script, [&] {
    EXPECT_EQ(L, 1);
    if (T == 60) throw_in(-3, 18);
    if (T == 26) film.shot("double_jump", "tick 26: a double jump over the first dots");
    if (T == 47) film.shot("dropped", "tick 47: dropped below the line");
    if (T == 90) film.shot("fire", "tick 90: the fire ball taken, fireballs on the dots");
    if (T == 140) film.shot("held_right", "tick 140: the right arrow held for 20 ticks");
    if (T == 475) film.shot("blocks", "tick 475: blocks of three dots coming down");
    if (T == 1120) throw con::Exit{0};
  });
  EXPECT_EQ(film.taken().size(), 5u);
}

// Family 2: columns of spinners with a gap. The player jumps through, holds left, takes a water
// ball; at the end it is left to the spinners and loses: the loss screen and the replay.
TEST(ParkourScreens, FamilyTwoSpinnersWaterAndALoss) {
  golden::Film film("parkour/family2");
  Game g;
  const std::vector<Press> script = {
      {28, kUp}, {33, kUp}, {70, kLeft, 15}, {150, kDown}, {175, kUp}};
  bool lost = false;
  g.sleep = [&](con::Headless&) {
    if (!lost && D == 1) {
      lost = true;
      film.shot("game_over", "the loss: GAME OVER on the console recoloured 7F");
    }
  };
  play(
      1, g, script,
      [&] {
        EXPECT_EQ(L, 2);
        if (D == 0 && T == 75) throw_in(-4, 18);
        if (D == 0 && T == 36) film.shot("through_the_gap", "tick 36: jumping through a gap");
        if (D == 0 && T == 84) film.shot("held_left", "tick 84: the left arrow held");
        if (D == 0 && T == 140) film.shot("water", "tick 140: the water spray");
        if (D == 0 && T == 580) film.shot("lines", "tick 580: two lines of spinners");
        if (D == 1) {
          film.shot("replay", "the wave replayed from its first tick, one death counted");
          throw con::Exit{0};
        }
      },
      [] { return T > 1000; });
  EXPECT_EQ(film.taken().size(), 6u);
}

// Family 3: turrets that stop, blink and fire beams. A wind ball blinks on its way in, blows
// the player across the field and strikes.
TEST(ParkourScreens, FamilyThreeTurretsBeamsAndWind) {
  golden::Film film("parkour/family3");
  Game g;
  const std::vector<Press> script = {{44, kUp}, {46, kUp}, {80, kDown}, {88, kUp}};
  play(5, g, script, [&] {
    EXPECT_EQ(L, 3);
    if (T == 95) throw_in(-5, 18);
    if (T == 42) film.shot("turrets", "tick 42: turrets in place, blinking");
    if (T == 49) film.shot("beams", "tick 49: the first beams over a double jump");
    if (T == 99) film.shot("wind_ball", "tick 99: the wind ball blinks in colour 1");
    if (T == 130) film.shot("wind", "tick 130: blown to the right edge by the wind");
    if (T == 130) throw con::Exit{0};
  });
  EXPECT_EQ(film.taken().size(), 4u);
}

// Family 4: drifters. Crossing diagonals, a rain at column 8, rows of three; a magnet pulls the
// coins and a thunder ball guards the player.
TEST(ParkourScreens, FamilyFourDriftersMagnetAndThunder) {
  golden::Film film("parkour/family4");
  Game g;
  const std::vector<Press> script = {{90, kUp}, {93, kUp}, {560, kDown}, {575, kUp}};
  play(4, g, script, [&] {
    EXPECT_EQ(L, 4);
    if (T == 60) throw_in(-7, 18);
    if (T == 520) throw_in(-6, 18);
    if (T == 86) film.shot("magnet", "tick 86: the magnet taken, the coins fly to the player");
    if (T == 94) film.shot("diagonals", "tick 94: a double jump among crossing drifters");
    if (T == 566) film.shot("rain", "tick 566: drifters falling at column 8, thunder on");
    if (T == 805) film.shot("rows", "tick 805: rows of three at their drawn rows and speeds");
    if (T == 805) throw con::Exit{0};
  });
  EXPECT_EQ(film.taken().size(), 4u);
}

namespace {

// A moment taken the first time its condition holds after a tick.
struct Moment {
  const char* name;
  const char* what;
  std::function<bool()> when;
};

// Wave 1 against `boss` (the seed's draw, checked): wave 0 is cut to two ticks, the boss is
// kept at full health until every moment is taken, the player jumps now and then. `extra` runs
// after every tick of the boss wave. Then the boss falls, and the talent screen comes. With
// `firsts`, the flash at the wave's start and the talent screen are filmed too.
void boss_wave(unsigned seed, int boss, golden::Film& film, const std::vector<Moment>& moments,
               const std::function<void()>& extra, bool firsts) {
  Game g;
  std::vector<bool> taken(moments.size());
  size_t left = moments.size();
  int64_t before = 0;
  g.sleep = [&](con::Headless& hh) {
    const int64_t ms = hh.now() - before;
    before = hh.now();
    if (Win != 1 || T != 1400) return;
    // The boss wave begins: a flash of 20 ms, then the boss drawn where it starts for a second.
    if (firsts && ms == 20) film.shot("flash", "the boss wave begins: color 4C for 20 ms");
    if (ms == 1000) film.shot("appears", "then the boss drawn at its start in the hurt colour");
  };
  g.wait = [&](con::Headless& hh) {
    if (firsts) film.shot("talent", "the talent screen after the boss, waiting for y or n");
    hh.key('y', hh.now());
  };
  play(seed, g, {}, [&] {
    if (Win == 0 && T == 1) T = 1399;
    if (Win == 2) throw con::Exit{0};
    if (Win != 1) return;
    ASSERT_EQ(Boss, boss);
    if (T % 40 == 5 || T % 80 == 9) g.hold_next(kUp);
    if (extra) extra();
    for (size_t k = 0; k < moments.size(); ++k)
      if (!taken[k] && moments[k].when()) {
        taken[k] = true;
        --left;
        film.shot(moments[k].name, moments[k].what);
      }
    Bblo = left == 0 || T > 1400 + 5000 ? 0 : Bblomax;
  });
  for (size_t k = 0; k < moments.size(); ++k) EXPECT_TRUE(taken[k]) << moments[k].name;
  const auto& all = film.taken();
  EXPECT_EQ(all.size(), moments.size() + (firsts ? 3 : 1));
  EXPECT_EQ(all[0], firsts ? "flash" : "appears");
  EXPECT_EQ(Win, 2);
}

}  // namespace

// Boss 1: roams, spawns drifters, fires homing and bursting shots, aims its lightning, dashes.
TEST(ParkourScreens, BossOneAndItsAttacks) {
  golden::Film film("parkour/boss1");
  int fired = 0;
  boss_wave(
      2, 1, film,
      {{"spawn", "drifters out of the boss", [] { return Bwhat1 == 2 && Bgo1[1] == 8; }},
       {"homing", "homing shots after the player", [] { return Bwhat1 == 3 && Bgo1[1] == 14; }},
       {"burst", "bursting shots, darts on their way", [] { return Bwhat1 == 6 && Bgo1[1] == 24; }},
       {"sight", "the spark climbs, the sight on the player",
        [] { return Bwhat1 == 4 && Bgo1[1] == 9; }},
       {"lightning", "the lightning from the spark through the sight", [&] { return fired == T; }},
       {"dash", "dashing, its trail painted", [] { return Bwhat1 == 5 && Bgo1[2] == 3; }}},
      [&] {
        if (Bwhat1 == 6 && Bgo1[1] == 20) Biao = 3;
        if (Bwhat1 == 4 && Bgo1[1] == 10) fired = T + 1;
      },
      true);
}

// Boss 2: the player's home is column 12.25. Three-point strike, laser, volley of bouncers.
TEST(ParkourScreens, BossTwoAndItsAttacks) {
  golden::Film film("parkour/boss2");
  int struck = 0, lasered = 0;
  boss_wave(
      3, 2, film,
      {{"markers", "three markers fly to the strike points",
        [] { return Bwhat2 == 2 && Bgo2[1] == 6; }},
       {"strike", "the strike: a cross through each point", [&] { return struck == T; }},
       {"warning", "the laser's warning marks around the player",
        [] { return Bwhat2 == 3 && Bgo2[1] == 10; }},
       {"laser", "the laser fired", [&] { return lasered == T; }},
       {"volley", "bouncing shots on the player", [] { return Bwhat2 >= 4 && Bgo2[1] == 20; }}},
      [&] {
        if (Bwhat2 == 2 && Bgo2[1] == 20) struck = T + 1;
        if (Bwhat2 == 3 && Bgo2[1] == 24) lasered = T + 1;
      },
      false);
}

// Boss 3 follows the player's row: three lanes of shots, single shots of each kind, the taunt.
TEST(ParkourScreens, BossThreeAndItsAttacks) {
  golden::Film film("parkour/boss3");
  int lanes = 0;
  auto kinds = [] {
    int seen = 0;
    for (int k = bl; k <= br; ++k)
      if (B[k].alive && B[k].type >= 13 && B[k].type <= 17) seen |= 1 << (B[k].type - 13);
    return seen;
  };
  boss_wave(
      1, 3, film,
      {{"lanes", "a three-lane shot in its lanes", [&] { return lanes == T; }},
       {"shots", "its shots of types 16 and 17 on the field", [&] { return (kinds() & 24) == 24; }},
       {"taunt", "the taunt banner", [] { return Bwhat3 == 11 && Bgo3[1] == 14; }}},
      [&] {
        if ((Bwhat3 == 1 || Bwhat3 == 7 || Bwhat3 == 8) && Bgo3[1] == 5) lanes = T + 6;
      },
      false);
}

// Every wave but the last cut short (a talent taken on the way): the last monster wave's end,
// the final stage against all three bosses with its clock, and the win.
TEST(ParkourScreens, FinalStageAndTheWin) {
  golden::Film film("parkour/final");
  Game g;
  int offers = 0;
  g.wait = [&](con::Headless& hh) { hh.key(offers++ == 0 ? 'y' : 'n', hh.now()); };
  int64_t before = 0;
  g.sleep = [&](con::Headless& hh) {
    const int64_t ms = hh.now() - before;
    before = hh.now();
    if (Win == 6 && ms == 2000) {
      film.shot("hold_out", "the last monster wave won: hold out for 30 seconds");
    }
  };
  // Talent 5 is taken: a second down arrow below the line dives.
  const std::vector<Press> script = {{40, kUp},  {44, kUp},         {120, kDown}, {124, kDown},
                                     {150, kUp}, {200, kRight, 20}, {320, kUp},   {322, kUp}};
  play(7, g, {}, [&] {
    if (Win < 7) {
      if (Win % 2 == 0 && T == 1) T = 1399;
      if (Win % 2 == 1) Bblo = 0;
      return;
    }
    if (Boss != 6) return;
    press(g, script);
    Bblo = Bblomax;  // the clock ends this wave
    if (T == 60) film.shot("three_bosses", "tick 60 of the final stage: all three bosses");
    if (T == 128) film.shot("dive", "tick 128 of the final stage: diving below the lower level");
    if (T == 333) film.shot("late", "tick 333 of the final stage");
  });
  EXPECT_TRUE(g.returned);
  film.shot("you_win", "the win, after the game returned");
  EXPECT_EQ(offers, 3);
  EXPECT_EQ(Ren, 5);
  EXPECT_EQ(film.taken().size(), 5u);
}
