// The killer game, entered from the launcher's choice 3: its menu, then one 15-seat game.
// After that game the program ends.
#pragma once

namespace killer {

// Role codes; the code is also what the human sees in the hidden listings.
constexpr long long KILLER = 1;
constexpr long long SEER = 2;
constexpr long long CIVILIAN = 3;
constexpr long long MAGE = 4;

// The tables of one game. Seats are 1..15; every table is indexed by seat number directly.
struct Table {
  long long role[20];
  long long living[20];   // 1 alive, 0 dead
  long long seen[20];     // what the computer seers found: 0 nothing, 1 the killer, 3 a civilian
  long long voter[20];    // for a civilian: the last recorded voter against it
  long double votes[20];  // the current day's votes
  long long me;           // the human's seat
  long long left;         // the living count: a counter of its own, see the end test
  long long night;
  long long poison, revive;  // the human mage's stocks
  long long aipoison;        // the computer mages' poisons, shared by all of them
  bool aisave;               // the computer mages' single revival, shared too
};

// The killer's seat; the only state kept beyond one game.
extern long long sr;
extern Table game;

// Back to the fresh-program state: empty tables, no killer seat.
void reset();

void menu();
// One whole game: setup, then nights and days until it ends with the game-over line.
void brc();

// The phases of brc, open for tests. Each returns false when it has ended the game.
void setup();
bool run_night();
bool run_day();

}  // namespace killer
