// The terminal backend on a pseudo-terminal, with a fake terminal on the master side that
// answers the start-up queries.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/backends/terminal/terminal.hpp"
#include "console/console.hpp"

namespace {

using con::Terminal;

// Answers the first DA1 with `answer` (which carries the replies to the first round of the
// probe). A fake that answers the flags query there also keeps a stack of keyboard flags, as
// the protocol has it: pushes (masked by what it grants), pops, and answers later flags queries
// and DA1s from it.
struct FakeTerminal {
  int master = -1, slave = -1;
  std::string answer;         // sent when the first DA1 query arrives
  int grants = 31;            // keyboard flags it grants of those pushed
  bool answers_later = true;  // false: only the first DA1 gets an answer
  std::mutex mu;
  std::string seen;  // everything the program wrote
  std::vector<int> stack;
  std::atomic<bool> stop{false};
  std::thread th;

  explicit FakeTerminal(std::string reply, int cols = 120, int rows = 40)
      : answer(std::move(reply)) {
    struct winsize ws {};
    ws.ws_col = static_cast<unsigned short>(cols);
    ws.ws_row = static_cast<unsigned short>(rows);
    EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, &ws), 0);
    th = std::thread([this] {
      const bool kitty = answer.find("u\x1b[?") != std::string::npos;
      bool first = true;
      size_t done = 0;  // how far the queries in `seen` were answered
      std::string later;
      char buf[4096];
      while (!stop) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0) continue;
        ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;
        std::lock_guard<std::mutex> l(mu);
        seen.append(buf, static_cast<size_t>(n));
        // Every complete CSI sequence, in order.
        for (size_t at; (at = seen.find("\x1b[", done)) != std::string::npos;) {
          size_t end = at + 2;
          while (end < seen.size() && seen[end] >= 0x20 && seen[end] <= 0x3F) ++end;
          if (end >= seen.size()) break;
          const std::string q = seen.substr(at, end + 1 - at);
          done = end + 1;
          if (q == "\x1b[c") {
            if (first || answers_later) send(first ? answer : later + "\x1b[?62c");
            first = false;
            later.clear();
          } else if (kitty && q == "\x1b[?u") {
            later += "\x1b[?" + std::to_string(stack.empty() ? 0 : stack.back()) + "u";
          } else if (kitty && q.size() > 4 && q[2] == '>' && q.back() == 'u') {
            stack.push_back(std::atoi(q.c_str() + 3) & grants);
          } else if (kitty && q == "\x1b[<u") {
            if (!stack.empty()) stack.pop_back();
          }
        }
      }
    });
  }
  // Keyboard flags pushed and not popped.
  size_t pushed() {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    std::lock_guard<std::mutex> l(mu);
    return stack.size();
  }
  ~FakeTerminal() {
    hang_up();
    if (slave >= 0) close(slave);
  }
  // The terminal goes away, as when its window is closed.
  void hang_up() {
    stop = true;
    if (th.joinable()) th.join();
    if (master >= 0) close(master);
    master = -1;
  }
  void send(const std::string& s) {
    EXPECT_EQ(write(master, s.data(), s.size()), (ssize_t)s.size());
  }
  std::string output() {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    std::lock_guard<std::mutex> l(mu);
    // Undo the line discipline's LF to CR LF.
    std::string out;
    for (size_t k = 0; k < seen.size(); ++k)
      if (!(seen[k] == '\r' && k + 1 < seen.size() && seen[k + 1] == '\n')) out += seen[k];
    return out;
  }
  std::string termios_of() {
    struct termios t {};
    tcgetattr(slave, &t);
    return std::string(reinterpret_cast<const char*>(&t), sizeof t);
  }
};

int exit_code_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const con::Exit& e) {
    return e.code;
  }
  return -1;
}

