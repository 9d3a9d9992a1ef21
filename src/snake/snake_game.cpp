// The snake game's screens and its tick loop.
#include "snake/snake.hpp"

namespace snake {
namespace {

// One piece of the cover's art: where it goes, the attribute it switches to (-1: keep the
// current one) and its text.
struct Piece {
  int x, y, attr;
  const char* text;
};

const Piece kArt[] = {
    {35, 1, 6, "/^\\/^\\"},
    {34, 2, -1, "|_| o|"},
    {33, 2, 2, "_"},
    {25, 3, 12, "\\/"},
    {31, 3, 2, "/"},
    {37, 3, 6, "\\_/"},
    {41, 3, 10, " \\"},
    {26, 4, 12, "\\____"},
    {32, 4, -1, "_________"},
    {31, 4, 2, "|"},
    {43, 4, 10, "\\"},
    {32, 5, 2, "\\_______"},
    {44, 5, 10, "\\"},
    {39, 6, -1, "|    |              \\"},
    {38, 7, -1, "/    /                \\"},
    {37, 8, -1, "/    /               \\ \\"},
    {35, 9, -1, "/    /                \\ \\"},
    {34, 10, -1, " /   /                  \\  \\"},
    {33, 11, -1, "/    /        _----_        \\  \\"},
    {32, 12, -1, "/    /         _-~   ~-_        |  |"},
    {31, 13, -1, "(     (     _-~    _--_    ~-_     _/ |"},
    {32, 14, -1, "\\    ~-____-~    _-~    ~-_    ~-_-~ /"},
    {33, 15, -1, "~-_         _-~        ~-_       _-~"},
    {35, 16, -1, "~--____-~                ~-___-~"},
};

void put(con::Handle h, int x, int y, const char* text) {
  con::gotoxy(h, x, y);
  con::print(text);
}

}  // namespace

void reset() {
  a[0] = a[1] = 0;
  i = j = 0;
}

bool cover(con::Handle h) {
  // The rules screen comes back here; a loop rather than explation calling cover again, so
  // going back and forth any number of times does not deepen the stack.
  for (;;) {
    for (const Piece& p : kArt) {
      con::gotoxy(h, p.x, p.y);
      if (p.attr >= 0) con::color(p.attr);
      con::print(p.text);
    }
    con::color(11);
    put(h, 43, 18, "长虫竞逐");

    con::color(14);
    for (i = 20; i <= 26; i++) {
      for (j = 27; j <= 74; j++) {
        if (i == 20 || i == 26)
          put(h, j, i, "-");
        else if (j == 27 || j == 74)
          put(h, j, i, "|");
      }
    }

    con::color(12);
    put(h, 35, 22, "1.开始游戏");
    put(h, 55, 22, "2.游戏说明");
    put(h, 35, 24, "3.退出游戏");
    con::color(3);
    put(h, 29, 27, "输入数字做出你的选择：");
    con::color(14);

    int choice = 0;
    if (!con::read_int(choice)) choice = 0;
    switch (choice) {
      case 1:
        con::system("cls");
        return false;
      case 2:
        explation(h);
        break;
      case 3:
        return true;
      default:
        // Anything else starts the game over the cover.
        return false;
    }
  }
}

void explation(con::Handle h) {
  con::system("cls");
  con::color(13);
  put(h, 44, 3, "游戏说明");

  con::color(2);
  for (i = 6; i <= 22; i++) {
    for (j = 20; j <= 75; j++) {
      if (i == 6 || i == 22)
        put(h, j, i, "=");
      else if (j == 20 || j == 75)
        put(h, j, i, "||");
    }
  }

  con::color(3);
  put(h, 25, 8, "1、不能穿墙，不能咬到自己");
  con::color(10);
  put(h, 25, 11, "2、用 ↑(W)  ↓(S)  ←(A)  →(D)分别控制蛇的移动");
  con::color(14);
  put(h, 25, 14, "3、按任意键（除去ESC）暂停游戏，方向键继续");
  con::color(11);
  put(h, 25, 17, "4、ESC：自爆，游戏结束");
  con::color(4);
  con::_getch();
  con::system("cls");
}

void makeframe(Snake) {
  con::Handle h = con::GetStdHandle(con::STD_OUTPUT_HANDLE);
  put(h, 87, 2, "   贪吃蛇游戏");
  put(h, 87, 5, "使用方向键或wasd移动");
  put(h, 87, 7, "长按方向键可加速");
  put(h, 87, 9, "按任意键暂停,方向键继续");
  for (i = 2; i <= 82; i++) put(h, i, 2, "*");
  for (i = 2; i <= 83; i++) put(h, i, 27, "*");
  for (i = 2; i <= 26; i++) put(h, 2, i, "*");
  for (i = 2; i <= 26; i++) put(h, 83, i, "*");
}

void infor(con::Handle h, Snake* s) {
  con::gotoxy(h, 87, 17);
  con::printf("当前速度:%d", 500 - s->speed);
  con::gotoxy(h, 87, 19);
  con::printf("当前得分:%d", s->score);
  con::gotoxy(h, 87, 21);
  con::printf("当前长度:%d", s->len);
  con::gotoxy(h, 87, 23);
  s->alivetime = con::time() - s->starttime;
  con::printf("蛇已经活了:%d秒", s->alivetime);
}

Outcome play() {
  Snake s{};
  Food f{};
  char key = 77;  // the right arrow's scan code: the snake sets off to the right

  con::system("color 80");
  con::Handle h = con::GetStdHandle(con::STD_OUTPUT_HANDLE);
  if (cover(h)) return Outcome::Quit;
  initsnake(&s);
  makeframe(s);
  printfood(h, &s, &f);
  con::Sleep(500);

  for (;;) {
    infor(h, &s);
    j = 0;
    a[0] = s.x[0];
    a[1] = s.y[0];
    if (con::_kbhit()) {
      key = static_cast<char>(con::_getch());
      // Another key already waiting (a held key repeating, or an arrow's scan code after its
      // prefix): this tick runs short.
      if (con::_kbhit()) {
        con::Sleep(20);
        j = 1;
      }
    }
    switch (static_cast<unsigned char>(key)) {
      case 72:
      case 87:
      case 119:
        movesnake(h, &s);
        s.y[s.len - 1]--;
        break;
      case 80:
      case 83:
      case 115:
        movesnake(h, &s);
        s.y[s.len - 1]++;
        break;
      case 75:
      case 65:
      case 97:
        movesnake(h, &s);
        s.x[s.len - 1] -= 2;
        break;
      case 77:
      case 68:
      case 100:
        movesnake(h, &s);
        s.x[s.len - 1] += 2;
        break;
      default:
        break;  // any other key holds the snake still
    }
    eatfood(h, &s, &f);
    printsnake(h, &s);
    if (ifdead(&s) == 0 || key == 27 || s.speed == 0) break;
    con::Sleep(j == 1 ? 20 : s.speed);
  }

  con::gotoxy(h, 22, 0);
  if (s.speed == 0)
    con::print("恭喜你通关了！！!");
  else
    con::print("糟糕 T_T");
  con::Sleep(1000);
  con::system("cls");
  if (s.speed == 0)
    con::print("\n\n\n\n\n\t\t\t哈哈，你赢了\n\n\t\t\t你得到了满分：24\n\n\n");
  else
    con::printf("\n\n\n\n\n\t\t\t哈哈，你输了\n\n\t\t\t你的最终得分是：%d\n\n\n", s.score);
  con::Sleep(1000);
  con::system("cls");
  return Outcome::BackToLauncher;
}

}  // namespace snake
