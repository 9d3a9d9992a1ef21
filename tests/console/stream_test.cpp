#include "console/stream.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "console/console.hpp"
#include "console/session.hpp"

namespace {

// A stream-mode console over pipes: `input` is what a pipe gives, the output is collected.
struct Piped {
  int in[2], out[2];
  explicit Piped(const std::string& input) {
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    EXPECT_EQ(write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(in[1]);
    fcntl(out[0], F_SETFL, O_NONBLOCK);
  }
  ~Piped() {
    close(in[0]);
    close(out[0]);
    close(out[1]);
  }
  std::string output() {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
    return s;
  }
};

struct Null {
  int fd = open("/dev/null", O_WRONLY);
  ~Null() { close(fd); }
};

int run(con::Stream& s, const std::function<void()>& body) {
  con::attach(s);
  int code = 0;
  try {
    body();
  } catch (const con::Exit& e) {
    code = e.code;
  }
  con::detach();
  return code;
}

}  // namespace

TEST(Stream, TextGoesOutInOrderAndPositioningWritesNothing) {
  Piped p("");
  con::Stream s(p.in[0], p.out[1], true);
  run(s, [] {
    con::system("color 10");
    con::gotoxy(0, 40, 12);
    con::print("*");
    con::system("cls");
    con::Setpos(4, 1);
    con::Color(3);
    con::printf("级别: %d\n", 3);
    con::system("mode con cols=60 lines=37");
  });
  EXPECT_EQ(p.output(), "*级别: 3\n");
}

TEST(Stream, NumberReadsTakeLinesAndKeysTheBytesAfterThem) {
  Piped p("3 x\n12\r\nab\x1b[A\x1b");
  con::Stream s(p.in[0], p.out[1], true);
  std::vector<int> got;
  int code = run(s, [&] {
    int v = 0;
    got.push_back(con::read_int(v) ? v : -1);
    got.push_back(con::read_int(v) ? v : -1);  // " x" is no number
    got.push_back(con::read_int(v) ? v : -1);
    for (;;) got.push_back(con::_getch());
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(got, (std::vector<int>{3, -1, 12, 'a', 'b', 224, 72, 27}));
  EXPECT_EQ(p.output(), "");  // a pipe does not echo
}

TEST(Stream, PausePrintsItsPromptAndEndOfInputEnds) {
  Piped p("k");
  con::Stream s(p.in[0], p.out[1], true);
  int code = run(s, [] {
    con::system("pause");
    con::print("after");
    con::system("pause");
    con::print("never");
  });
  EXPECT_EQ(code, 0);
  // The last line, left open by the prompt, is closed at the end.
  EXPECT_EQ(p.output(), "请按任意键继续. . . \nafter请按任意键继续. . . \n");
}

TEST(Stream, VirtualClockMakesSleepsInstant) {
  Piped p("");
  con::Stream s(p.in[0], p.out[1], true);
  run(s, [] {
    int t0 = con::time();
    con::Sleep(5000);
    EXPECT_EQ(con::time(), t0 + 5);
    EXPECT_EQ(con::_kbhit(), 0);
  });
}

// A game loop as the games write theirs: draw, poll, sleep. `changing` draws a new number at
// every tick, else the same text. Returns the ticks it ran (it gives up after a million).
int ticks_after_end(con::Stream& s, bool changing, int64_t* ended_at) {
  int ticks = 0;
  run(s, [&] {
    for (;;) {
      con::gotoxy(0, 0, 0);
      con::printf("%d", changing ? ticks : 7);
      if (++ticks > 1000000) return;
      if (con::_kbhit()) con::_getch();
      con::Sleep(50);
    }
  });
  *ended_at = s.now_ms();
  return ticks;
}

TEST(Stream, AfterTheEndOfInputAScreenStandingStillEndsTheNextKeyPoll) {
  Piped p("ab");
  // Output to /dev/null: a loop that does not end would fill a pipe and block.
  Null null;
  con::Stream s(p.in[0], null.fd, true);
  int64_t at = 0;
  // Two ticks take the queued keys; the third poll finds none and keeps the screen; the
  // fourth finds it the same.
  EXPECT_EQ(ticks_after_end(s, false, &at), 4);
  EXPECT_EQ(at, 150);
}

TEST(Stream, AfterTheEndOfInputAChangingScreenRunsOnForABoundedTime) {
  Piped p("");
  // Output to /dev/null: a loop that does not end would fill a pipe and block.
  Null null;
  con::Stream s(p.in[0], null.fd, true);
  int64_t at = 0;
  int ticks = ticks_after_end(s, true, &at);
  EXPECT_EQ(at, con::kRunOnMs);
  EXPECT_EQ(ticks, con::kRunOnMs / 50 + 1);
}
