// The terminal backend on a pseudo-terminal, with a model terminal (vt.hpp) on the master side
// that shows what the program writes and answers its start-up queries.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "console/backends/terminal/terminal.hpp"
#include "console/backends/vt.hpp"
#include "console/console.hpp"

namespace {

using con::Terminal;

// What the terminal on the master side is like: its size (reported to the program or not),
// the row the shell left the cursor on, whether it draws ambiguous glyphs two columns wide,
// whether it has the kitty keyboard protocol (granting `grants` of the flags pushed), how many
// DA1s it answers with what was asked before each (-1: every one), its charset.
struct Kind {
  int cols = 120, rows = 40, row = 0;
  bool sized = true, wide = false, kitty = false;
  int grants = 31, rounds = -1;
  const char* charset = "";
};

struct FakeTerminal {
  int master = -1, slave = -1;
  Kind kind;
  std::mutex mu;
  vt::Vt vt;
  std::atomic<bool> stop{false};
  std::thread th;

  explicit FakeTerminal(Kind k = {}) : kind(k), vt(k.cols, k.rows, k.wide) {
    vt.autowrap = true;
    vt.kitty = k.kitty;
    vt.grants = k.grants;
    vt.charset = k.charset;
    vt.y = k.row;
    winsize ws = size(k.sized ? k.cols : 0, k.sized ? k.rows : 0);
    EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, &ws), 0);
    th = std::thread([this] {
      char buf[4096];
      while (!stop) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0) continue;
        ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;
        std::lock_guard<std::mutex> l(mu);
        const int answered = vt.da1s;
        vt.feed(std::string_view(buf, static_cast<size_t>(n)));
        const std::string replies = vt.take_replies();
        if (kind.rounds < 0 || answered < kind.rounds) send(replies);
      }
    });
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
  // The terminal as it is once what the program wrote has arrived.
  vt::Vt now() {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    std::lock_guard<std::mutex> l(mu);
    return vt;
  }
  // Keyboard flags pushed and not popped.
  size_t pushed() { return now().flags.size(); }
  // What was asked and set since the first `from` events.
  std::vector<std::string> events(size_t from = 0) {
    const vt::Vt v = now();
    return {v.events.begin() + static_cast<long>(std::min(from, v.events.size())), v.events.end()};
  }
  long count(const std::string& event) { return std::ranges::count(events(), event); }
  static winsize size(int cols, int rows) {
    return {static_cast<unsigned short>(rows), static_cast<unsigned short>(cols), 0, 0};
  }
  void resize(int cols, int rows) {
    winsize ws = size(cols, rows);
    ioctl(master, TIOCSWINSZ, &ws);
    std::lock_guard<std::mutex> l(mu);
    vt.resize(cols, rows);
  }
  std::string termios_of() {
    struct termios t {};
    tcgetattr(slave, &t);
    return std::string(reinterpret_cast<const char*>(&t), sizeof t);
  }
};

// The program's way out left the terminal as the shell had it: no keyboard flags, focus
// reports off, autowrap on, the default colours, the cursor shown.
void expect_restored(const vt::Vt& v, const std::string& when = "") {
  EXPECT_EQ(std::tuple(v.flags.size(), v.focus, v.autowrap, v.fg, v.bg, v.cursor),
            std::tuple(0u, false, true, 39, 49, true))
      << when;
}

int exit_code_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const con::Exit& e) {
    return e.code;
  }
  return -1;
}

// How long the start (the probe) took, in milliseconds.
int64_t start_ms(Terminal& t, con::Screen& s) {
  using namespace std::chrono;
  const auto t0 = steady_clock::now();
  t.start(s);
  return duration_cast<milliseconds>(steady_clock::now() - t0).count();
}

// The codes the program reads of what the terminal sends.
std::vector<int> read_keys(FakeTerminal& ft, Terminal& t, const std::string& sent) {
  con::KeyQueue q;
  ft.send(sent);
  t.pump(q, t.now_ms() + 30, false);
  std::vector<int> got;
  while (!q.empty()) got.push_back(q.pop());
  return got;
}

