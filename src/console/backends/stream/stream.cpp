// The parts of stream mode that do not depend on the platform; reading and writing the
// descriptors is in stream_posix.cpp and stream_win32.cpp.
#include "console/backends/stream/stream.hpp"

#include <chrono>
#include <climits>
#include <ctime>
#include <thread>
#include <utility>

#include "console/console.hpp"

namespace con {

int64_t Stream::monotonic_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void Stream::text(std::string_view utf8) {
  if (out_broken_ || utf8.empty()) return;
  line_open_ = utf8.back() != '\n';
  if (encoder_.utf8()) {
    out_.append(utf8);
  } else {
    std::string in = std::exchange(cut_, std::string());
    in.append(utf8);
    size_t i = 0;
    while (i < in.size()) {
      const unsigned char b = static_cast<unsigned char>(in[i]);
      if (b < 0x80) {
        out_ += static_cast<char>(b);
        ++i;
        continue;
      }
      const size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      if (i + len > in.size()) {
        cut_ = in.substr(i);
        break;
      }
      const char32_t c = decode_utf8(in, i);
      if (!encoder_.put(c, out_)) out_ += '?';
    }
  }
  if (out_.size() >= 1 << 16) flush();
}

int Stream::input_wait(int timeout_ms) const {
  // Bytes held back (a lone ESC so far) wait only briefly for the rest of their sequence.
  const int esc_wait = static_cast<int>(KeyDecoder::kEscTimeoutMs);
  if (decoder_.pending() && (timeout_ms < 0 || timeout_ms > esc_wait)) return esc_wait;
  return timeout_ms;
}

bool Stream::deliver(std::vector<KeyEvent>& events, KeyQueue& q) {
  if (eof_) decoder_.flush(now_ms(), true, events);
  for (const KeyEvent& e : events)
    if (e.ncodes) q.push_event(e.codes, e.ncodes);
  return !eof_;
}

void Stream::present(const Screen&) {
  flush();
}

void Stream::finish(const Screen&) {
  // Whatever comes after us (a shell prompt, the next line of a log) starts on a line of its
  // own.
  if (line_open_ && !out_broken_) out_ += '\n';
  flush();
}

int64_t Stream::now_ms() {
  return virtual_clock_ ? virtual_now_ : monotonic_ms();
}

int64_t Stream::wall_seconds() {
  if (virtual_clock_) return start_wall_ + virtual_now_ / 1000;
  return static_cast<int64_t>(std::time(nullptr));
}

void Stream::pump(KeyQueue& q, int64_t deadline_ms, bool until_key) {
  flush();
  if (out_broken_) throw Exit{0};
  gather(q, deadline_ms, until_key);
  // The queue may still hold keys from before the end; the console layer takes them first.
  if (eof_) q.closed = true;
}

void Stream::gather(KeyQueue& q, int64_t deadline_ms, bool until_key) {
  if (until_key) {
    while (q.empty() && read_some(-1, q)) {
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
    const int64_t left = deadline_ms - monotonic_ms();
    const int wait = left > 0 ? static_cast<int>(left < INT_MAX ? left : INT_MAX) : 0;
    if (eof_) {
      if (wait > 0) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
      if (deadline_ms <= monotonic_ms()) return;
      continue;
    }
    read_some(wait, q);
    if (left <= 0) return;
  }
}

}  // namespace con
