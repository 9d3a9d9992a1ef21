#include "console/console.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "console/backends/headless/headless.hpp"
#include "console/session.hpp"

namespace {

// Runs `body` with a fresh console on a headless backend.
int with_console(con::Headless& h, const std::function<void()>& body) {
  return con::run_headless(h, [&] {
    body();
    return 0;
  });
}

}  // namespace

// Attaching starts the backend (the terminal's raw mode and probe), detaching shows the last
// screen and finishes it (the terminal restored), once.
TEST(Console, AttachStartsTheBackendAndDetachFinishesItOnce) {
  struct Counting : con::Headless {
    int starts = 0, finishes = 0, presents_seen = 0;
    void start(con::Screen&) override { ++starts; }
    void finish(const con::Screen&) override { ++finishes; }
    void present(const con::Screen&) override { ++presents_seen; }
  } b;
  con::attach(b);
  EXPECT_EQ(b.starts, 1);
  EXPECT_TRUE(con::attached());
  con::Sleep(0);
  EXPECT_EQ(b.presents_seen, 1);
  con::detach();
  con::detach();
  EXPECT_FALSE(con::attached());
  EXPECT_THROW(con::Sleep(0), con::Exit);  // nowhere to show it
  EXPECT_EQ(b.finishes, 1);
  EXPECT_EQ(b.presents_seen, 2);
  // Attaching another backend finishes the one before; the new one starts afresh.
  Counting c;
  con::attach(b);
  con::print("x");
  con::attach(c);
  EXPECT_EQ(b.finishes, 2);
  EXPECT_EQ(c.starts, 1);
  EXPECT_EQ(con::screen().at(0, 0).ch, U' ');
  con::detach();
}

TEST(Console, TiRoundsHalvesUpAndTruncatesBelowMinusHalf) {
  EXPECT_EQ(con::ti(2.45f), 2);
  EXPECT_EQ(con::ti(2.5f), 3);
  EXPECT_EQ(con::ti(0.04f), 0);
  EXPECT_EQ(con::ti(-0.6f), 0);
  EXPECT_EQ(con::ti(-1.2f), 0);
  EXPECT_EQ(con::ti(-1.5f), -1);
  EXPECT_EQ(con::ti(-2.4f), -1);
  EXPECT_EQ(con::ti(1e12f), 214748352);  // clamped, not undefined
}

TEST(Console, SetposResolvesHalfUnitsToSingleColumns) {
  con::Headless h;
  with_console(h, [] {
    struct Case {
      float row, col;
      int x, y;
    };
    for (Case c : std::vector<Case>{{0, 0, 0, 0},
                                    {15, 11, 22, 15},
                                    {4, 1, 2, 4},
                                    {20, 6.25f, 12, 20},
                                    {20, 6.4f, 13, 20},
                                    {20, 6.5f, 13, 20},
                                    {20, 29, 58, 20}}) {
      con::Setpos(c.row, c.col);
      EXPECT_EQ(con::screen().cursor_x(), c.x) << c.row << "," << c.col;
      EXPECT_EQ(con::screen().cursor_y(), c.y) << c.row << "," << c.col;
    }
    con::Setpos(30, 0);  // inside the 30-row buffer? no: row 30 is outside, cursor stays
    EXPECT_EQ(con::screen().cursor_y(), 20);
    con::system("mode con cols=60 lines=37");
    con::Setpos(30, 0);
    EXPECT_EQ(con::screen().cursor_y(), 30);
  });
}

