// What the benchmarks share: the process's CPU clock and a headless backend that presents like
// a terminal.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"

namespace bench {

// CPU time of the process, in microseconds. A page has no CPU clock: the WebAssembly build
// (page_bench.mjs runs it in a page) takes the monotonic one.
inline double cpu_us() {
  timespec ts{};
#ifdef __EMSCRIPTEN__
  clock_gettime(CLOCK_MONOTONIC, &ts);
#else
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
#endif
  return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

// Presents like a terminal: only the changed cells, as escape sequences, to /dev/null. It keeps
// the program's text too (the killer game's questions).
class DiffPresenter : public con::Headless {
 public:
  DiffPresenter() : fd_(open("/dev/null", O_WRONLY)) {}
  ~DiffPresenter() override {
    if (fd_ >= 0) close(fd_);
  }

  std::string out;
  void text(std::string_view t) override { out.append(t); }

  void present(const con::Screen& s) override {
    const size_t n = static_cast<size_t>(s.width() * s.height());
    if (front_.size() != n || width_ != s.width()) {
      front_.assign(n, con::Cell{U'\0', 0, con::Half::Single});
      width_ = s.width();
    }
    out_.clear();
    int attr = -1, cx = -1, cy = -1;
    for (int y = 0; y < s.height(); ++y)
      for (int x = 0; x < s.width(); ++x) {
        const con::Cell& c = s.at(x, y);
        con::Cell& f = front_[static_cast<size_t>(y * width_ + x)];
        if (c == f) continue;
        f = c;
        if (c.half == con::Half::Trail) continue;
        char buf[48];
        if (x != cx || y != cy) {
          std::snprintf(buf, sizeof buf, "\x1b[%d;%dH", y + 1, x + 1);
          out_ += buf;
        }
        if (c.attr != attr) {
          static const int kAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};  // console order to ANSI
          const int fg = c.attr & 15, bg = c.attr >> 4;
          std::snprintf(buf, sizeof buf, "\x1b[0;%d;%dm", (fg & 8 ? 90 : 30) + kAnsi[fg & 7],
                        (bg & 8 ? 100 : 40) + kAnsi[bg & 7]);
          out_ += buf;
          attr = c.attr;
        }
        con::append_utf8(out_, c.ch);
        cx = x + con::glyph_width(c.ch);
        cy = y;
      }
    if (fd_ >= 0 && !out_.empty()) bytes_ += write(fd_, out_.data(), out_.size());
  }

  long long bytes() const { return bytes_; }

 private:
  int fd_;
  int width_ = 0;
  std::vector<con::Cell> front_;
  std::string out_;
  long long bytes_ = 0;
};

}  // namespace bench
