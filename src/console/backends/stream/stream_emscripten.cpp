// Stream mode in the WebAssembly build, run by Node: standard input and output through Node's
// own synchronous file calls, since the C library's POSIX calls do not behave there (a pipe
// with nothing in it reads as its end, poll waits for nothing).
#include <ctime>
#include <vector>

#include "console/backends/stream/stream.hpp"
#include "console/console.hpp"

// Node's side (library_node.js).
extern "C" {
// Writes all of data to descriptor fd; 0 once the reader is gone.
int gamebox_node_write(int fd, const char* data, size_t len);
// Reads what descriptor fd has, waiting for it where the descriptor blocks: the count, 0 at
// the end of input, -1 when nothing is there yet.
int gamebox_node_read(int fd, char* buf, size_t cap);
}

namespace con {

Stream::Stream(int in_fd, int out_fd, bool virtual_clock)
    : in_fd_(in_fd), out_fd_(out_fd), virtual_clock_(virtual_clock) {
  start_wall_ = static_cast<int64_t>(std::time(nullptr));
}

void Stream::flush() {
  if (!out_broken_ && !out_.empty() && !gamebox_node_write(out_fd_, out_.data(), out_.size()))
    out_broken_ = true;
  out_.clear();
}

bool Stream::read_some(int, KeyQueue& q) {
  if (eof_) return false;
  std::vector<KeyEvent> events;
  char buf[4096];
  const int n = gamebox_node_read(in_fd_, buf, sizeof buf);
  if (n > 0) {
    decoder_.feed(buf, static_cast<size_t>(n), now_ms(), events);
  } else if (n == 0) {
    eof_ = true;
  } else if (decoder_.pending()) {
    decoder_.flush(decoder_.deadline(), false, events);  // nothing followed: it stands alone
  }
  return deliver(events, q);
}

}  // namespace con