TEST(Console, GotoxyAndColourRoutines) {
  con::Headless h;
  with_console(h, [] {
    con::Handle out = con::GetStdHandle(con::STD_OUTPUT_HANDLE);
    con::gotoxy(out, 5, 5);
    EXPECT_EQ(con::color(0x1F), 0);
    con::print("x");
    EXPECT_EQ(con::screen().at(5, 5).ch, U'x');
    EXPECT_EQ(con::screen().at(5, 5).attr, 0x1F);
    con::gotoxy(out, 65536 + 7, 3);  // only the low 16 bits count
    EXPECT_EQ(con::screen().cursor_x(), 7);
    con::gotoxy(out, 500, 3);  // outside: the text goes where the cursor stood
    con::print("y");
    EXPECT_EQ(con::screen().at(7, 3).ch, U'y');

    con::Color(9);
    EXPECT_EQ(con::screen().attr(), 0xB0);
    con::Color(15);
    con::Color(-1);
    EXPECT_EQ(con::screen().attr(), 0xB0);
    const int palette[15] = {0x0F, 0x0B, 0x0A, 0x0D, 0x0C, 0x0E, 0x09, 0x07,
                             0x04, 0xB0, 0xD0, 0x05, 0x06, 0x08, 0x03};
    for (int k = 0; k < 15; ++k) {
      con::Color(k);
      EXPECT_EQ(con::screen().attr(), palette[k]) << k;
    }
    con::hide_cursor();
    EXPECT_FALSE(con::screen().cursor_visible());
  });
}

TEST(Console, Commands) {
  con::Headless h;
  h.key('q');
  with_console(h, [] {
    con::print("abc");
    con::system("color 4C");
    EXPECT_EQ(con::screen().at(0, 0).attr, 0x4C);
    EXPECT_EQ(con::screen().at(100, 25).attr, 0x4C);
    EXPECT_EQ(con::screen().attr(), 0x4C);
    con::system("color 100");  // three digits: nothing
    con::system("color 44");   // equal digits: nothing
    con::system("color zz");
    EXPECT_EQ(con::screen().attr(), 0x4C);
    con::system("cls");
    EXPECT_EQ(con::screen().at(0, 0).ch, U' ');
    EXPECT_EQ(con::screen().at(0, 0).attr, 0x4C);
    EXPECT_EQ(con::screen().cursor_x(), 0);

    con::gotoxy(0, 3, 2);
    con::system("pause");
    EXPECT_EQ(con::screen().text_at(3, 2, 20), "请按任意键继续. . . ");
    EXPECT_EQ(con::screen().cursor_x(), 0);
    EXPECT_EQ(con::screen().cursor_y(), 3);
    EXPECT_EQ(con::_kbhit(), 0);  // the key was consumed

    con::system("mode con cols=60 lines=37");
    EXPECT_EQ(con::screen().width(), 60);
    EXPECT_EQ(con::screen().height(), 37);
    // The new buffer starts blank, with the cursor at its top left.
    EXPECT_EQ(con::screen().cursor_x(), 0);
    EXPECT_EQ(con::screen().cursor_y(), 0);
    EXPECT_EQ(con::screen().text_at(0, 3, 20), std::string(20, ' '));
    con::system("unknown command");
  });
}

// Commands as the command interpreter takes them: any case, any spacing; "color" with two hex
// digits of either case; "mode con" within the console's limits.
TEST(Console, CommandsInAnyCaseAndSpacing) {
  con::Headless h;
  with_console(h, [] {
    struct Colour {
      const char* command;
      int attr;  // -1: nothing changes
    };
    for (Colour c :
         {Colour{"color 0F", 0x0F}, Colour{"COLOR 9f", 0x9F}, Colour{"  color   a0 ", 0xA0},
          Colour{"color\tE1", 0xE1}, Colour{"color 4g", -1}, Colour{"color 4", -1},
          Colour{"color", -1}, Colour{"colour 12", -1}, Colour{"color 1 2", -1}}) {
      con::system("color 07");
      con::system(c.command);
      EXPECT_EQ(con::screen().attr(), c.attr < 0 ? 0x07 : c.attr) << c.command;
      EXPECT_EQ(con::screen().at(119, 29).attr, c.attr < 0 ? 0x07 : c.attr) << c.command;
    }
    con::print("x");
    con::system(" CLS ");
    EXPECT_EQ(con::screen().at(0, 0).ch, U' ');
    struct Mode {
      const char* command;
      int w, h;
    };
    for (Mode m :
         {Mode{"MODE CON COLS=60 LINES=37", 60, 37}, Mode{"mode  con cols=1000 lines=1", 1000, 1},
          Mode{"mode con cols=0 lines=5", 1000, 1}, Mode{"mode con cols=5 lines=1001", 1000, 1},
          Mode{"mode con cols=80", 1000, 1}, Mode{"mode con cols=1 lines=1000", 1, 1000}}) {
      con::system(m.command);
      EXPECT_EQ(con::screen().width(), m.w) << m.command;
      EXPECT_EQ(con::screen().height(), m.h) << m.command;
    }
  });
}

