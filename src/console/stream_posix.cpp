#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <ctime>

#include "console/console.hpp"
#include "console/fdio_posix.hpp"
#include "console/stream.hpp"

namespace con {
namespace {

int64_t monotonic_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Stream::Stream(int in_fd, int out_fd, bool virtual_clock)
    : in_fd_(in_fd), out_fd_(out_fd), virtual_clock_(virtual_clock) {
  // A reader that goes away must not kill us mid-write: the write fails and we end quietly.
  ::signal(SIGPIPE, SIG_IGN);
  start_wall_ = static_cast<int64_t>(std::time(nullptr));
}

void Stream::text(std::string_view utf8) {
  if (out_broken_) return;
  out_.append(utf8);
  if (out_.size() >= 1 << 16) flush();
}

void Stream::flush() {
  if (!out_broken_ && write_fully(out_fd_, out_.data(), out_.size()) < out_.size())
    out_broken_ = true;
  out_.clear();
}

void Stream::present(const Screen&) {
  flush();
}

void Stream::finish(const Screen&) {
  flush();
}

int64_t Stream::now_ms() {
  return virtual_clock_ ? virtual_now_ : monotonic_ms();
}

int64_t Stream::wall_seconds() {
  if (virtual_clock_) return start_wall_ + virtual_now_ / 1000;
  return static_cast<int64_t>(std::time(nullptr));
}

bool Stream::read_some(int timeout_ms, KeyQueue& q) {
  if (eof_) return false;
  // Bytes held back (a lone ESC so far) wait only briefly for the rest of their sequence.
  const int esc_wait = static_cast<int>(KeyDecoder::kEscTimeoutMs);
  if (decoder_.pending() && (timeout_ms < 0 || timeout_ms > esc_wait)) timeout_ms = esc_wait;
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
  if (eof_) decoder_.flush(now_ms(), true, events);
  for (const KeyEvent& e : events)
    if (e.ncodes) q.push_event(e.codes, e.ncodes);
  return !eof_;
}

void Stream::pump(KeyQueue& q, int64_t deadline_ms, bool until_key) {
  flush();
  if (out_broken_) throw Exit{0};
  if (until_key) {
    while (q.empty()) {
      if (!read_some(-1, q)) {
        if (q.empty()) q.closed = true;
        return;
      }
    }
    return;
  }
  if (virtual_clock_) {
    if (deadline_ms > virtual_now_) virtual_now_ = deadline_ms;
    read_some(0, q);
    return;
  }
  // A real sleep that still gathers input; at the end of input it just waits out the time.
  for (;;) {
    int64_t left = deadline_ms - monotonic_ms();
    int wait = left > 0 ? static_cast<int>(left < INT_MAX ? left : INT_MAX) : 0;
    if (eof_) {
      if (wait > 0) ::poll(nullptr, 0, wait);
      if (deadline_ms <= monotonic_ms()) return;
      continue;
    }
    read_some(wait, q);
    if (left <= 0) return;
  }
}

}  // namespace con
