#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

#include "console/backends/fdio_posix.hpp"
#include "console/backends/terminal/terminal.hpp"
#include "console/console.hpp"
#include "console/input/protocol.hpp"

namespace con {
namespace {

// --- Signals ---------------------------------------------------------------------------------
// Handlers only set flags and wake the pump through a pipe; the pump acts on them between
// console calls. The exceptions are a second fatal signal (the program did not come back to a
// console call) and the crash signals: they restore the terminal from the handler, with
// nothing but write and tcsetattr, and end the program.

volatile sig_atomic_t g_quit = 0;  // the first fatal signal
volatile sig_atomic_t g_tstp = 0, g_cont = 0, g_winch = 0;
volatile sig_atomic_t g_armed = 0;  // an emergency restore is ready
int g_pipe[2] = {-1, -1};
int g_in = -1, g_out = -1;
struct termios g_saved;
char g_restore[64];
size_t g_restore_len = 0;

void wake() {
  int saved = errno;
  if (g_pipe[1] >= 0) (void)!::write(g_pipe[1], "!", 1);
  errno = saved;
}

void emergency_restore() {
  if (!g_armed) return;
  g_armed = 0;
  (void)!::write(g_out, g_restore, g_restore_len);
  ::tcsetattr(g_in, TCSANOW, &g_saved);
}

void on_quit(int sig) {
  if (g_quit) {
    // Asked twice and the program has not come back to a console call: end from here.
    emergency_restore();
    ::_exit(128 + sig);
  }
  g_quit = sig;
  wake();
}

void on_crash(int sig) {
  emergency_restore();
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

void on_tstp(int) {
  g_tstp = 1;
  wake();
}
void on_cont(int) {
  g_cont = 1;
  wake();
}
void on_winch(int) {
  g_winch = 1;
  wake();
}

// Every signal the terminal backend handles while it runs, with its handler; what was there
// before is put back at the end.
struct Handled {
  int sig;
  void (*handler)(int);
  unsigned flags;  // SA_RESETHAND is the sign bit
};
const Handled kHandled[] = {
    {SIGINT, on_quit, SA_RESTART},
    {SIGTERM, on_quit, SA_RESTART},
    {SIGHUP, on_quit, SA_RESTART},
    {SIGQUIT, on_quit, SA_RESTART},
    {SIGSEGV, on_crash, SA_RESETHAND | SA_NODEFER},
    {SIGBUS, on_crash, SA_RESETHAND | SA_NODEFER},
    {SIGFPE, on_crash, SA_RESETHAND | SA_NODEFER},
    {SIGILL, on_crash, SA_RESETHAND | SA_NODEFER},
    {SIGABRT, on_crash, SA_RESETHAND | SA_NODEFER},
    {SIGTSTP, on_tstp, SA_RESTART},
    {SIGCONT, on_cont, SA_RESTART},
    {SIGWINCH, on_winch, SA_RESTART},
    // A terminal that goes away makes writes fail (and we end quietly), not kill us.
    {SIGPIPE, SIG_IGN, 0},
};
struct sigaction g_old[std::size(kHandled)];

void install_handlers() {
  for (size_t k = 0; k < std::size(kHandled); ++k) {
    struct sigaction sa {};
    sa.sa_handler = kHandled[k].handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = static_cast<int>(kHandled[k].flags);
    ::sigaction(kHandled[k].sig, &sa, &g_old[k]);
  }
}

void restore_handlers() {
  for (size_t k = 0; k < std::size(kHandled); ++k) ::sigaction(kHandled[k].sig, &g_old[k], nullptr);
}

int64_t monotonic_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// GAMEBOX_AMBIGUOUS_WIDTH: 1 or 2 (or narrow/wide); 0 when unset or not understood.
int ambiguous_override() {
  const char* v = std::getenv("GAMEBOX_AMBIGUOUS_WIDTH");
  if (!v) return 0;
  if (!std::strcmp(v, "1") || !strcasecmp(v, "narrow") || !strcasecmp(v, "single")) return 1;
  if (!std::strcmp(v, "2") || !strcasecmp(v, "wide") || !strcasecmp(v, "double")) return 2;
  return 0;
}

bool legacy_keyboard() {
  const char* v = std::getenv("GAMEBOX_KEYBOARD");
  return v && !strcasecmp(v, "legacy");
}

void append_cup(std::string& out, int row, int col) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "\x1b[%d;%dH", row + 1, col + 1);
  out.append(buf, static_cast<size_t>(n));
}

// The lowest row of the model that holds anything but a blank in the attribute a fresh
// console has (text, or cells a "color" or "cls" coloured); -1 when there is none.
int lowest_written_row(const Screen& s) {
  const Cell fresh{};
  for (int y = s.height() - 1; y >= 0; --y)
    for (int x = 0; x < s.width(); ++x)
      if (!(s.at(x, y) == fresh)) return y;
  return -1;
}

}  // namespace

