// Figures for the terminal presenter: bytes written per frame and CPU per frame, for a scripted
// snake game and for a series of "cls" plus full redraws, each against a write-through baseline
// that sends every primitive's output at once (cursor move, colour and text for every call);
// then the real terminal backend on a pseudo-terminal: CPU share and wake-ups of a game loop.
//
// Usage: present_bench [ticks]   (ticks of the 100 ms real-time loop, default 30; the 20 ms
// loop runs five times as many)
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "console/backends/headless/headless.hpp"
#include "console/backends/presenter.hpp"
#include "console/backends/terminal/terminal.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "launcher/launcher.hpp"
#include "snake/snake.hpp"
#include "table.hpp"

namespace {

double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A headless run that also presents every frame the way the terminal does, and counts what a
// write-through terminal layer would have sent.
class Measured : public con::Headless {
 public:
  Measured() { presenter_.set_size(120, 40); }
  void present(const con::Screen& s) override {
    Headless::present(s);
    out_.clear();
    double t0 = cpu_seconds();
    presenter_.frame(s, out_);
    cpu_ += cpu_seconds() - t0;
    bytes_ += out_.size();
    if (!out_.empty()) ++frames_;
    ++presents_;
  }
  // Write-through: every text call positions the cursor, sets both colours and writes.
  void text(std::string_view t) override {
    const con::Screen& s = con::screen();
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "\x1b[%d;%dH\x1b[%d;%dm", s.cursor_y() + 1,
                          s.cursor_x() + 1, 30 + (s.attr() & 7), 40 + (s.attr() >> 4 & 7));
    baseline_ += static_cast<uint64_t>(n) + t.size();
  }
  // A "color" command recolours every cell: write-through has to redraw the whole screen.
  void count_full_redraw() {
    con::Presenter fresh;
    fresh.set_size(120, 40);
    std::string all;
    fresh.frame(con::screen(), all);
    baseline_ += all.size();
  }

  uint64_t bytes_ = 0, baseline_ = 0, frames_ = 0, presents_ = 0;
  double cpu_ = 0;

 private:
  con::Presenter presenter_;
  std::string out_;
};

void report(const char* name, const Measured& m) {
  std::printf("%s\n", name);
  std::printf("  presents %llu, frames with bytes %llu\n",
              static_cast<unsigned long long>(m.presents_),
              static_cast<unsigned long long>(m.frames_));
  std::printf("  bytes written   %llu (%.1f per present)\n",
              static_cast<unsigned long long>(m.bytes_),
              m.presents_ ? static_cast<double>(m.bytes_) / static_cast<double>(m.presents_) : 0);
  std::printf(
      "  write-through   %llu (%.1f per present)\n", static_cast<unsigned long long>(m.baseline_),
      m.presents_ ? static_cast<double>(m.baseline_) / static_cast<double>(m.presents_) : 0);
  std::printf(
      "  ratio           %.1f%% of write-through\n",
      m.baseline_ ? 100.0 * static_cast<double>(m.bytes_) / static_cast<double>(m.baseline_) : 0);
  std::printf("  present CPU     %.2f us per present\n",
              m.presents_ ? 1e6 * m.cpu_ / static_cast<double>(m.presents_) : 0);
}

struct SnakeFigures {
  uint64_t bytes, baseline, presents;
  double cpu_us_per_present;
};

// A snake game steered round a square until it dies or Escape, from the cover to the result.
SnakeFigures snake_game() {
  snake::reset();
  Measured m;
  m.line("1", 0);  // the cover: start
  int64_t t = 1000;
  const char steer[] = "dsaw";
  for (int lap = 0; lap < 12; ++lap) {
    for (char k : steer) {
      m.key(k, t);
      t += 2800;
    }
  }
  m.key(27, t);
  m.stop_at_ms = t + 10000;
  con::set_seed_override(7);
  con::run_headless(m, [&] {
    m.count_full_redraw();  // the game's "color 80"
    snake::play();
    return 0;
  });
  con::set_seed_override(std::nullopt);
  report("snake game (scripted, virtual time)", m);
  std::printf("  game time       %.1f s, %d sleeps\n", static_cast<double>(m.now()) / 1000.0,
              m.sleeps());
  return {m.bytes_, m.baseline_, m.presents_,
          m.presents_ ? 1e6 * m.cpu_ / static_cast<double>(m.presents_) : 0};
}

void draw_launcher_screen() {
  con::system("color 10");
  for (int x = 2; x <= 117; ++x) {
    con::gotoxy(0, x, 2);
    con::print("*");
  }
  con::print("\n     1.贪吃蛇  2.跑酷  3.狼人杀\n");
  for (int x = 2; x <= 117; ++x) {
    con::gotoxy(0, x, 27);
    con::print("*");
  }
  for (int y = 2; y <= 27; ++y) {
    con::gotoxy(0, 2, y);
    con::print("*");
    con::gotoxy(0, 118, y);
    con::print("*");
  }
  con::gotoxy(0, 5, 5);
}

struct ClsFigures {
  double bytes_per_redraw, baseline_per_redraw;
};