// LC_ALL (and LOCPATH) as a test sets them, until the start is over.
struct Locale {
  const char* before = std::getenv("LC_ALL");
  std::string saved = before ? before : "";
  Locale(const char* lc_all, const std::string& locpath = "") {
    if (!locpath.empty()) setenv("LOCPATH", locpath.c_str(), 1);
    setenv("LC_ALL", lc_all, 1);
  }
  void back() {
    unsetenv("LOCPATH");
    before ? setenv("LC_ALL", saved.c_str(), 1) : unsetenv("LC_ALL");
  }
};

TEST(Terminal, ProbeFindsWideAmbiguousGlyphsAndTheKeyboardProtocolAndAllIsUndone) {
  // The shell left the cursor on row 5 of a terminal that draws ambiguous glyphs wide.
  FakeTerminal ft({.row = 4, .wide = true, .kitty = true});
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
  const vt::Vt v = ft.now();
  // The probe: the cursor reported around its glyph (two columns on), the keyboard flags and
  // DA1; then what the terminal grants of our flags, pushed, asked and popped. The run pushes
  // them with focus reports on; the end pops them and sets the modes back.
  EXPECT_EQ(v.events,
            (std::vector<std::string>{"cpr 5;1", "cpr 5;3", "flags?", "da1", "push 31", "flags?",
                                      "pop", "da1", "autowrap off", "focus on", "push 31", "clear",
                                      "pop", "focus off", "autowrap on"}));
  // The four lines the shell used above the cursor went to the scrollback.
  EXPECT_EQ(v.scrolled, 4);
  // The end: "hi" stays, the cursor at the start of the row below it, the rest of the screen
  // in the default colours.
  EXPECT_EQ(std::tuple(v.row(0).substr(0, 3), v.x, v.y, v.blank_from(1)),
            std::tuple("hi ", 0, 1, true));
  expect_restored(v);
}

TEST(Terminal, ATerminalThatAnswersOnlyTheFirstRoundIsReadWithoutTheProtocol) {
  FakeTerminal ft({.kitty = true, .rounds = 1});
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  const int64_t ms = start_ms(t, s);
  EXPECT_FALSE(t.keyboard_protocol());
  EXPECT_LT(ms, Terminal::kProbeTimeoutMs + 300);  // one bounded wait, not more
  t.finish(s);
  EXPECT_EQ(ft.pushed(), 0u);
  EXPECT_EQ(ft.count("push 31"), 1);  // the probe's own, none for the run
}

TEST(Terminal, AProtocolThatGrantsTooLittleIsNotUsed) {
  // Event types without all keys as escapes: Enter, Tab and Backspace would be read twice.
  FakeTerminal ft({.kitty = true, .grants = 1 | 2 | 4 | 16});
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
  EXPECT_EQ(ft.count("push 31"), 1);
}

// GAMEBOX_AMBIGUOUS_WIDTH overrides what the probe measured, by number or by word.
TEST(Terminal, TheAmbiguousWidthVariableOverridesTheProbe) {
  // The value, whether the terminal draws them wide, whether the program takes them so.
  for (const auto& [value, terminal_wide, wide] :
       {std::tuple{"wide", false, true}, std::tuple{"2", false, true},
        std::tuple{"narrow", true, false}, std::tuple{"1", true, false},
        std::tuple{"bogus", true, true}}) {
    setenv("GAMEBOX_AMBIGUOUS_WIDTH", value, 1);
    FakeTerminal ft({.wide = terminal_wide});
    con::Screen s;
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    EXPECT_EQ(t.ambiguous_wide(), wide) << value;
    t.finish(s);
  }
  unsetenv("GAMEBOX_AMBIGUOUS_WIDTH");
}

TEST(Terminal, ASilentTerminalCostsOnlyTheBoundedWait) {
  FakeTerminal ft({.rounds = 0});
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  const int64_t ms = start_ms(t, s);
  EXPECT_GE(ms, Terminal::kProbeTimeoutMs - 5);
  EXPECT_LT(ms, Terminal::kProbeTimeoutMs + 300);
  EXPECT_FALSE(t.ambiguous_wide());
  EXPECT_FALSE(t.keyboard_protocol());
  t.finish(s);
}

