// Helpers the killer game's phases share: role words, the lists they write, seat reads and
// seat draws.
#pragma once

#include "console/console.hpp"
#include "killer/killer.hpp"

namespace killer {

// "杀手", "预言家", "平民" or "法师"; empty for a code that is no role.
const char* word(long long role);
// "(杀手)" and so on: the tag of a seat in the death reports.
void print_tag(long long seat);
// Every living seat followed by one space, no line break.
void print_living();

// Reads a seat number from 1 to 15, asking again after anything else.
long long read_seat();
// Says that a seat from 1 to 15 is wanted.
void seat_wanted();

// Draws seats with rand() % 15 + 1 until `ok` holds. When no seat can meet it, draws nothing
// and returns 0, so the draw always ends.
template <class Ok>
long long draw_seat(Ok ok) {
  bool any = false;
  for (long long t = 1; t <= 15; ++t) any = any || ok(t);
  if (!any) return 0;
  for (;;) {
    long long t = con::rand() % 15 + 1;
    if (ok(t)) return t;
  }
}

// The end screens: the game-over line, and the killer-dead screen (variant B only when a
// computer mage's poison killed the killer) followed by it.
void game_over();
void killer_dead(bool variant_b);

}  // namespace killer
