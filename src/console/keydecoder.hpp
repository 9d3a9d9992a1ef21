// Turns bytes from a keyboard (a terminal or a pipe) into key events with their _getch codes.
// Pure: no reads, no clock; time comes in with the bytes so that a lone Escape can be told from
// the start of a sequence by how long nothing follows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace con {

struct KeyEvent {
  enum Type : uint8_t { Press, Repeat, Release };
  Type type = Press;
  int vk = 0;  // virtual-key code where known (arrows: VK_LEFT..VK_DOWN), else 0
  uint8_t codes[2] = {0, 0};
  uint8_t ncodes = 0;  // 0 for events that queue nothing (releases)
};

class KeyDecoder {
 public:
  // How long a lone ESC waits for the rest of a sequence before it counts as Escape.
  static constexpr int64_t kEscTimeoutMs = 50;

  // Decodes `n` bytes that arrived at `now_ms`, appending complete events to `out`.
  void feed(const char* data, size_t n, int64_t now_ms, std::vector<KeyEvent>& out);
  // Resolves what is pending when nothing more came by `now_ms` (or input ended).
  void flush(int64_t now_ms, bool at_eof, std::vector<KeyEvent>& out);
  // Whether bytes are held back waiting for more; `deadline()` says until when.
  bool pending() const { return !buf_.empty(); }
  int64_t deadline() const { return since_ + kEscTimeoutMs; }

 private:
  void decode(bool force, std::vector<KeyEvent>& out);

  std::string buf_;
  int64_t since_ = 0;
  bool last_cr_ = false;
};

}  // namespace con