TEST(Terminal, KeysArriveWhileSleepingWithTheirHeldState) {
  FakeTerminal ft;  // narrow, no keyboard protocol
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
  FakeTerminal ft({.kitty = true});
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
  FakeTerminal ft;
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  t.start(s);
  s.write("abc");
  t.present(s);
  const size_t mark = ft.events().size();
  ft.resize(80, 24);
  raise(SIGWINCH);
  con::KeyQueue q;
  t.pump(q, t.now_ms() + 30, false);
  EXPECT_EQ(ft.events(mark), std::vector<std::string>{"clear"});
  const vt::Vt v = ft.now();
  EXPECT_EQ(v.row(0).substr(0, 4), "abc ");
  EXPECT_EQ(v.row(23).find(" Terminal too small: 120x30 needed, this one is 80x24."), 0u);
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
    FakeTerminal ft;
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
    int cursor_row, scrolled;
  };
  for (Case c : {Case{40, 12, false, 13, 0}, Case{40, -1, false, 0, 0}, Case{40, 0, true, 30, 0},
                 Case{30, 29, false, 29, 1}, Case{24, 25, false, 23, 1}}) {
    FakeTerminal ft({.rows = c.rows});
    con::Screen s;
    Terminal t(ft.slave, ft.slave);
    t.start(s);
    if (c.recolor) s.recolor(0x10);
    if (c.written_row >= 0) {
      s.move_to(3, c.written_row);
      s.write("x");
    }
    t.finish(s);
    const vt::Vt v = ft.now();
    const std::string which = std::to_string(c.rows) + " " + std::to_string(c.written_row);
    EXPECT_EQ(std::tuple(v.x, v.y, v.scrolled, v.blank_from(c.cursor_row)),
              std::tuple(0, c.cursor_row, c.scrolled, true))
        << which;
    expect_restored(v, which);
  }
}

// A poll that does not wait (_kbhit) still reads what was typed; a terminal that reports no
// size is taken to be the console's; GAMEBOX_KEYBOARD=legacy never asks for the protocol; a
// backend that is let go without its finish restores the terminal all the same.
TEST(Terminal, PollsReadTypedKeysAndTheEnvironmentIsHeeded) {
  setenv("GAMEBOX_KEYBOARD", "legacy", 1);
  FakeTerminal ft({.sized = false});
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
  EXPECT_EQ(ft.count("flags?"), 0);
  const vt::Vt v = ft.now();
  EXPECT_EQ(v.text().find("too small"), std::string::npos);
  EXPECT_EQ(v.row(0).substr(0, 4), "top ");
  expect_restored(v);
}