TEST(Terminal, ProbeFindsWideAmbiguousGlyphsAndTheKeyboardProtocolAndAllIsUndone) {
  // Cursor at row 5 before and column 3 after the probe glyph: drawn two columns wide.
  FakeTerminal ft("\x1b[5;1R\x1b[5;3R\x1b[?0u\x1b[?62;22c");
  const std::string before = ft.termios_of();
  con::Screen s;
  {
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    EXPECT_TRUE(t.ambiguous_wide());
    EXPECT_TRUE(t.keyboard_protocol());
    struct termios raw {};
    tcgetattr(ft.slave, &raw);
    // Keys one by one as typed, unechoed and unchanged (no CR to LF, no eighth bit stripped,
    // no Ctrl-V taking the next key); Ctrl-C still signals, Ctrl-S and Ctrl-Q do nothing.
    EXPECT_FALSE(raw.c_lflag & (ICANON | ECHO | ECHONL | IEXTEN));
    EXPECT_TRUE(raw.c_lflag & ISIG);
    EXPECT_FALSE(raw.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK));
    EXPECT_EQ(raw.c_cc[VMIN], 1);
    EXPECT_EQ(raw.c_cc[VTIME], 0);
    s.write("hi");
    t.present(s);
    t.finish(s);
  }
  EXPECT_EQ(ft.termios_of(), before);
  std::string out = ft.output();
  EXPECT_NE(out.find("\x1b[6n\xe2\x97\x8f\x1b[6n\x1b[?u\x1b[c"), std::string::npos);
  // The four lines the shell used above the cursor go to the scrollback.
  EXPECT_NE(out.find("\r\x1b[2K\x1b[40;1H\n\n\n\n"), std::string::npos);
  // The second round asks what the terminal grants of the flags; then the run pushes them.
  const size_t check = out.find("\x1b[>31u\x1b[?u\x1b[<u\x1b[c");
  EXPECT_NE(check, std::string::npos);
  const size_t push = out.find("\x1b[?1004h\x1b[>31u", check);
  EXPECT_NE(push, std::string::npos);
  // The end: protocol popped, focus reports and autowrap as they were, colours reset, the
  // cursor at the start of the row below "hi", the rest of the screen in the default colours,
  // the cursor visible.
  EXPECT_NE(out.find("\x1b[<u\x1b[?1004l\x1b[?7h\x1b[0m\x1b[2;1H\x1b[J\x1b[?25h", push),
            std::string::npos);
  EXPECT_EQ(ft.pushed(), 0u);
}

TEST(Terminal, ATerminalThatAnswersOnlyTheFirstRoundIsReadWithoutTheProtocol) {
  FakeTerminal ft("\x1b[?0u\x1b[?62c");
  ft.answers_later = false;
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  auto t0 = std::chrono::steady_clock::now();
  t.start(s);
  auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  EXPECT_FALSE(t.keyboard_protocol());
  EXPECT_LT(ms, Terminal::kProbeTimeoutMs + 300);  // one bounded wait, not more
  t.finish(s);
  EXPECT_EQ(ft.pushed(), 0u);
  EXPECT_EQ(ft.output().find("\x1b[?1004h\x1b[>"), std::string::npos);
}

TEST(Terminal, AProtocolThatGrantsTooLittleIsNotUsed) {
  // Event types without all keys as escapes: Enter, Tab and Backspace would be read twice.
  FakeTerminal ft("\x1b[?0u\x1b[?62c");
  ft.grants = 1 | 2 | 4 | 16;
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  t.start(s);
  EXPECT_FALSE(t.keyboard_protocol());
  EXPECT_EQ(ft.pushed(), 0u);
  con::KeyQueue q;
  ft.send("\r\r");  // as such a terminal sends one Enter
  t.pump(q, t.now_ms() + 30, false);
  EXPECT_EQ(q.size(), 2u);  // read as typed: nothing is dropped on a guess
  t.finish(s);
  EXPECT_EQ(ft.output().find("\x1b[?1004h\x1b[>"), std::string::npos);
}

// GAMEBOX_AMBIGUOUS_WIDTH overrides what the probe measured, by number or by word.
TEST(Terminal, TheAmbiguousWidthVariableOverridesTheProbe) {
  struct Case {
    const char* value;
    const char* answer;  // the probe's two cursor reports
    bool wide;
  };
  for (const Case& c : {Case{"wide", "\x1b[5;1R\x1b[5;2R\x1b[?62c", true},
                        Case{"2", "\x1b[5;1R\x1b[5;2R\x1b[?62c", true},
                        Case{"narrow", "\x1b[5;1R\x1b[5;3R\x1b[?62c", false},
                        Case{"1", "\x1b[5;1R\x1b[5;3R\x1b[?62c", false},
                        Case{"bogus", "\x1b[5;1R\x1b[5;3R\x1b[?62c", true}}) {
    setenv("GAMEBOX_AMBIGUOUS_WIDTH", c.value, 1);
    FakeTerminal ft(c.answer);
    con::Screen s;
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    EXPECT_EQ(t.ambiguous_wide(), c.wide) << c.value;
    t.finish(s);
  }
  unsetenv("GAMEBOX_AMBIGUOUS_WIDTH");
}

