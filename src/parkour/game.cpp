// The parkour game's driver: entry, the wave sequence (four monster waves, three boss waves,
// the final stage), the fixed order of one tick, the keys, health, experience, the head-up
// display and the end-of-wave screens.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "console/console.hpp"
#include "parkour/parkour.hpp"
#include "parkour/world.hpp"

namespace parkour {
namespace {

// Frame delay in ms, by wave: the game speeds up as it goes.
constexpr int kDelay[8] = {55, 50, 35, 40, 25, 30, 20, 17};

bool held(int vk) {
  return con::GetAsyncKeyState(vk) < 0;
}

void ground_line() {
  con::Setpos(20, 0);
  con::Color(0);
  con::print("============================================================");
}

void help_text() {
  con::Setpos(4, 6);
  con::print("↑/↓ 跳跃/下翻，←→ 些微移动（松手即返回）");
  con::Setpos(6, 6);
  con::print("球可以开启特殊效果，经验积满（300）可提升级别。");
  con::Setpos(8, 6);
  con::print("打败 7 波即胜利，打败 BOSS 有新天赋。");
  con::Setpos(10, 15);
  con::print("空格可以暂停。");
}

void enter() {
  con::system("color 100");
  con::system("mode con cols=60 lines=37");
  con::hide_cursor();
  con::srand(static_cast<unsigned>(con::time()));
  Win = 0;
  Ren = 1;
  Lv = 1;
  Blomax = 100;
  Blo = 100;
  Expmax = 300;
  Hui = 15;
  X = 18;
  Y = 6;
  // The draws below avoid what these hold; a second game in one run must not inherit them.
  std::memset(Ll, 0, sizeof Ll);
  std::memset(Bl, 0, sizeof Bl);
}

// Reached at entry and after every loss.
void restart() {
  con::system("cls");
  clear_table();
  T = 0;
  for (auto& drop : I) drop[0] = drop[1] = -1;
  bl = 0;
  br = -1;
  Upt = 0;
}

// Reached after the (re)start and after every won wave.
void wave_start() {
  Blo = 100.f * static_cast<float>(Blomax);
  Ding = 6.25f;
  std::memset(Bgo1, 0, sizeof Bgo1);
  std::memset(Bgo2, 0, sizeof Bgo2);
  std::memset(Bgo3, 0, sizeof Bgo3);
  if (Win % 2 == 0) {
    T = 0;
    if (D == 0) {
      if (Win > 0) Ball(5);
      Boss = 0;
      // Each family once: redraw until it is one not used by an earlier monster wave.
      for (;;) {
        L = con::rand() % 4 + 1;
        bool used = false;
        for (int k = 0; k < Win / 2; ++k) used = used || Ll[k] == L;
        if (!used) break;
      }
      Ll[Win / 2] = L;
    }
    return;
  }
  if (D == 0) {
    if (Win == 7) {
      Boss = 6;
      T = 0;
      Blomax += 100;
    } else {
      do {
        Boss = con::rand() % 3 + 1;
      } while (Boss == Bl[0] || Boss == Bl[1] || Boss == Bl[2] || Boss == Bl[3]);
    }
    Bwhat1 = Bwhat2 = Bwhat3 = 0;
    Bx1 = 10, By1 = 20;
    Bx2 = 15, By2 = 20;
    Bx3 = 21, By3 = 20;
    Bl[Win / 2] = Boss;
    con::system("color 4C");
    con::Sleep(20);
    con::system("color 0F");
    Map(0, 1);
    con::Sleep(1000);
  }
  Bblo = Bblomax = (Win / 2 + 1) * 500;
  if (Boss == 2) Ding = 12.25f;
}

void press_up() {
  if (Down == 1) {
    Down = 0;
    Up = 0;
    if (Ren == 2) {
      Map(-1, 0);
      Vx = 0;
      X = 18;
      Li = 5;
    } else {
      Vx = 7;
      Vy = 0.3f;
    }
  } else if (Up == 0 && Wind == 0) {
    Down = 0;
    Up = 1;
    if (Ren == 2) {
      Map(-1, 0);
      Vx = 1;
      X = 10;
      Map(0, 3);
      Li = 5;
    } else {
      Vx = 2;
      Vy = 0.1f;
    }
  } else if (Up == 1 && Wind == 0) {
    Down = 0;
    Up = 2;
    if (Ren == 2) {
      Map(-1, 0);
      Vx = 1;
      X -= 6;
      Map(0, 3);
      Li = 5;
    } else {
      Vx = 1.5f;
      Vy = 0.1f;
    }
  } else if (Up == 2 && Ren == 3 && Wind == 0) {
    Down = 0;
    Up = 3;
    Vx = 1;
    Vy = 0.5f;
    Upt = 30;
  } else if (Up == 2 && Ren == 4 && Wind == 0) {
    Down = 0;
    Up = 3;
    Vx = 1.8f;
    Vy = 0.1f;
  }
}

void press_down() {
  if (Down == 1 && Ren == 5) {
    Down = 2;
    Up = 0;
    Vx = -1.7f;
    return;
  }
  Down = 1;
  Up = 0;
  if (Ren == 2) {
    Map(-1, 0);
    Vx = 0;
    X = 22;
    Map(0, 3);
    Li = 5;
  } else if (Upt != 0) {
    Map(-1, 0);
    Upt = 0;
    Vx = -7;
  } else {
    Vx = -7;
  }
}

void keys() {
  if (Wind == 0) {
    double push = (10 - 1.5 * std::fabs(Ding - Y)) / 20;
    if (held(con::VK_LEFT)) Vy = static_cast<float>(-push);
    if (held(con::VK_RIGHT)) Vy = static_cast<float>(push);
  }
  if (held(con::VK_UP) && u1 == 0) {
    u1 = 1;
    press_up();
  }
  if (held(con::VK_DOWN) && u2 == 0) {
    u2 = 1;
    press_down();
  }
  if (!held(con::VK_UP)) u1 = 0;
  if (!held(con::VK_DOWN)) u2 = 0;

  if (con::_kbhit()) {
    if (con::_getch() == ' ') {
      con::Sleep(100);
      con::Setpos(4, 1);
      Sy += 1;
      con::system("pause");
    }
  }
  if (Sy == 1) {
    con::Setpos(4, 1);
    con::print("                           ");
    Sy -= 1;
  }
}

void hud() {
  con::Color(0);
  con::Setpos(1, 1);
  Blo = std::min(Blo, static_cast<float>(Blomax));
  if (Boss == 0) con::printf("血量: %d  ", static_cast<int>(Blo));
  con::Color(0);
  con::Setpos(1, 9);
  con::printf("死亡次数: %d  ", D);
  con::Setpos(2, 1);
  Exp = std::min(Exp, Expmax);
  if (Exp == Expmax) {
    Exp = 0;
    Lv += 1;
    Blomax += 5;
    Lvl += 1;
    Hui += 1;
  }
  if (Lvl > 0) con::Color(5);
  con::printf("级别: %d", Lv);
  con::Color(0);
  con::Setpos(2, 9);
  con::printf("经验: %d  ", Exp);
  if (Boss > 0) {
    con::Setpos(3, 1);
    con::print("血量     : ");
    Ball(7);
    if (Boss != 6) {
      con::Setpos(4, 1);
      con::print("怪物血量: ");
      Ball(6);
    } else {
      con::Setpos(1, 9);
      con::printf("时间: %0.1f s  ", T / 15.0);
    }
  }
}

// Boss 3's wreck: a block of debris records that rushes off to the left.
void boss3_debris() {
  for (int c = 0; c < 4; ++c) {
    const float rows[3] = {Bx3 - 1, Bx3, Bx3 - 2};
    for (float row : rows) {
      Obj* r = new_record();
      if (!r) return;
      r->type = 98;
      r->alive = 1;
      r->vcol = 4;
      r->row = row;
      r->col = By3 + static_cast<float>(c);
    }
  }
}

void tick() {
  T += 1;
  keys();

  if (Drug == 0) {
    Blo = static_cast<float>(std::min<double>(Blomax, Blo + Hui / 100.0));
  } else if (T % 10 == 0) {
    Blo -= 1;
  }
  if (T % 20 == 0) {
    Kill = 0;
    Lvl = 0;
  }
  for (int* n : {&Killb, &Li, &Ice, &Drug, &Magne}) {
    if (*n > 0) *n -= 1;
  }
  if (Fire > 0) {
    Ball(1);
    Fire -= 1;
  }
  if (Water > 0) {
    Ball(2);
    Water -= 1;
  }
  if (Wind > 0) {
    Ball(3);
    Wind -= 1;
  }
  if (Thun > 0) {
    Ball(4);
    Thun -= 1;
  }

  if (Boss == 0) NorGuai(L, T % 1500);
  RandGood();
  if (T % 20 == 1) Exp += 1;
  if (T % 50 == 1) {
    Exp += 1;
    con::system("cls");
    ground_line();
    if (Win == 0 && T < 300) help_text();
  }

  Map(-1, 0);
  if (Boss == 1) Boss1();
  if (Boss == 2) Boss2();
  if (Boss == 3) Boss3();
  if (Boss == 6) {
    Boss1();
    Boss2();
    Boss3();
  }
  Move();
  Map(0, Kill != 0 ? 1 : 0);
  hud();
  con::Sleep(kDelay[std::clamp(Win, 0, 7)]);

  if (Boss == 3 && Bblo <= 0) boss3_debris();
}

bool wave_over() {
  return Blo <= 0 || (Win % 2 == 0 && T >= 1400) || (Win % 2 == 1 && Bblo <= 0) ||
         (Win == 7 && T >= 450);
}

}  // namespace

void play() {
  enter();
  for (;;) {
    restart();
    for (;;) {
      wave_start();
      do {
        tick();
      } while (!wave_over());
      Map(-1, 0);
      if (Blo <= 0) {
        // A loss, even when the wave's goal was reached in the same tick: replay the wave.
        con::Sleep(1000);
        D += 1;
        con::system("color 7F");
        con::Setpos(15, 11);
        con::Color(4);
        con::print("GAME OVER...");
        con::Sleep(2000);
        break;
      }
      if (Win == 6) {
        con::system("color 7F");
        con::Setpos(15, 11);
        con::Color(4);
        con::print("坚持30秒 !");
        con::Sleep(2000);
        con::Setpos(30, 0);
        D = 0;
        Win = 7;
      } else if (Win == 7) {
        con::Sleep(1000);
        con::system("color 6E");
        con::Setpos(15, 11);
        con::Color(5);
        con::print("YOU WIN !");
        con::Sleep(2000);
        con::Setpos(30, 0);
        return;
      } else {
        con::Sleep(1000);
        D = 0;
        Win += 1;
      }
    }
  }
}

}  // namespace parkour
