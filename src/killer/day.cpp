#include "console/console.hpp"
#include "killer/killer.hpp"
#include "killer/table.hpp"

namespace killer {
namespace {

void vote_line(long long a, long long b) {
  con::printf("%*s%lld->%lld\n", 36, "", a, b);
}

// A computer seat's vote, by its role's rule. A seat that no rule allows casts none.
void computer_vote(long long s) {
  const long long r = game.role[s];
  auto other = [s](long long t) { return game.living[t] != 0 && t != s; };
  if (r == KILLER) {
    long long t = draw_seat([&](long long t) { return other(t) && game.role[t] != KILLER; });
    if (t == 0) return;
    game.votes[t] += 1;
    vote_line(s, t);
    if (game.role[t] == CIVILIAN) game.voter[t] = s;
    return;
  }
  if (r == SEER) {
    // A seat either seer found to be a civilian is spared, even after that seer died.
    long long t = draw_seat([&](long long t) { return other(t) && game.seen[t] != 3; });
    if (t == 0) return;
    game.votes[t] += 1;
    if (game.role[t] == CIVILIAN) game.voter[t] = s;
    vote_line(s, t);
    return;
  }
  if (r == CIVILIAN) {
    // A civilian answers the last recorded vote against him while that voter lives.
    long long v = game.voter[s];
    if (v != 0 && game.living[v] == 1) {
      game.votes[v] += 1;
      vote_line(s, v);
      return;
    }
  }
  long long t = draw_seat(other);
  if (t == 0) return;
  game.votes[t] += 1;
  vote_line(s, t);
}

void human_vote() {
  con::printf("\n%*s你选择投几号\n", 33, "");
  long long v = 47;
  while (v == 47) {
    long long t = 0;
    if (!con::read_ll(t) || ((t < 1 || t > 15) && t != 47)) {
      seat_wanted();
      continue;
    }
    v = t;
    if (v == 47) {
      for (long long j = 1; j <= 15; ++j) {
        if (game.living[j] == 1) con::printf("%*s%lld.%lld\n", 36, "", j, game.role[j]);
      }
    }
  }
  const long long me = game.me;
  game.votes[v] += (game.role[me] == CIVILIAN && game.night > 4) ? 1.5L : 1.0L;
  con::print("\n");
  vote_line(me, v);
  if (game.role[v] == CIVILIAN) game.voter[v] = me;
}

}  // namespace

bool run_day() {
  con::printf("%*s存活：\n", 36, "");
  con::printf("%*s", 23, "");
  print_living();
  con::print("\n");
  con::printf("%*s请投票....\n", 36, "");

  for (long long s = 1; s <= 15; ++s) {
    if (s == game.me) {
      human_vote();
    } else if (game.living[s] == 1) {
      computer_vote(s);
    }
  }

  con::system("cls");
  con::printf("%*s投票情况：\n", 33, "");
  for (long long j = 1; j <= 15; ++j) {
    if (game.living[j] == 1) con::printf("%*s%lld号  票数：%Lg\n", 33, "", j, game.votes[j]);
  }
  // The most votes dies; a tie goes to the lowest seat, dead seats included.
  long long x = 1;
  for (long long j = 2; j <= 15; ++j) {
    if (game.votes[j] > game.votes[x]) x = j;
  }
  game.living[x] = 0;
  con::printf("%*s%lld死了\n", 34, "", x);
  --game.left;
  con::printf("%*s%lld号的身份是%s\n", 30, "", x, word(game.role[x]));
  if (game.role[x] == KILLER && game.role[game.me] != KILLER) {
    killer_dead(false);
    return false;
  }
  con::system("pause");
  return true;
}

}  // namespace killer
