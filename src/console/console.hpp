// The console primitives every game draws and reads with.
//
// They behave like the Windows console the games were made for: a screen buffer of cells
// (glyph, 8-bit attribute), a cursor, console commands ("cls", "pause", "color XY",
// "mode con ..."), a key queue read with _kbhit/_getch, the held state of the arrow keys,
// number reads with echo, a clock and the Microsoft C runtime's generator. Where they end up
// (a real terminal, a byte stream, or a headless model for tests) is the backend's business.
#pragma once

#include <cstdint>
#include <string_view>

#if defined(__MINGW32__)
// mingw's "printf" check is msvcrt's; our formatting is the C99 one (%lld, %Lg).
#define CON_PRINTF_LIKE(f, a) __attribute__((format(gnu_printf, f, a)))
#elif defined(__GNUC__)
#define CON_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define CON_PRINTF_LIKE(f, a)
#endif

namespace con {

// Thrown by any console call when the program has to end now (end of input, a signal, the
// terminal gone). It unwinds the games to main, which returns `code`.
struct Exit {
  int code;
};

// Output handles. The games fetch one and pass it to gotoxy, as on the console.
using Handle = int;
constexpr Handle STD_OUTPUT_HANDLE = -11;
Handle GetStdHandle(Handle which);

// Rounds as the parkour game expects: (int)(v * 10 + 5) / 10, in single precision.
int ti(float v);
// Cursor to column x, row y (low 16 bits of each). Outside the buffer: the cursor stays.
void gotoxy(Handle h, int x, int y);
// Cursor to row ti(row), column ti(col * 4) / 2: one unit of col is two console columns.
void Setpos(float row, float col);
// Sets the current attribute (foreground low nibble, background high nibble). Returns 0.
int color(int attribute);
// Sets the attribute of palette entry 0..14; any other index changes nothing.
void Color(int index);
// Hides the cursor for the rest of the run.
void hide_cursor();

// Console commands: "cls", "pause", "color XY", "mode con cols=C lines=L".
// Anything else (including "color 100") has no effect.
void system(const char* command);

// Text at the cursor in the current attribute. UTF-8; an ASCII character takes one column,
// every other character two.
void print(std::string_view text);
void printf(const char* format, ...) CON_PRINTF_LIKE(1, 2);

// Number reads, as `std::cin >> n` on a console line: typed text echoes, leading white space
// and blank lines are skipped, an optionally signed decimal number is taken and the rest of the
// line stays for the next number read. Returns false when no number is found or it does not fit
// (the rest of that line is then dropped); `value` is left alone in that case.
bool read_int(int& value);
bool read_ll(long long& value);

// Key polling. An arrow key gives 224 and then 72 (up), 80 (down), 75 (left) or 77 (right).
int _kbhit();
int _getch();

// Held state of a key: the top bit (negative value) while the key is down.
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
short GetAsyncKeyState(int vk);

void Sleep(int ms);
// Calendar time in whole seconds.
int time();
// The Microsoft C runtime's generator: state = state * 214013 + 2531011, (state >> 16) & 0x7FFF.
void srand(unsigned seed);
int rand();

}  // namespace con