Terminal::Terminal(int in_fd, int out_fd) : in_fd_(in_fd), out_fd_(out_fd) {}

Terminal::~Terminal() {
  if (started_ && !finished_ && screen_) finish(*screen_);
}

int64_t Terminal::now_ms() {
  return monotonic_ms();
}

int64_t Terminal::wall_seconds() {
  return static_cast<int64_t>(std::time(nullptr));
}

void Terminal::start(Screen& s) {
  screen_ = &s;
  started_ = true;
  g_quit = 0;
  g_tstp = 0;
  g_cont = 0;
  g_winch = 0;
  std::string gb = Encoder::locale_charset();
  if (!gb.empty() && encoder_.set_charset(gb)) input_.set_gbk(true);

  have_saved_ = ::tcgetattr(in_fd_, &saved_) == 0;
  g_in = in_fd_;
  g_out = out_fd_;
  if (have_saved_) g_saved = saved_;
  if (::pipe(g_pipe) == 0) {
    for (int fd : g_pipe) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  install_handlers();
  update_size();
  enter_raw();
  probe();
  enter_modes();
}

// Raw input (no echo, no line editing, no CR to LF, no XON/XOFF) but with ISIG, so Ctrl-C,
// Ctrl-\ and Ctrl-Z keep their signals. Output processing stays as it was.
void Terminal::enter_raw() {
  if (have_saved_) {
    struct termios raw = saved_;
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK);
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    raw.c_lflag |= ISIG;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    while (::tcsetattr(in_fd_, TCSANOW, &raw) < 0 && errno == EINTR) {
    }
  }
  arm_emergency();
}

void Terminal::enter_modes() {
  // DECAWM off: writing the last column never scrolls. Focus reports on. The keyboard protocol
  // with the flags the probe found granted (input/protocol.hpp).
  std::string modes = "\x1b[?7l\x1b[?1004h";
  if (protocol_) modes += kitty::kPush;
  write_all(modes);
  arm_emergency();
}

void Terminal::arm_emergency() {
  g_armed = 0;
  std::string r = protocol_ ? "\x1b[<u" : "";
  r += "\x1b[?1004l\x1b[?7h\x1b[0m\x1b[?25h\r\n";
  std::memcpy(g_restore, r.data(), r.size());
  g_restore_len = r.size();
  g_armed = have_saved_ ? 1 : 0;
}

