// The snake game, entered from the launcher's choice 1.
#pragma once

#include "console/console.hpp"

namespace snake {

enum class Outcome {
  BackToLauncher,  // a game was played: the launcher starts afresh
  Quit,            // the cover's "quit" entry: the program ends
};

// Plays from the cover to the result screen.
Outcome play();
// Back to the state of a fresh program (the globals below).
void reset();

// Body cells run from the tail (index 0) to the head (index len - 1). A cell is two columns
// wide and written at its left column.
struct Snake {
  int x[100];
  int y[100];
  int speed;  // delay between ticks in ms; 0 means the game is won
  int len;
  int score;  // foods eaten
  int starttime;
  int alivetime;
};

struct Food {
  int x;
  int y;
};

// The tail cell as it stood before this tick's move; eatfood hands it back when the snake grows.
extern int a[2];
// Loop counters shared by the routines; j is also the loop's fast-tick flag.
extern int i, j;

void initsnake(Snake* s);
void printsnake(con::Handle h, Snake* s);
// Erases the tail and shifts every cell toward it; the caller then moves the head.
void movesnake(con::Handle h, Snake* s);
// Places and draws a food off the snake (reseeding from the clock on every call).
void printfood(con::Handle h, Snake* s, Food* f);
void eatfood(con::Handle h, Snake* s, Food* f);
// 1 while the snake lives, 0 once its head is on the frame or on its body.
int ifdead(Snake* s);

// Draws the cover and reads its menu; true when the player chose to quit.
bool cover(con::Handle h);
// The rules screen; any key leaves it with the screen cleared.
void explation(con::Handle h);
void makeframe(Snake s);
// The side panel; stores the seconds alive into the record.
void infor(con::Handle h, Snake* s);

}  // namespace snake
