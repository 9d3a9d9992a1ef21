#include <cstring>

#include "console/console.hpp"
#include "killer/killer.hpp"
#include "killer/table.hpp"

namespace killer {

long long sr = 0;
Table game;

void reset() {
  std::memset(&game, 0, sizeof game);
  sr = 0;
}

const char* word(long long role) {
  switch (role) {
    case KILLER:
      return "杀手";
    case SEER:
      return "预言家";
    case CIVILIAN:
      return "平民";
    case MAGE:
      return "法师";
    default:
      return "";
  }
}

void print_tag(long long seat) {
  con::printf("(%s)", word(game.role[seat]));
}

void print_living() {
  for (long long j = 1; j <= 15; ++j) {
    if (game.living[j] == 1) con::printf("%lld ", j);
  }
}

void seat_wanted() {
  con::printf("%*s请输入1到15之间的号码\n", 30, "");
}

long long read_seat() {
  for (;;) {
    long long t = 0;
    if (con::read_ll(t) && t >= 1 && t <= 15) return t;
    seat_wanted();
  }
}

void game_over() {
  con::printf("%*s\t游戏结束\n", 26, "");
}

void killer_dead(bool variant_b) {
  con::printf("\n\t\t\t\t\t\t\t   %lld号是杀手！\n", sr);
  con::print(variant_b ? "\t\t\t\t\t\t\t\t" : "\t\t\t\t\t\t");
  con::print("杀手已死亡！\n");
  game_over();
}

void setup() {
  con::system("cls");
  con::srand(static_cast<unsigned>(con::time()));
  std::memset(&game, 0, sizeof game);
  game.me = con::rand() % 15 + 1;
  con::printf("%*s你是%lld号\n", 32, "", game.me);
  con::printf("%*s正在分配身份\n", 31, "");
  con::Sleep(1500);

  for (long long s = 1; s <= 15; ++s) game.living[s] = 1;
  // Seat by seat, a drawn role is taken while its cap is not reached; the caps add up to 15.
  int killers = 0, seers = 0, mages = 0, civilians = 0;
  for (long long s = 1; s <= 15; ++s) {
    for (;;) {
      long long x = con::rand() % 4 + 1;
      if (x == KILLER && killers < 1) {
        ++killers;
        sr = s;
      } else if (x == SEER && seers < 2) {
        ++seers;
      } else if (x == MAGE && mages < 3) {
        ++mages;
      } else if (x == CIVILIAN && civilians < 9) {
        ++civilians;
      } else {
        continue;
      }
      game.role[s] = x;
      break;
    }
  }
  con::printf("%*s你是>>%s<<\n", 31, "", word(game.role[game.me]));

  game.left = 15;
  game.revive = game.aipoison = game.poison = 3;
  game.night = 1;
  game.aisave = true;
}

void brc() {
  setup();
  for (;;) {
    if (!run_night()) return;
    if (game.living[game.me] == 0) {
      con::printf("%*s你已经>>死<<了", 29, "");
      game_over();
      return;
    }
    if (!run_day()) return;
    ++game.night;
    con::print("\n");
    if (game.left > 1 && game.living[game.me] == 1) continue;
    if (game.role[game.me] == KILLER && game.living[game.me] == 1) {
      con::print("\t\t\t\t\t\t\t\t你杀掉了所有人！！！\n");
    }
    game_over();
    return;
  }
}

}  // namespace killer