// "cls" followed by an identical redraw, many times.
ClsFigures cls_redraws() {
  ClsFigures f{};
  Measured m;
  con::run_headless(m, [&] {
    draw_launcher_screen();
    con::Sleep(10);
    uint64_t first = m.bytes_;
    for (int k = 0; k < 100; ++k) {
      con::system("cls");
      draw_launcher_screen();
      m.count_full_redraw();  // its "color 10"
      con::Sleep(10);
    }
    std::printf("cls + identical full redraw, 100 times\n");
    std::printf("  first frame     %llu bytes\n", static_cast<unsigned long long>(first));
    std::printf("  each later one  %.1f bytes (write-through %.1f)\n",
                static_cast<double>(m.bytes_ - first) / 100.0,
                static_cast<double>(m.baseline_) / 101.0);
    std::printf("  present CPU     %.2f us per present\n",
                1e6 * m.cpu_ / static_cast<double>(m.presents_));
    f = {static_cast<double>(m.bytes_ - first) / 100.0, static_cast<double>(m.baseline_) / 101.0};
    return 0;
  });
  return f;
}

struct RealtimeFigures {
  double cpu_percent = 0;
  unsigned long long wakeups = 0;
  int ticks_and_keys = 0;
};

// The real backend on a pseudo-terminal with a fake terminal that answers its queries: a loop
// of ticks that each change a few cells, and a key typed every half second.
RealtimeFigures realtime(int ticks, int tick_ms) {
  int master = -1, slave = -1;
  struct winsize ws {};
  ws.ws_col = 120;
  ws.ws_row = 40;
  if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0) {
    std::printf("realtime: no pseudo-terminal\n");
    return {};
  }
  std::atomic<bool> stop{false};
  std::thread term([&] {
    char buf[8192];
    std::string seen;
    bool answered = false;
    while (!stop) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      ssize_t n = read(master, buf, sizeof buf);
      if (n <= 0) break;
      if (!answered) {
        seen.append(buf, static_cast<size_t>(n));
        if (seen.find("\x1b[c") != std::string::npos) {
          (void)!write(master, "\x1b[1;1R\x1b[1;2R\x1b[?62c", 19);
          answered = true;
        }
      }
    }
  });
  std::thread typist([&] {
    for (int k = 0; k < ticks * tick_ms / 500 && !stop; ++k) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      (void)!write(master, "d", 1);
    }
  });
  con::Terminal t(slave, slave);
  con::attach(t);
  rusage r0{}, r1{};
  getrusage(RUSAGE_THREAD, &r0);  // the game's thread, not the fake terminal's
  auto w0 = std::chrono::steady_clock::now();
  uint64_t wake0 = t.wakeups();
  int keys = 0;
  for (int k = 0; k < ticks; ++k) {
    con::gotoxy(0, 4 + (k % 38) * 2, 14);
    con::print("头");
    con::printf("%d", k);
    while (con::_kbhit()) {
      con::_getch();
      ++keys;
    }
    con::Sleep(tick_ms);
  }
  uint64_t wakeups = t.wakeups() - wake0;
  getrusage(RUSAGE_THREAD, &r1);
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
  con::detach();
  stop = true;
  typist.join();
  term.join();
  close(slave);
  close(master);
  auto sec = [](const timeval& a, const timeval& b) {
    return static_cast<double>(b.tv_sec - a.tv_sec) +
           static_cast<double>(b.tv_usec - a.tv_usec) * 1e-6;
  };
  double cpu = sec(r0.ru_utime, r1.ru_utime) + sec(r0.ru_stime, r1.ru_stime);
  std::printf("real terminal (pseudo-terminal), %d ticks of %d ms, %d keys read\n", ticks, tick_ms,
              keys);
  std::printf("  CPU             %.3f s in %.2f s = %.2f%% of one core\n", cpu, wall,
              100.0 * cpu / wall);
  std::printf("  wake-ups        %llu (ticks + keys = %d)\n",
              static_cast<unsigned long long>(wakeups), ticks + keys);
  return {100.0 * cpu / wall, static_cast<unsigned long long>(wakeups), ticks + keys};
}

}  // namespace

int main(int argc, char** argv) {
  int ticks = argc > 1 ? std::atoi(argv[1]) : 30;
  const SnakeFigures snake = snake_game();
  const ClsFigures cls = cls_redraws();
  ticks = ticks > 0 ? ticks : 30;
  const RealtimeFigures slow = realtime(ticks, 100);     // a snake game's pace
  const RealtimeFigures fast = realtime(ticks * 5, 20);  // the parkour game's pace

  const double ratio = snake.baseline ? 100.0 * static_cast<double>(snake.bytes) /
                                            static_cast<double>(snake.baseline)
                                      : 0;
  const double per = static_cast<double>(snake.presents ? snake.presents : 1);
  bench::row("`present_bench`: bytes to the terminal over a scripted snake game",
             bench::format("%s bytes, %.1f%% of a write-through layer (%.1f vs %.1f bytes per "
                           "frame)",
                           bench::thousands(snake.bytes).c_str(), ratio,
                           static_cast<double>(snake.bytes) / per,
                           static_cast<double>(snake.baseline) / per),
             "at most 25%");
  bench::row(
      "`present_bench`: \"cls\" followed by an identical redraw",
      bench::format(
          "%.0f bytes (write-through: %s)", cls.bytes_per_redraw,
          bench::thousands(static_cast<unsigned long long>(cls.baseline_per_redraw + 0.5)).c_str()),
      "under 100 bytes");
  bench::row("`present_bench`: CPU to build one frame",
             bench::format("%.1f µs", snake.cpu_us_per_present), "");
  bench::row("`present_bench`: a game running on a pseudo-terminal, 100 ms and 20 ms ticks",
             bench::format("%.2f%% and %.2f%% of one core; wake-ups %llu for %d ticks and keys, "
                           "%llu for %d",
                           slow.cpu_percent, fast.cpu_percent, slow.wakeups, slow.ticks_and_keys,
                           fast.wakeups, fast.ticks_and_keys),
             "under 1%, one wake-up per tick or key");
  return 0;
}
