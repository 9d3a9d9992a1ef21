#include "console/backends/stream/stream.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

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

// With the real clock a sleep takes its time and gathers what is typed meanwhile; once the
// input has ended it still takes its time.
TEST(Stream, RealSleepsTakeTheirTimeAndGatherKeys) {
  int in[2];
  ASSERT_EQ(pipe(in), 0);
  Null null;
  con::Stream s(in[0], null.fd, false);
  std::thread typist([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(write(in[1], "a", 1), 1);
    close(in[1]);
  });
  std::vector<int> got;
  run(s, [&] {
    const int64_t t0 = con::Stream::monotonic_ms();
    con::Sleep(80);
    const int64_t t1 = con::Stream::monotonic_ms();
    EXPECT_GE(t1 - t0, 80);
    EXPECT_LE(std::abs(s.now_ms() - con::Stream::monotonic_ms()), 5);  // the same clock
    while (con::_kbhit()) got.push_back(con::_getch());
    con::Sleep(60);  // after the end of input
    EXPECT_GE(con::Stream::monotonic_ms() - t1, 60);
  });
  typist.join();
  close(in[0]);
  EXPECT_EQ(got, std::vector<int>{'a'});
}

// A lone Escape on input that goes on is the Escape key after its short wait, not whenever the
// next byte or the end comes.
TEST(Stream, ALoneEscapeWaitsOnlyBriefly) {
  int in[2];
  ASSERT_EQ(pipe(in), 0);
  Null null;
  con::Stream s(in[0], null.fd, false);
  EXPECT_EQ(write(in[1], "\x1b", 1), 1);
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    close(in[1]);
  });
  int64_t took = 0;
  int key = 0;
  run(s, [&] {
    const int64_t t0 = con::Stream::monotonic_ms();
    key = con::_getch();
    took = con::Stream::monotonic_ms() - t0;
  });
  closer.join();
  close(in[0]);
  EXPECT_EQ(key, 27);
  EXPECT_LT(took, 300);
}

// Output nobody reads any more: the program ends quietly at its next pause, with code 0.
TEST(Stream, AReaderThatGoesAwayEndsTheProgramQuietly) {
  int in[2], out[2];
  ASSERT_EQ(pipe(in), 0);
  ASSERT_EQ(pipe(out), 0);
  close(in[1]);
  close(out[0]);
  con::Stream s(in[0], out[1], true);
  int ticks = 0;
  const int code = run(s, [&] {
    for (; ticks < 1000; ++ticks) {
      con::print("tick\n");
      con::Sleep(10);
    }
  });
  close(in[0]);
  close(out[1]);
  EXPECT_EQ(code, 0);
  EXPECT_LT(ticks, 2);
}