// What a number read's line takes of the keys: an extended key and other control keys type
// nothing, a character beyond ASCII echoes as one '?', Backspace on an empty line does nothing.
TEST(Console, LinesTakeTypedTextOnly) {
  con::Headless h;
  h.key(8);
  h.key('1');
  h.arrow(72);
  h.key(0x01);
  h.key(0xE9);
  h.key(8);
  h.key('2');
  h.key(27);
  h.line("3");
  with_console(h, [] {
    con::gotoxy(0, 4, 2);
    int v = 0;
    EXPECT_TRUE(con::read_int(v));
    EXPECT_EQ(v, 123);
    EXPECT_EQ(con::screen().text_at(0, 2, 8), "    123 ");
  });
  con::Headless k;
  k.key(0xE9);
  k.line("7");
  with_console(k, [] {
    int v = 0;
    EXPECT_FALSE(con::read_int(v));
    EXPECT_EQ(con::screen().text_at(0, 0, 3), "?7 ");
  });
}

TEST(Console, PauseTakesAWholeArrowKey) {
  con::Headless h;
  h.arrow(72);
  h.key('w');
  with_console(h, [] {
    con::system("pause");
    EXPECT_EQ(con::_getch(), 'w');
  });
}

TEST(Console, ArrowKeysArriveAsPrefixThenScanCode) {
  con::Headless h;
  h.arrow(72);
  h.key('w');
  with_console(h, [] {
    EXPECT_EQ(con::_kbhit(), 1);  // as the C runtime's: 1 while a key or its second code waits
    EXPECT_EQ(con::_getch(), 224);
    EXPECT_EQ(con::_kbhit(), 1);
    EXPECT_EQ(con::_getch(), 72);
    EXPECT_EQ(con::_getch(), 119);
    EXPECT_EQ(con::_kbhit(), 0);
  });
}

TEST(Console, ScanCodeAfterItsPrefixWaitsForTheNextGetch) {
  con::Headless h;
  h.arrow(80);
  h.line("5");
  h.key('p');
  with_console(h, [] {
    EXPECT_EQ(con::_getch(), 224);
    int v = 0;
    EXPECT_TRUE(con::read_int(v));  // the line holds what was typed, not the scan code
    EXPECT_EQ(v, 5);
    con::system("pause");  // takes the 'p', not the scan code
    EXPECT_NE(con::_kbhit(), 0);
    EXPECT_EQ(con::_getch(), 80);
    EXPECT_EQ(con::_kbhit(), 0);
  });
}

TEST(Console, NumberReadsLeaveTheRestOfTheLine) {
  con::Headless h;
  h.line("  42xyz");
  h.line("");
  h.line("   -7 8");
  h.line("3.9");
  with_console(h, [] {
    int v = 0;
    EXPECT_TRUE(con::read_int(v));
    EXPECT_EQ(v, 42);
    v = 99;
    EXPECT_FALSE(con::read_int(v));  // "xyz": no number, the rest of the line goes
    EXPECT_EQ(v, 99);
    EXPECT_TRUE(con::read_int(v));  // the blank line is skipped
    EXPECT_EQ(v, -7);
    long long w = 0;
    EXPECT_TRUE(con::read_ll(w));
    EXPECT_EQ(w, 8);
    EXPECT_TRUE(con::read_int(v));
    EXPECT_EQ(v, 3);
    EXPECT_FALSE(con::read_int(v));  // ".9"
  });
}