// One round trip: where the cursor is, how wide the ambiguous glyph is drawn (two cursor
// reports around it), whether the kitty keyboard protocol answers, and DA1 as the sentinel
// that every terminal answers last. Where the protocol answers, a second round finds out which
// of our flags it grants (input/protocol.hpp).
void Terminal::probe() {
  const int amb = ambiguous_override();
  std::string q = "\x1b[6n";  // DSR-CPR
  if (!amb) {
    encoder_.put(kProbeGlyph, q);
    q += "\x1b[6n";
  }
  if (!legacy_keyboard()) q += kitty::kQuery;
  q += "\x1b[c";  // DA1
  write_all(q);

  std::vector<KeyEvent> cpr;
  bool has_protocol = false;
  std::vector<KeyEvent> replies;
  bool done = await_replies(replies);
  for (const KeyEvent& e : replies) {
    if (e.kind == KeyEvent::CursorReport) cpr.push_back(e);
    if (e.kind == KeyEvent::KeyboardFlags) has_protocol = true;
  }
  if (has_protocol && done) {
    // It has the protocol: what does it grant of what we want? Pushed, asked, popped.
    write_all(std::string(kitty::kPush) + kitty::kQuery + kitty::kPop + "\x1b[c");
    replies.clear();
    done = await_replies(replies);
    int flags = 0;
    for (const KeyEvent& e : replies)
      if (e.kind == KeyEvent::KeyboardFlags) flags = e.arg[0];
    protocol_ = done && kitty::granted(flags);
  }
  reply_outstanding_ = !done;
  input_.set_protocol(protocol_);
  if (amb) {
    amb_wide_ = amb == 2;
  } else if (cpr.size() >= 2 && cpr[0].arg[0] == cpr[1].arg[0]) {
    amb_wide_ = cpr[1].arg[1] - cpr[0].arg[1] == 2;
  }
  presenter_.set_ambiguous_wide(amb_wide_);

  // Blank the probe's line and push what the shell showed above it into the scrollback, so
  // the game draws on an empty screen and the player's earlier output is kept.
  int rows_used = cpr.empty() ? presenter_.rows() : cpr[0].arg[0] - 1;
  std::string s = "\r\x1b[2K";
  if (rows_used > 0) {
    append_cup(s, presenter_.rows() - 1, 0);
    s.append(static_cast<size_t>(std::min(rows_used, presenter_.rows())), '\n');
  }
  write_all(s);
}

// Reads the terminal's replies until its answer to DA1, within the probe's bounded wait; false
// when that answer did not come.
bool Terminal::await_replies(std::vector<KeyEvent>& replies) {
  const int64_t deadline = now_ms() + kProbeTimeoutMs;
  while (!gone_) {
    const int64_t left = deadline - now_ms();
    if (left <= 0 || !read_input(static_cast<int>(left))) return false;
    for (const KeyEvent& e : input_.take_replies()) {
      replies.push_back(e);
      if (e.kind == KeyEvent::Attributes) return true;
    }
  }
  return false;
}

void Terminal::leave() {
  std::string s;
  if (screen_ && !gone_) {
    // The last screen stays, without the notice: its row shows what the model has there.
    presenter_.set_notice(false);
    presenter_.frame(*screen_, s);
    presenter_.set_notice(true);
  }
  if (protocol_) s += "\x1b[<u";
  s += "\x1b[?1004l\x1b[?7h\x1b[0m";
  // The shell goes on at column 0 of the row below the lowest one the program wrote, in the
  // terminal's default colours down to the bottom; from the bottom row, after a line feed.
  const int rows = presenter_.rows();
  const int below = screen_ ? std::min(lowest_written_row(*screen_), rows - 1) + 1 : 0;
  if (below < rows) {
    append_cup(s, below, 0);
    s += "\x1b[J";
  } else {
    append_cup(s, rows - 1, 0);
    s += "\r\n";
  }
  s += "\x1b[?25h";
  write_all(s);
  g_armed = 0;
  if (have_saved_) {
    while (::tcsetattr(in_fd_, gone_ ? TCSANOW : TCSADRAIN, &saved_) < 0 && errno == EINTR) {
    }
  }
}