TEST(Terminal, ASilentTerminalCostsOnlyTheBoundedWait) {
  FakeTerminal ft("");
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  auto t0 = std::chrono::steady_clock::now();
  t.start(s);
  auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  EXPECT_GE(ms, Terminal::kProbeTimeoutMs - 5);
  EXPECT_LT(ms, Terminal::kProbeTimeoutMs + 300);
  EXPECT_FALSE(t.ambiguous_wide());
  EXPECT_FALSE(t.keyboard_protocol());
  t.finish(s);
}

TEST(Terminal, KeysArriveWhileSleepingWithTheirHeldState) {
  FakeTerminal ft("\x1b[1;1R\x1b[1;2R\x1b[?62c");  // narrow, no keyboard protocol
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  t.start(s);
  con::KeyQueue q;
  // Nothing typed: a sleep is one wake-up at its deadline.
  uint64_t w0 = t.wakeups();
  int64_t start = t.now_ms();
  t.pump(q, start + 60, false);
  EXPECT_GE(t.now_ms() - start, 60);
  EXPECT_LE(t.wakeups() - w0, 2u);
  EXPECT_TRUE(q.empty());
  // An arrow typed in two pieces while sleeping.
  std::thread typist([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ft.send("\x1b[");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ft.send("Aw");
  });
  t.pump(q, t.now_ms() + 100, false);
  typist.join();
  std::vector<int> got;
  while (!q.empty()) got.push_back(q.pop());
  EXPECT_EQ(got, (std::vector<int>{224, 72, 'w'}));
  EXPECT_TRUE(t.key_down(con::VK_UP));
  EXPECT_FALSE(t.key_down(con::VK_DOWN));
  // A lone Escape is Escape after its short wait, even in a wait for a key.
  ft.send("\x1b");
  t.pump(q, INT64_MAX, true);
  EXPECT_EQ(q.pop(), 27);
  // Focus lost: held keys are up.
  ft.send("\x1b[O");
  t.pump(q, t.now_ms() + 20, false);
  EXPECT_FALSE(t.key_down(con::VK_UP));
  t.finish(s);
}

TEST(Terminal, CtrlCUnderTheProtocolAndFatalSignalsEndTheRunRestored) {
  FakeTerminal ft("\x1b[?1u\x1b[?62c");
  const std::string before = ft.termios_of();
  con::Screen s;
  {
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    ASSERT_TRUE(t.keyboard_protocol());
    con::KeyQueue q;
    ft.send("a");
    EXPECT_EQ(exit_code_of([&] { t.pump(q, INT64_MAX, true); }), -1);
    EXPECT_EQ(q.pop(), 'a');
    ft.send("\x1b[99;5u");
    EXPECT_EQ(exit_code_of([&] { t.pump(q, INT64_MAX, true); }), 128 + SIGINT);
    t.finish(s);
  }
  EXPECT_EQ(ft.termios_of(), before);
  EXPECT_EQ(ft.pushed(), 0u);
  for (int sig : {SIGTERM, SIGHUP, SIGQUIT, SIGINT}) {
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    con::KeyQueue q;
    std::thread killer([sig] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      kill(getpid(), sig);
    });
    EXPECT_EQ(exit_code_of([&] { t.pump(q, t.now_ms() + 5000, false); }), 128 + sig);
    killer.join();
    t.finish(s);
    EXPECT_EQ(ft.termios_of(), before) << sig;
    EXPECT_EQ(ft.pushed(), 0u) << sig;
  }
}

TEST(Terminal, AResizeRedrawsInFullAndAGoneTerminalEndsQuietly) {
  FakeTerminal ft("\x1b[?62c");
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  t.start(s);
  s.write("abc");
  t.present(s);
  std::string mark = ft.output();
  struct winsize ws {};
  ws.ws_col = 80;
  ws.ws_row = 24;
  ioctl(ft.master, TIOCSWINSZ, &ws);
  raise(SIGWINCH);
  con::KeyQueue q;
  t.pump(q, t.now_ms() + 30, false);
  std::string after = ft.output().substr(mark.size());
  EXPECT_NE(after.find("\x1b[2J"), std::string::npos);
  EXPECT_NE(after.find("Terminal too small: 120x30 needed, this one is 80x24"), std::string::npos);
  // The terminal closes: the run ends with no spinning and no error.
  ft.hang_up();
  EXPECT_EQ(exit_code_of([&] { t.pump(q, INT64_MAX, true); }), 0);
  t.finish(s);
}