// A tab typed into the line separates numbers as any blank does; it echoes to the next tab stop
// and one backspace takes all of it back.
TEST(Console, TypedTabsSeparateNumbers) {
  con::Headless h;
  h.line("1\t2");
  h.type("3\t");
  h.key(8);
  h.line("4");
  with_console(h, [] {
    con::gotoxy(0, 5, 5);
    int v = 0;
    EXPECT_TRUE(con::read_int(v));
    EXPECT_EQ(v, 1);
    EXPECT_EQ(con::screen().text_at(5, 5, 5), "1  2 ");
    EXPECT_TRUE(con::read_int(v));
    EXPECT_EQ(v, 2);
    EXPECT_TRUE(con::read_int(v));
    EXPECT_EQ(v, 34);
    EXPECT_EQ(con::screen().text_at(0, 6, 3), "34 ");
  });
}

TEST(Console, NumbersThatDoNotFitFailInsteadOfOverflowing) {
  con::Headless h;
  h.line("2147483648 9");
  h.line("-2147483648");
  h.line("9223372036854775807 -9223372036854775808");
  h.line("99999999999999999999 5");
  h.line("+ 5");
  with_console(h, [] {
    int v = 1;
    EXPECT_FALSE(con::read_int(v));
    EXPECT_EQ(v, 1);
    EXPECT_TRUE(con::read_int(v));  // the " 9" went with the failed line
    EXPECT_EQ(v, INT_MIN);
    long long w = 0;
    EXPECT_TRUE(con::read_ll(w));
    EXPECT_EQ(w, LLONG_MAX);
    EXPECT_TRUE(con::read_ll(w));
    EXPECT_EQ(w, LLONG_MIN);
    EXPECT_FALSE(con::read_ll(w));
    EXPECT_FALSE(con::read_ll(w));
  });
}

TEST(Console, TypedNumbersEchoAndBackspaceEdits) {
  con::Headless h;
  h.type("12");
  h.key(8);
  h.line("5");
  with_console(h, [] {
    con::gotoxy(0, 5, 5);
    con::color(0x30);
    int v = 0;
    EXPECT_TRUE(con::read_int(v));
    EXPECT_EQ(v, 15);
    EXPECT_EQ(con::screen().text_at(5, 5, 3), "15 ");
    EXPECT_EQ(con::screen().at(5, 5).attr, 0x30);
    EXPECT_EQ(con::screen().cursor_x(), 0);
    EXPECT_EQ(con::screen().cursor_y(), 6);
  });
}

TEST(Console, KeysTypedAfterALineNeverSeeItsLeftover) {
  con::Headless h;
  h.line("1a");
  h.key('k', 10);
  with_console(h, [] {
    int v = 0;
    EXPECT_TRUE(con::read_int(v));
    EXPECT_EQ(con::_getch(), 'k');
    EXPECT_FALSE(con::read_int(v));  // "a" is still the line's: no number
  });
}

