#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <ctime>

#include "console/backends/fdio_posix.hpp"
#include "console/backends/stream/stream.hpp"
#include "console/console.hpp"

namespace con {
Stream::Stream(int in_fd, int out_fd, bool virtual_clock)
    : in_fd_(in_fd), out_fd_(out_fd), virtual_clock_(virtual_clock) {
  // A reader that goes away must not kill us mid-write: the write fails and we end quietly.
  ::signal(SIGPIPE, SIG_IGN);
  start_wall_ = static_cast<int64_t>(std::time(nullptr));
  // Under a GB locale the text goes out in its charset, and typed text comes in in it.
  const std::string gb = Encoder::locale_charset();
  if (!gb.empty() && encoder_.set_charset(gb)) decoder_.set_gbk(true);
}

void Stream::flush() {
  if (!out_broken_ && write_fully(out_fd_, out_.data(), out_.size()) < out_.size())
    out_broken_ = true;
  out_.clear();
}

bool Stream::read_some(int timeout_ms, KeyQueue& q) {
  if (eof_) return false;
  timeout_ms = input_wait(timeout_ms);
  std::vector<KeyEvent> events;
  pollfd p{in_fd_, POLLIN, 0};
  int r = ::poll(&p, 1, timeout_ms);
  if (r < 0 && errno != EINTR) {
    eof_ = true;
  } else if (r > 0) {
    char buf[4096];
    ssize_t n = ::read(in_fd_, buf, sizeof buf);
    if (n > 0) {
      decoder_.feed(buf, static_cast<size_t>(n), now_ms(), events);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      eof_ = true;
    }
  } else if (r == 0 && decoder_.pending()) {
    decoder_.flush(decoder_.deadline(), false, events);  // nothing followed: it stands alone
  }
  return deliver(events, q);
}

}  // namespace con