// Continued after a stop the program did not make (kill -STOP, then -CONT): the shell may have
// reset the terminal, so the modes go back on and the screen is drawn again, once; keys held
// before are up. A run that is left alone writes nothing of its own.
TEST(Terminal, AContinueFromOutsideRedrawsOnceWithTheModesBack) {
  FakeTerminal ft;
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  t.start(s);
  s.write("abc");
  t.present(s);
  con::KeyQueue q;
  ft.send("\x1b[C");
  t.pump(q, t.now_ms() + 30, false);
  EXPECT_TRUE(t.key_down(con::VK_RIGHT));
  const size_t quiet = ft.now().fed, mark = ft.events().size();
  t.pump(q, t.now_ms() + 30, false);
  EXPECT_EQ(ft.now().fed, quiet);
  raise(SIGCONT);
  t.pump(q, t.now_ms() + 30, false);
  EXPECT_EQ(ft.events(mark), (std::vector<std::string>{"autowrap off", "focus on", "clear"}));
  EXPECT_EQ(ft.now().row(0).substr(0, 4), "abc ");
  EXPECT_FALSE(t.key_down(con::VK_RIGHT));
  const size_t redrawn = ft.now().fed;
  t.pump(q, t.now_ms() + 30, false);
  EXPECT_EQ(ft.now().fed, redrawn);
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

// Whether `done` comes true within about 3 s (a loaded machine is slow to start a child).
bool eventually(const std::function<bool()>& done) {
  for (int k = 0; k < 100 && !done(); ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

// Ctrl-Z (the signal, or the key under the keyboard protocol): the terminal is as the shell
// left it while the program is stopped, and the program redraws on fg with its modes back.
TEST(Terminal, CtrlZSuspendsWithTheTerminalRestoredAndFgRedraws) {
  for (bool key : {false, true}) {
    FakeTerminal ft({.kitty = true});
    const std::string before = ft.termios_of();
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      setpgid(0, 0);  // a job of its own, which a stop signal stops
      alarm(20);      // and which ends should the test give up on it
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
    ASSERT_TRUE(eventually([&] { return ft.pushed() == 1; }));
    if (key) {
      ft.send("\x1b[122;5u");
    } else {
      kill(pid, SIGTSTP);
    }
    int status = 0;
    ASSERT_TRUE(wait_child(pid, &status)) << key;
    ASSERT_TRUE(WIFSTOPPED(status)) << key;
    EXPECT_EQ(ft.termios_of(), before) << key;
    const size_t stopped = ft.events().size();
    expect_restored(ft.now(), key ? "stopped by the key" : "stopped by the signal");
    kill(pid, SIGCONT);
    EXPECT_TRUE(eventually([&] { return ft.termios_of() != before && ft.pushed() == 1; })) << key;
    const std::vector<std::string> back = ft.events(stopped);
    EXPECT_NE(std::find(back.begin(), back.end(), "clear"), back.end()) << key;
    EXPECT_EQ(ft.now().row(0).substr(0, 5), "game ") << key;
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
  FakeTerminal ft({.kitty = true});
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
  Locale locale("C.UTF-8");
  FakeTerminal ft({.wide = true});
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  t.start(s);
  locale.back();
  EXPECT_EQ(read_keys(ft, t,
                      "\xe8\xb4\xaa"
                      "1"),
            (std::vector<int>{'?', '1'}));  // 贪, 1
  t.finish(s);
}

TEST(Terminal, UnderAGbkLocaleTheTerminalSpeaksGbk) {
  const std::string dir = gbk_locale_dir();
  if (dir.empty()) GTEST_SKIP() << "no GBK locale (localedef and the zh_CN locale source)";
  Locale locale("zh_CN.GBK", dir);
  FakeTerminal ft({.wide = true, .charset = "GBK"});
  con::Screen s;
  Terminal t(ft.slave, ft.slave);
  const std::string program_locale = std::setlocale(LC_CTYPE, nullptr);
  t.start(s);
  // Learning the terminal's character set leaves the program's own locale as it was.
  EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), program_locale);
  locale.back();
  s.write("贪吃蛇");
  t.present(s);
  EXPECT_EQ(read_keys(ft, t,
                      "\x81\x40"
                      "1"),
            (std::vector<int>{'?', '1'}));
  t.finish(s);
  // The probe's glyph was one GBK character, two columns on; the text came in GBK.
  const vt::Vt v = ft.now();
  EXPECT_EQ(std::vector<std::string>(v.events.begin(), v.events.begin() + 2),
            (std::vector<std::string>{"cpr 1;1", "cpr 1;3"}));
  EXPECT_EQ(v.row(0).substr(0, 10), "贪吃蛇 ");
  EXPECT_EQ(v.bad, 0);
}

TEST(Terminal, ACrashRestoresTheTerminalFromTheSignalHandler) {
  FakeTerminal ft({.kitty = true});  // with the keyboard protocol, popped too
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
  // After the probe's eight queries and pushes: the run's modes, then the handler's restore.
  EXPECT_EQ(ft.events(8), (std::vector<std::string>{"autowrap off", "focus on", "push 31", "pop",
                                                    "focus off", "autowrap on"}));
  expect_restored(ft.now());
}

}  // namespace

#endif
