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
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/console.hpp"
#include "console/terminal.hpp"

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
    EXPECT_FALSE(raw.c_lflag & (ICANON | ECHO));
    EXPECT_TRUE(raw.c_lflag & ISIG);   // Ctrl-C still signals
    EXPECT_FALSE(raw.c_iflag & IXON);  // Ctrl-S does not freeze
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
