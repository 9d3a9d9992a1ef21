// Turns bytes from a keyboard (a terminal or a pipe) into key events with their _getch codes.
// Pure: no reads, no clock; time comes in with the bytes so that a lone Escape can be told from
// the start of a sequence by how long nothing follows it.
//
// Besides keys in their legacy forms (CSI and SS3 arrows, cursor pad, function keys, UTF-8 or
// GBK text), it understands the kitty keyboard protocol (every key as CSI u or CSI letter, with
// press, repeat and release, the shifted and US-layout keys and the typed text; each gives the
// codes its legacy form gives, and a release none), focus reports, and the terminal's replies
// to the start-up queries (cursor position, device attributes, keyboard flags), so that
// replies mixed into typed input are picked out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace con {

struct KeyEvent {
  enum Type : uint8_t { Press, Repeat, Release };
  enum Kind : uint8_t {
    Key,            // a key: its codes (none for a release) and its vk
    Signal,         // a key that stands for a terminal signal under the keyboard protocol
                    // (Ctrl-C, Ctrl-\, Ctrl-Z): arg[0] is the signal number
    FocusIn,        // CSI I
    FocusOut,       // CSI O
    CursorReport,   // CSI row ; col R: arg = {row, col}, 1-based
    Attributes,     // CSI ? ... c, the primary device attributes
    KeyboardFlags,  // CSI ? flags u: arg[0] = the keyboard protocol's flags
  };
  Type type = Press;
  Kind kind = Key;
  int vk = 0;  // virtual-key code where known (arrows: VK_LEFT..VK_DOWN), else 0
  uint8_t codes[2] = {0, 0};
  uint8_t ncodes = 0;  // 0 for events that queue nothing (releases, reports)
  int arg[2] = {0, 0};
};

class KeyDecoder {
 public:
  // How long a lone ESC waits for the rest of a sequence before it counts as Escape.
  static constexpr int64_t kEscTimeoutMs = 50;
  // Under the keyboard protocol the Escape key is a sequence of its own, so a lone ESC byte is
  // only ever the start of a sequence cut by a slow line; it waits longer.
  static constexpr int64_t kProtocolEscTimeoutMs = 500;

  // Decodes `n` bytes that arrived at `now_ms`, appending complete events to `out`.
  void feed(const char* data, size_t n, int64_t now_ms, std::vector<KeyEvent>& out);
  // Resolves what is pending when nothing more came by `now_ms` (or input ended).
  void flush(int64_t now_ms, bool at_eof, std::vector<KeyEvent>& out);
  // Whether bytes are held back waiting for more; `deadline()` says until when.
  bool pending() const { return !buf_.empty(); }
  int64_t deadline() const { return since_ + (protocol_ ? kProtocolEscTimeoutMs : kEscTimeoutMs); }

  // The keyboard protocol is on (the terminal sends CSI u keys).
  void set_protocol(bool on) { protocol_ = on; }
  // Typed text is GBK (a GBK or GB18030 locale) rather than UTF-8.
  void set_gbk(bool on) { gbk_ = on; }

 private:
  void decode(bool force, std::vector<KeyEvent>& out);
  // Decodes the CSI sequence buf_[i..j] (j at its final byte).
  void csi(size_t i, size_t j, std::vector<KeyEvent>& out);

  std::string buf_;
  int64_t since_ = 0;
  bool last_cr_ = false;
  bool protocol_ = false;
  bool gbk_ = false;
};

}  // namespace con