// The program's own handlers are in place only while it runs: whatever the caller had is back
// after the end. Meanwhile a broken pipe is no signal.
void mark(int) {}

TEST(Terminal, SignalHandlersAreTheProgramsOnlyWhileItRuns) {
  const int sigs[] = {SIGINT, SIGTERM, SIGHUP,  SIGQUIT, SIGSEGV,  SIGBUS, SIGFPE,
                      SIGILL, SIGABRT, SIGTSTP, SIGCONT, SIGWINCH, SIGPIPE};
  struct sigaction saved[13], mine{};
  mine.sa_handler = mark;
  sigemptyset(&mine.sa_mask);
  for (int k = 0; k < 13; ++k) sigaction(sigs[k], &mine, &saved[k]);
  auto handler = [](int sig) {
    struct sigaction now {};
    sigaction(sig, nullptr, &now);
    return now.sa_handler;
  };
  {
    FakeTerminal ft("\x1b[?62c");
    con::Screen s;
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    for (int sig : sigs) {
      if (sig == SIGPIPE) {
        EXPECT_EQ(handler(sig), SIG_IGN);
      } else {
        EXPECT_NE(handler(sig), mark) << sig;
      }
    }
    t.finish(s);
    for (int sig : sigs) EXPECT_EQ(handler(sig), mark) << sig;
  }
  for (int k = 0; k < 13; ++k) sigaction(sigs[k], &saved[k], nullptr);
}

// Where the shell's prompt goes at the end: the row below the lowest one written, or after a
// line feed from the bottom row when that is the lowest (also in a terminal shorter than the
// console, and when a "color" coloured every row).
TEST(Terminal, TheEndLeavesTheCursorBelowWhatWasWritten) {
  struct Case {
    int rows, written_row;
    bool recolor;
    const char* end;
  };
  for (Case c : {Case{40, 12, false, "\x1b[14;1H\x1b[J\x1b[?25h"},
                 Case{40, -1, false, "\x1b[1;1H\x1b[J\x1b[?25h"},
                 Case{40, 0, true, "\x1b[31;1H\x1b[J\x1b[?25h"},
                 Case{30, 29, false, "\x1b[30;1H\r\n\x1b[?25h"},
                 Case{24, 25, false, "\x1b[24;1H\r\n\x1b[?25h"}}) {
    FakeTerminal ft("\x1b[?62c", 120, c.rows);
    con::Screen s;
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    if (c.recolor) s.recolor(0x10);
    if (c.written_row >= 0) {
      s.move_to(3, c.written_row);
      s.write("x");
    }
    t.finish(s);
    const std::string out = ft.output();
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), strlen(c.end))), c.end)
        << c.rows << " " << c.written_row << " "
        << testing::PrintToString(out.substr(out.size() - 40));
  }
}

// A poll that does not wait (_kbhit) still reads what was typed; a terminal that reports no
// size is taken to be the console's; GAMEBOX_KEYBOARD=legacy never asks for the protocol; a
// backend that is let go without its finish restores the terminal all the same.
TEST(Terminal, PollsReadTypedKeysAndTheEnvironmentIsHeeded) {
  setenv("GAMEBOX_KEYBOARD", "legacy", 1);
  FakeTerminal ft("\x1b[?62c", 0, 0);
  const std::string before = ft.termios_of();
  {
    con::Screen s;
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    unsetenv("GAMEBOX_KEYBOARD");
    EXPECT_FALSE(t.keyboard_protocol());
    s.write("top");
    t.present(s);
    ft.send("k");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    con::KeyQueue q;
    t.pump(q, t.now_ms(), false);
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q.pop(), 'k');
  }
  EXPECT_EQ(ft.termios_of(), before);
  const std::string out = ft.output();
  EXPECT_EQ(out.find("\x1b[?u"), std::string::npos);
  EXPECT_EQ(out.find("too small"), std::string::npos);
  EXPECT_NE(out.find("top"), std::string::npos);
  EXPECT_NE(out.find("\x1b[?1004l\x1b[?7h\x1b[0m"), std::string::npos);
}