TEST(Console, EndOfInputEndsTheProgramCleanly) {
  con::Headless h;
  h.line("7");
  int reads = 0;
  int rc = con::run_headless(h, [&] {
    int v = 0;
    for (;;) {
      con::read_int(v);
      ++reads;
    }
    return 1;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(reads, 1);
  con::Headless k;
  EXPECT_EQ(con::run_headless(k, [] { return con::_getch(); }), 0);
}

TEST(Console, GeneratorIsTheMicrosoftRuntimes) {
  con::Headless h;
  with_console(h, [] {
    EXPECT_EQ(con::rand(), 41);  // a fresh program is seeded with 1
    con::srand(1);
    for (int v : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(con::rand(), v);
    con::srand(12345);
    for (int v : {7584, 19164, 25795, 22125, 5828}) EXPECT_EQ(con::rand(), v);
    con::srand(0);
    for (int v : {38, 7719, 21238, 2437, 8855}) EXPECT_EQ(con::rand(), v);
  });
}

TEST(Console, SeedOverrideReplacesEverySeeding) {
  con::set_seed_override(12345u);
  con::Headless h;
  with_console(h, [] {
    con::srand(static_cast<unsigned>(con::time()));
    EXPECT_EQ(con::rand(), 7584);
    con::srand(1);
    EXPECT_EQ(con::rand(), 7584);
  });
  con::set_seed_override(std::nullopt);
}

TEST(Console, SleepAdvancesTheClockAndTimeFollows) {
  con::Headless h;
  with_console(h, [&] {
    int t0 = con::time();
    con::Sleep(400);
    EXPECT_EQ(h.now(), 400);
    con::Sleep(1600);
    EXPECT_EQ(con::time(), t0 + 2);
    EXPECT_EQ(h.presents(), 2);
  });
}

TEST(Console, HeldKeysFollowTheirIntervalsAndQueueRepeats) {
  con::Headless h;
  h.hold(con::VK_UP, 100, 800);
  with_console(h, [] {
    EXPECT_EQ(con::GetAsyncKeyState(con::VK_UP), 0);
    con::Sleep(100);
    EXPECT_LT(con::GetAsyncKeyState(con::VK_UP), 0);
    EXPECT_EQ(con::GetAsyncKeyState(con::VK_DOWN), 0);
    con::Sleep(700);
    EXPECT_EQ(con::GetAsyncKeyState(con::VK_UP), 0);
    // The press and its repeats piled up in the queue meanwhile.
    int pairs = 0;
    while (con::_kbhit()) {
      EXPECT_EQ(con::_getch(), 224);
      EXPECT_EQ(con::_getch(), 72);
      ++pairs;
    }
    EXPECT_EQ(pairs, 8);  // the press at 100, repeats from 600 every 33 ms
  });
}

// A backend whose keys change state at every look, as a real keyboard may between two looks.
struct Flickering : con::Headless {
  int looks = 0;
  int of_key[256] = {};
  bool key_down(int vk) override {
    ++looks;
    return ++of_key[vk & 0xFF] % 2 == 1;
  }
};

TEST(Console, EveryQueryBetweenTwoGatheringsOfInputGetsOneAnswer) {
  Flickering h;
  with_console(h, [&] {
    const short first = con::GetAsyncKeyState(con::VK_UP);
    EXPECT_LT(first, 0);
    EXPECT_EQ(con::GetAsyncKeyState(con::VK_UP), first);
    EXPECT_EQ(h.looks, 1);
    EXPECT_LT(con::GetAsyncKeyState(con::VK_DOWN), 0);  // each key is looked at once
    EXPECT_EQ(h.looks, 2);
    con::Sleep(10);
    EXPECT_EQ(con::GetAsyncKeyState(con::VK_UP), 0);
    EXPECT_EQ(con::GetAsyncKeyState(con::VK_UP), 0);
    // _kbhit on an empty queue gathers input too: a new moment.
    EXPECT_EQ(con::_kbhit(), 0);
    EXPECT_LT(con::GetAsyncKeyState(con::VK_UP), 0);
    EXPECT_EQ(h.looks, 4);
    // Codes outside the table are never kept.
    con::GetAsyncKeyState(0x1234);
    con::GetAsyncKeyState(0x1234);
    EXPECT_EQ(h.looks, 6);
  });
}

TEST(Console, PrintfFormatsLongText) {
  con::Headless h;
  with_console(h, [] {
    con::printf("当前得分:%d", 12);
    EXPECT_EQ(con::screen().text_at(0, 0, 11), "当前得分:12");
    std::string big(700, 'z');
    con::gotoxy(0, 0, 1);
    con::printf("%s|%0.1f", big.c_str(), 2.25);
    EXPECT_EQ(con::screen().text_at(100, 6, 6), "|2.2  ");
    // Just too long for the first try, and just short enough.
    for (size_t n : {511u, 512u}) {
      con::system("cls");
      con::printf("%s>", std::string(n - 1, 'z').c_str());
      EXPECT_EQ(con::screen().text_at(static_cast<int>((n - 1) % 120),
                                      static_cast<int>((n - 1) / 120), 2),
                "> ")
          << n;
    }
  });
}

TEST(Console, ALonePrefixByteTakesNoFollowingKeyAsItsScanCode) {
  con::Headless h;
  h.key(224);  // a key of one code that happens to be 224, then an ordinary key
  h.key('w');
  h.arrow(80);
  with_console(h, [] {
    EXPECT_EQ(con::_getch(), 224);
    EXPECT_EQ(con::_getch(), 'w');
    EXPECT_EQ(con::_getch(), 224);
    EXPECT_EQ(con::_getch(), 80);
  });
}
