// The snake and its food: start, move, grow, draw, judge.
#include "snake/snake.hpp"

namespace snake {

int a[2];
int i, j;

void initsnake(Snake* s) {
  s->x[0] = 4;
  s->y[0] = 14;
  s->score = 0;
  s->len = 3;
  s->speed = 400;
  s->starttime = con::time();
  // One column apart although a cell is two wide: the first two moves spread them out.
  for (i = 1; i < s->len; i++) {
    s->x[i] = s->x[i - 1] + 1;
    s->y[i] = s->y[i - 1];
  }
}

void printsnake(con::Handle h, Snake* s) {
  for (i = 0; i < s->len; i++) {
    con::gotoxy(h, s->x[i], s->y[i]);
    if (i == s->len - 1)
      con::print("头");
    else if (i == 0)
      con::print("尾");
    else
      con::print("身");
  }
}

void movesnake(con::Handle h, Snake* s) {
  con::gotoxy(h, s->x[0], s->y[0]);
  con::print("  ");
  for (i = 1; i < s->len; i++) {
    s->x[i - 1] = s->x[i];
    s->y[i - 1] = s->y[i];
  }
}

void printfood(con::Handle h, Snake* s, Food* f) {
  con::srand(static_cast<unsigned>(con::time()));
  for (;;) {
    f->x = (con::rand() % 38 + 1) * 2 + 2;
    f->y = con::rand() % 23 + 3;
    for (i = 0; i < s->len; i++)
      if (s->x[i] == f->x && s->y[i] == f->y) break;
    if (i == s->len) break;
  }
  con::gotoxy(h, f->x, f->y);
  con::print("食");
}

void eatfood(con::Handle h, Snake* s, Food* f) {
  if (s->x[s->len - 1] != f->x || s->y[s->len - 1] != f->y) return;
  s->len++;
  for (i = s->len - 1; i >= 1; i--) {
    s->x[i] = s->x[i - 1];
    s->y[i] = s->y[i - 1];
  }
  // The tail comes back to where this tick's move took it from; printsnake draws it.
  s->x[0] = a[0];
  s->y[0] = a[1];
  printfood(h, s, f);
  s->score++;
  if (s->score % 3 == 0) s->speed -= 50;
}

int ifdead(Snake* s) {
  int hx = s->x[s->len - 1], hy = s->y[s->len - 1];
  if (hx == 2 || hx == 82 || hy == 2 || hy == 27) return 0;
  for (i = 0; i < s->len - 1; i++)
    if (s->x[i] == hx && s->y[i] == hy) return 0;
  return 1;
}

}  // namespace snake