// Continued after a stop the program did not make (kill -STOP, then -CONT): the shell may have
// reset the terminal, so the modes go back on and the screen is drawn again, once; keys held
// before are up. A run that is left alone writes nothing of its own.
TEST(Terminal, AContinueFromOutsideRedrawsOnceWithTheModesBack) {
  FakeTerminal ft("\x1b[1;1R\x1b[1;2R\x1b[?62c");
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  t.start(s);
  s.write("abc");
  t.present(s);
  con::KeyQueue q;
  ft.send("\x1b[C");
  t.pump(q, t.now_ms() + 30, false);
  EXPECT_TRUE(t.key_down(con::VK_RIGHT));
  const size_t quiet = ft.output().size();
  t.pump(q, t.now_ms() + 30, false);
  EXPECT_EQ(ft.output().size(), quiet);
  raise(SIGCONT);
  t.pump(q, t.now_ms() + 30, false);
  const std::string after = ft.output().substr(quiet);
  EXPECT_EQ(after.find("\x1b[?7l\x1b[?1004h"), 0u) << testing::PrintToString(after);
  EXPECT_NE(after.find("\x1b[2J"), std::string::npos);
  EXPECT_NE(after.find("abc"), std::string::npos);
  EXPECT_FALSE(t.key_down(con::VK_RIGHT));
  const size_t redrawn = ft.output().size();
  t.pump(q, t.now_ms() + 30, false);
  EXPECT_EQ(ft.output().size(), redrawn);
  struct termios raw {};
  tcgetattr(ft.slave, &raw);
  EXPECT_FALSE(raw.c_lflag & ICANON);
  t.finish(s);
}