void Terminal::finish(const Screen& s) {
  if (!started_ || finished_) return;
  screen_ = &s;
  present(s);
  finished_ = true;
  if (reply_outstanding_ && !gone_) {
    // A reply to the start-up queries may still come: let it arrive, then drop it, so it does
    // not reach the shell as typed text.
    read_input(100);
    ::tcflush(in_fd_, TCIFLUSH);
  }
  leave();
  restore_handlers();
  g_quit = 0;
  for (int& fd : g_pipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void Terminal::write_all(const std::string& bytes) {
  if (gone_) return;
  size_t done = write_fully(out_fd_, bytes.data(), bytes.size());
  // Hung up, closed, an I/O error: the program ends quietly at its next call.
  if (done < bytes.size()) gone_ = true;
}

void Terminal::present(const Screen& s) {
  screen_ = &s;
  if (gone_ || !started_ || finished_) return;
  out_.clear();
  presenter_.frame(s, out_);
  if (out_.empty()) return;
  write_all(out_);
}

void Terminal::update_size() {
  struct winsize ws {};
  if (::ioctl(out_fd_, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    presenter_.set_size(ws.ws_col, ws.ws_row);
  } else if (screen_) {
    presenter_.set_size(screen_->width(), screen_->height());
  }
}

void Terminal::redraw() {
  presenter_.invalidate();
  if (screen_) present(*screen_);
}

bool Terminal::read_input(int timeout_ms) {
  if (gone_) return false;
  pollfd fds[2] = {{in_fd_, POLLIN, 0}, {g_pipe[0], POLLIN, 0}};
  int r = ::poll(fds, g_pipe[0] >= 0 ? 2 : 1, timeout_ms);
  if (timeout_ms != 0) ++wakeups_;  // a poll that did not wait woke nothing
  if (r < 0) {
    if (errno != EINTR && errno != EAGAIN) gone_ = true;
    return !gone_;
  }
  if (r > 0 && g_pipe[0] >= 0 && (fds[1].revents & POLLIN)) {
    char drain[64];
    while (::read(g_pipe[0], drain, sizeof drain) > 0) {
    }
  }
  const int64_t now = now_ms();
  if (fds[0].revents & POLLIN) {
    char buf[4096];
    ssize_t n = ::read(in_fd_, buf, sizeof buf);
    if (n > 0) {
      input_.feed(buf, static_cast<size_t>(n), now);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      gone_ = true;
    }
  } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
    gone_ = true;
  }
  if (input_.pending() && now >= input_.deadline()) input_.flush(now, gone_);
  return !gone_;
}

void Terminal::dispatch(KeyQueue& q) {
  // Under the keyboard protocol Ctrl-C, Ctrl-\ and Ctrl-Z come as keys: they act as their
  // signals do. Whatever followed them waits until we are back.
  while (int sig = input_.dispatch(q)) {
    if (sig == SIGTSTP) {
      suspend();
    } else {
      throw Exit{128 + sig};
    }
  }
}

void Terminal::suspend() {
  input_.release_all();
  // The rest of our job (a parent such as make, or a subshell) stops at once, and the shell
  // may take the terminal back before we are done: with SIGTTOU blocked the restore still
  // goes through instead of stopping us half way.
  sigset_t ttou, old;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  ::sigprocmask(SIG_BLOCK, &ttou, &old);
  leave();
  ::sigprocmask(SIG_SETMASK, &old, nullptr);
  struct sigaction dfl {
  }, mine{};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(SIGTSTP, &dfl, &mine);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTSTP);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(SIGTSTP);  // stopped here until the shell's fg
  ::sigaction(SIGTSTP, &mine, nullptr);
  g_tstp = 0;
  g_cont = 0;
  update_size();
  enter_raw();
  enter_modes();
  redraw();
}

void Terminal::handle_signals() {
  if (g_quit) throw Exit{128 + g_quit};
  if (g_tstp) {
    g_tstp = 0;
    suspend();
  }
  if (g_cont) {
    // Continued after a stop we did not make (kill -STOP): the shell may have reset the modes.
    g_cont = 0;
    input_.release_all();
    update_size();
    enter_raw();
    enter_modes();
    redraw();
  }
  if (g_winch) {
    g_winch = 0;
    update_size();
    redraw();
  }
}

void Terminal::pump(KeyQueue& q, int64_t deadline_ms, bool until_key) {
  bool polled = false;
  for (;;) {
    handle_signals();
    if (gone_) throw Exit{0};
    dispatch(q);
    if (until_key && !q.empty()) return;
    const int64_t now = now_ms();
    if (!until_key && polled && now >= deadline_ms) return;
    int64_t wait = until_key ? -1 : std::max<int64_t>(deadline_ms - now, 0);
    if (input_.pending()) {
      int64_t esc = std::max<int64_t>(input_.deadline() - now, 0);
      if (wait < 0 || esc < wait) wait = esc;
    }
    if (wait > 1000000) wait = 1000000;
    read_input(static_cast<int>(wait));
    polled = true;
  }
}

bool Terminal::key_down(int vk) {
  return input_.key_down(vk, now_ms());
}

}  // namespace con
