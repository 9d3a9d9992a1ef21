#include "console/console.hpp"
#include "killer/killer.hpp"
#include "killer/table.hpp"

namespace killer {
namespace {

enum class Pass { GoesOn, Cut, GameOver };

Pass computer_killer(long long s) {
  if (game.living[s] != 1) return Pass::GoesOn;
  long long t = draw_seat(
      [s](long long t) { return t != s && game.living[t] != 0 && game.role[t] != KILLER; });
  if (t == 0) return Pass::GoesOn;  // nobody left to kill
  con::printf("%*s杀手杀掉了%lld号", 27, "", t);
  print_tag(t);
  con::print("\n");
  --game.left;
  game.living[t] = 0;
  return Pass::Cut;
}

void computer_seer(long long s) {
  long long t = draw_seat([s](long long t) { return t != s && game.living[t] != 0; });
  if (t == 0) return;
  if (game.role[t] == KILLER) game.seen[t] = 1;
  if (game.role[t] == CIVILIAN) game.seen[t] = 3;
}

Pass computer_mage(long long s) {
  const bool may_revive = game.night > 1 && game.aisave;
  enum { Nothing, Poison, Revival } act = Nothing;
  if (game.aipoison > 0) {
    for (;;) {
      int c = con::rand() % 3 + 1;
      if (c == 3) break;
      if (c == 1) {
        act = Poison;
        break;
      }
      if (may_revive) {
        act = Revival;
        break;
      }
    }
  } else {
    for (;;) {
      int c = con::rand() % 3;
      if (c == 2) break;
      if (c == 1 && may_revive) {
        act = Revival;
        break;
      }
    }
  }

  if (act == Poison) {
    long long t = draw_seat([s](long long t) { return t != s && game.living[t] != 0; });
    if (t == 0) return Pass::GoesOn;  // nobody else alive: the poison is kept
    --game.aipoison;
    game.living[t] = 0;
    con::printf("%*s法师毒死了%lld号", 27, "", t);
    print_tag(t);
    con::print("\n");
    --game.left;
    if (t == sr && game.role[game.me] != KILLER) {
      killer_dead(true);
      return Pass::GameOver;
    }
  } else if (act == Revival) {
    long long t = draw_seat([s](long long t) { return t != s && game.living[t] != 1; });
    if (t == 0) return Pass::GoesOn;  // no other seat is dead: the revival is kept
    ++game.left;
    con::printf("%*s法师复活了%lld号\n", 27, "", t);
    game.living[t] = 1;
    game.aisave = false;
  }
  return Pass::GoesOn;
}

void human_killer() {
  con::printf("%*s你是杀手\n", 33, "");
  for (long long j = 1; j <= 15; ++j) {
    if (game.living[j] == 1 && j != game.me) con::printf("%lld ", j);
  }
  con::print("\n");
  con::printf("%*s你选择杀掉\n", 33, "");
  long long t = read_seat();
  game.living[t] = 0;
  con::printf("\n%*s杀手杀了%lld号", 33, "", t);
  print_tag(t);
  con::print("\n");
  --game.left;
}

void human_seer() {
  con::printf("%*s你是预言家\n", 33, "");
  con::printf("%*s", 31, "");
  print_living();
  con::print("\n");
  con::printf("%*s你选择预言谁的身份\n", 30, "");
  long long t = read_seat();
  if (game.role[t] == KILLER) {
    con::printf("%*s%lld号是杀手，请注意\n", 24, "", t);
    con::Sleep(1000);
  } else {
    con::printf("%*s%lld号是好人\n", 28, "", t);
  }
}

// Returns false when the poison killed the killer and the game is over.
bool human_mage() {
  con::printf("%*s你是法师\n", 33, "");
  con::print("存活状况：\n");
  print_living();
  con::print("\n");
  con::printf("%*s你选择 1.* 杀 *还是 2.* 救 * 3.* 啥都不做 *\n", 24, "");
  for (;;) {
    long long c = 0;
    if (!con::read_ll(c)) continue;  // not a number: just read again
    if (c == 3) return true;
    if (c == 1 && game.poison <= 0) {
      con::print(">>毒药<<不足\n");
    } else if (c == 1) {
      --game.poison;
      con::printf("%*s你选择了杀人\n", 32, "");
      print_living();
      con::print("\n");
      long long t = read_seat();
      print_tag(t);
      con::print("\n");
      --game.left;
      game.living[t] = 0;
      if (game.living[sr] == 0) {
        killer_dead(false);
        return false;
      }
      return true;
    } else if (c == 2 && game.revive <= 0) {
      con::print(">>复活药水<<不足\n");
    } else if (c == 2) {
      --game.revive;
      con::print("你选择了复活\n");
      con::print("阵亡名单：\n");
      for (long long j = 1; j <= 15; ++j) {
        if (game.living[j] == 0) con::printf("%lld号,身份:%lld \n", j, game.role[j]);
      }
      long long t = read_seat();
      ++game.left;
      game.living[t] = 1;
      return true;
    }
  }
}

}  // namespace

bool run_night() {
  con::system("cls");
  con::printf("%*s第%lld晚开始\n", 33, "", game.night);
  con::printf("你是%lld号\n", game.me);

  // Seats act in order; the human acts at his seat as killer or seer while alive, and a dead
  // human's seat acts like a computer seat of its role.
  for (long long s = 1; s <= 15; ++s) {
    const long long r = game.role[s];
    if (s == game.me && game.living[s] == 1) {
      if (r == KILLER) human_killer();
      if (r == SEER) human_seer();
      continue;
    }
    Pass p = Pass::GoesOn;
    if (r == KILLER) p = computer_killer(s);
    if (r == SEER) computer_seer(s);
    if (r == MAGE) p = computer_mage(s);
    if (p == Pass::GameOver) return false;
    if (p == Pass::Cut) break;
  }

  if (game.role[game.me] == MAGE && !human_mage()) return false;

  con::Sleep(1000);
  for (long double& v : game.votes) v = 0;
  con::printf("%*s第%lld晚结束\n\n", 33, "", game.night);
  return true;
}

}  // namespace killer