// Waits up to 3 s for the child to stop or end; false if it did neither.
bool wait_child(pid_t pid, int* status) {
  for (int k = 0; k < 300; ++k) {
    if (waitpid(pid, status, WUNTRACED | WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Ctrl-Z (the signal, or the key under the keyboard protocol): the terminal is as the shell
// left it while the program is stopped, and the program redraws on fg with its modes back.
TEST(Terminal, CtrlZSuspendsWithTheTerminalRestoredAndFgRedraws) {
  for (bool key : {false, true}) {
    FakeTerminal ft("\x1b[?0u\x1b[?62c");
    const std::string before = ft.termios_of();
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      setpgid(0, 0);  // a job of its own, which a stop signal stops
      con::Screen s;
      Terminal t(ft.slave, ft.slave);
      t.start(s);
      s.write("game");
      t.present(s);
      con::KeyQueue q;
      int code = 1;
      try {
        t.pump(q, INT64_MAX, true);
        if (q.pop() == 'q') code = 0;
      } catch (const con::Exit&) {
        code = 2;
      }
      t.finish(s);
      _exit(code);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(ft.pushed(), 1u);
    const size_t running = ft.output().size();
    if (key) {
      ft.send("\x1b[122;5u");
    } else {
      kill(pid, SIGTSTP);
    }
    int status = 0;
    ASSERT_TRUE(wait_child(pid, &status)) << key;
    ASSERT_TRUE(WIFSTOPPED(status)) << key;
    EXPECT_EQ(ft.termios_of(), before) << key;
    EXPECT_EQ(ft.pushed(), 0u) << key;
    const std::string stopped = ft.output();
    EXPECT_NE(stopped.find("\x1b[?1004l\x1b[?7h\x1b[0m", running), std::string::npos) << key;
    kill(pid, SIGCONT);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(ft.termios_of(), before) << key;
    EXPECT_EQ(ft.pushed(), 1u) << key;
    const std::string back = ft.output().substr(stopped.size());
    EXPECT_NE(back.find("\x1b[2J"), std::string::npos) << key;
    EXPECT_NE(back.find("game"), std::string::npos) << key;
    ft.send("q");
    ASSERT_TRUE(wait_child(pid, &status)) << key;
    EXPECT_TRUE(WIFEXITED(status)) << key;
    EXPECT_EQ(WEXITSTATUS(status), 0) << key;
    EXPECT_EQ(ft.termios_of(), before) << key;
    EXPECT_EQ(ft.pushed(), 0u) << key;
  }
}

// A second Ctrl-C while the program has not come back to a console call ends it from the
// handler, with the terminal restored.
TEST(Terminal, ASecondCtrlCEndsTheRunFromTheHandlerRestored) {
  FakeTerminal ft("\x1b[?0u\x1b[?62c");
  const std::string before = ft.termios_of();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    con::Screen s;
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    raise(SIGINT);
    raise(SIGINT);
    _exit(0);  // not reached
  }
  int status = 0;
  ASSERT_TRUE(wait_child(pid, &status));
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_EQ(ft.termios_of(), before);
  EXPECT_EQ(ft.pushed(), 0u);
}

// A GBK locale for the test, built once with localedef where the locale sources are there;
// empty when it cannot be had.
std::string gbk_locale_dir() {
  const std::string dir = testing::TempDir() + "gamebox-gbk-locale";
  if (access((dir + "/zh_CN.GBK").c_str(), F_OK) == 0) return dir;
  // Built aside and moved into place, so that tests running at once never see half of it.
  const std::string tmp = dir + "." + std::to_string(getpid());
  const std::string cmd =
      "mkdir -p '" + tmp + "' && localedef -f GBK -i zh_CN '" + tmp + "/zh_CN.GBK' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) == 0) rename(tmp.c_str(), dir.c_str());
  (void)!std::system(("rm -rf '" + tmp + "'").c_str());
  return access((dir + "/zh_CN.GBK").c_str(), F_OK) == 0 ? dir : "";
}

// Under a GBK locale the terminal is written in GBK (the probe's glyph too) and what it sends
// is read as GBK: a two-byte character is one key, even one whose second byte is ASCII.
TEST(Terminal, UnderAUtf8LocaleTypedTextIsUtf8) {
  const char* lc_all = std::getenv("LC_ALL");
  const std::string saved = lc_all ? lc_all : "";
  setenv("LC_ALL", "C.UTF-8", 1);
  FakeTerminal ft("\x1b[1;1R\x1b[1;3R\x1b[?62c");
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  t.start(s);
  if (lc_all) {
    setenv("LC_ALL", saved.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
  con::KeyQueue q;
  ft.send(
      "\xe8\xb4\xaa"
      "1");  // 贪, then a digit
  t.pump(q, t.now_ms() + 30, false);
  std::vector<int> got;
  while (!q.empty()) got.push_back(q.pop());
  EXPECT_EQ(got, (std::vector<int>{'?', '1'}));
  t.finish(s);
}

TEST(Terminal, UnderAGbkLocaleTheTerminalSpeaksGbk) {
  const std::string dir = gbk_locale_dir();
  if (dir.empty()) GTEST_SKIP() << "no GBK locale (localedef and the zh_CN locale source)";
  const char* lc_all = std::getenv("LC_ALL");
  const std::string saved = lc_all ? lc_all : "";
  setenv("LOCPATH", dir.c_str(), 1);
  setenv("LC_ALL", "zh_CN.GBK", 1);
  FakeTerminal ft("\x1b[1;1R\x1b[1;3R\x1b[?62c");
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  const std::string program_locale = std::setlocale(LC_CTYPE, nullptr);
  t.start(s);
  // Learning the terminal's character set leaves the program's own locale as it was.
  EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), program_locale);
  unsetenv("LOCPATH");
  if (lc_all) {
    setenv("LC_ALL", saved.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
  s.write("贪吃蛇");
  t.present(s);
  con::KeyQueue q;
  ft.send(
      "\x81\x40"
      "1");
  t.pump(q, t.now_ms() + 30, false);
  std::vector<int> got;
  while (!q.empty()) got.push_back(q.pop());
  EXPECT_EQ(got, (std::vector<int>{'?', '1'}));
  t.finish(s);
  const std::string out = ft.output();
  EXPECT_NE(out.find("\x1b[6n\xa1\xf1\x1b[6n"), std::string::npos);
  EXPECT_NE(out.find("\xcc\xb0\xb3\xd4\xc9\xdf"), std::string::npos);
}

TEST(Terminal, ACrashRestoresTheTerminalFromTheSignalHandler) {
  FakeTerminal ft("\x1b[?0u\x1b[?62c");  // with the keyboard protocol, popped too
  const std::string before = ft.termios_of();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    struct rlimit no_core {};
    setrlimit(RLIMIT_CORE, &no_core);
    con::Screen s;
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    raise(SIGSEGV);
    _exit(0);  // not reached
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);  // the crash goes on to its default end
  EXPECT_EQ(ft.termios_of(), before);
  std::string out = ft.output();
  EXPECT_NE(out.find("\x1b[<u\x1b[?1004l\x1b[?7h\x1b[0m\x1b[?25h", out.find("\x1b[?7l")),
            std::string::npos);
  EXPECT_EQ(ft.pushed(), 0u);
}

}  // namespace

#endif
