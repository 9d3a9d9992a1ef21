// keylog: records what a terminal sends for the keys typed into it, with the time each read
// arrived, in the trace format the input tests replay (tests/console/input/traces/README.md).
//
//   keylog [-f FLAGS] [-q] [-t SECONDS] OUT
//
// The terminal is set up as the game box sets it up: raw input with the signal keys still
// signalling, focus reports on, and with -f the kitty keyboard flags pushed (followed by a
// query of the flags, whose answer is the trace's first read); -q asks for the keyboard flags
// in force and the device attributes without pushing any, to see what a program left behind
// (a terminal with the protocol answers CSI ? flags u, every terminal CSI ? ... c). OUT is
// written only once the
// terminal is ready, so a script can wait for it before it types; its first line says where
// time 0 is on the monotonic clock. Ends after SECONDS (default 10) or at SIGTERM, SIGINT or
// SIGHUP, with the terminal restored.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

volatile sig_atomic_t g_stop = 0;
void on_stop(int) {
  g_stop = 1;
}

int64_t now_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void put(int fd, const std::string& s) {
  size_t done = 0;
  while (done < s.size()) {
    ssize_t n = ::write(fd, s.data() + done, s.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Printable ASCII stands as it is; everything else (and the backslash, and space, so a line
// splits cleanly) as \xNN.
std::string escaped(const char* p, size_t n) {
  std::string out;
  for (size_t k = 0; k < n; ++k) {
    const auto b = static_cast<unsigned char>(p[k]);
    if (b > 0x20 && b < 0x7F && b != '\\') {
      out += static_cast<char>(b);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", b);
      out += hex;
    }
  }
  return out;
}

int usage() {
  std::fprintf(stderr, "usage: keylog [-f FLAGS] [-q] [-t SECONDS] OUT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int flags = 0;
  bool query = false;
  double seconds = 10;
  const char* out_path = nullptr;
  for (int k = 1; k < argc; ++k) {
    if (!std::strcmp(argv[k], "-f") && k + 1 < argc) {
      flags = std::atoi(argv[++k]);
    } else if (!std::strcmp(argv[k], "-q")) {
      query = true;
    } else if (!std::strcmp(argv[k], "-t") && k + 1 < argc) {
      seconds = std::atof(argv[++k]);
    } else if (argv[k][0] != '-' && !out_path) {
      out_path = argv[k];
    } else {
      return usage();
    }
  }
  if (!out_path) return usage();

  const int tty = STDIN_FILENO;
  struct termios saved {};
  if (::tcgetattr(tty, &saved) != 0) {
    std::perror("keylog: not a terminal");
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = on_stop;
  sigemptyset(&sa.sa_mask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &sa, nullptr);

  struct termios raw = saved;
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK);
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
  raw.c_lflag |= ISIG;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(tty, TCSANOW, &raw);

  std::string modes = "\x1b[?1004h";
  if (flags > 0) modes += "\x1b[>" + std::to_string(flags) + "u\x1b[?u";
  if (query) modes += "\x1b[?u\x1b[c";
  put(STDOUT_FILENO, modes + "keylog: recording\r\n");

  std::string log;
  const int64_t t0 = now_ms();
  const int64_t end = t0 + static_cast<int64_t>(seconds * 1000);
  // Only now is the terminal ready: the file appearing says so.
  FILE* f = std::fopen(out_path, "w");
  if (!f) {
    std::perror("keylog: cannot write the trace");
    g_stop = 1;
  } else {
    // Where time 0 is on the monotonic clock, so a script typing meanwhile can put its actions
    // on the same time line.
    std::fprintf(f, "# monotonic ms at 0: %lld\n", static_cast<long long>(t0));
    std::fflush(f);
  }
  while (!g_stop) {
    const int64_t left = end - now_ms();
    if (left <= 0) break;
    pollfd p{tty, POLLIN, 0};
    int r = ::poll(&p, 1, static_cast<int>(left));
    if (r <= 0) continue;
    char buf[4096];
    ssize_t n = ::read(tty, buf, sizeof buf);
    if (n <= 0) break;
    std::fprintf(f, "%lld %s\n", static_cast<long long>(now_ms() - t0),
                 escaped(buf, static_cast<size_t>(n)).c_str());
    std::fflush(f);
  }
  if (f) std::fclose(f);
  put(STDOUT_FILENO, std::string(flags > 0 ? "\x1b[<u" : "") + "\x1b[?1004l");
  ::tcsetattr(tty, TCSADRAIN, &saved);
  return 0;
}
