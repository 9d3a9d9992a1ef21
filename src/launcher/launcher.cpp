#include "launcher/launcher.hpp"

#include "console/console.hpp"
#include "killer/killer.hpp"
#include "parkour/parkour.hpp"
#include "snake/snake.hpp"

namespace launcher {
namespace {

// Draws the frame and the menu, reads the choice. Returns it, or 0 when no number was typed.
int menu() {
  con::system("color 10");
  con::Handle h = con::GetStdHandle(con::STD_OUTPUT_HANDLE);
  for (int x = 2; x <= 117; ++x) {
    con::gotoxy(h, x, 2);
    con::print("*");
  }
  con::print("\n     1.贪吃蛇  2.跑酷  3.狼人杀\n");
  for (int x = 2; x <= 117; ++x) {
    con::gotoxy(h, x, 27);
    con::print("*");
  }
  for (int y = 2; y <= 27; ++y) {
    con::gotoxy(h, 2, y);
    con::print("*");
  }
  for (int y = 2; y <= 27; ++y) {
    con::gotoxy(h, 118, y);
    con::print("*");
  }
  con::gotoxy(h, 5, 5);
  con::system("color 30");
  int choice = 0;
  if (!con::read_int(choice)) choice = 0;
  con::system("color 30");
  return choice;
}

}  // namespace

int run() {
  for (;;) {
    switch (menu()) {
      case 1:
        // The snake game is the only one that comes back: a fresh launcher run follows.
        if (snake::play() == snake::Outcome::Quit) return 0;
        break;
      case 2:
        parkour::play();
        return 0;
      case 3:
        killer::menu();
        return 0;
      default:
        return 0;
    }
  }
}

}  // namespace launcher
