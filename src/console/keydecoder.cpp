#include "console/keydecoder.hpp"

#include <cstdlib>

#include "console/console.hpp"

namespace con {
namespace {

KeyEvent plain(uint8_t code) {
  KeyEvent e;
  e.codes[0] = code;
  e.ncodes = 1;
  return e;
}

KeyEvent extended(uint8_t scan, int vk = 0) {
  KeyEvent e;
  e.vk = vk;
  e.codes[0] = 224;
  e.codes[1] = scan;
  e.ncodes = 2;
  return e;
}

// The final byte of an arrow or cursor-pad sequence, as its _getch scan code.
bool final_key(char f, KeyEvent& e) {
  switch (f) {
    case 'A':
      e = extended(72, VK_UP);
      return true;
    case 'B':
      e = extended(80, VK_DOWN);
      return true;
    case 'C':
      e = extended(77, VK_RIGHT);
      return true;
    case 'D':
      e = extended(75, VK_LEFT);
      return true;
    case 'H':
      e = extended(71);
      return true;
    case 'F':
      e = extended(79);
      return true;
    default:
      return false;
  }
}

bool tilde_key(int n, KeyEvent& e) {
  switch (n) {
    case 1:
    case 7:
      e = extended(71);
      return true;
    case 2:
      e = extended(82);
      return true;
    case 3:
      e = extended(83);
      return true;
    case 4:
    case 8:
      e = extended(79);
      return true;
    case 5:
      e = extended(73);
      return true;
    case 6:
      e = extended(81);
      return true;
    default:
      return false;
  }
}

}  // namespace

void KeyDecoder::feed(const char* data, size_t n, int64_t now_ms, std::vector<KeyEvent>& out) {
  if (n == 0) return;
  if (buf_.empty()) since_ = now_ms;
  buf_.append(data, n);
  decode(false, out);
  if (!buf_.empty()) since_ = now_ms;
}

void KeyDecoder::flush(int64_t now_ms, bool at_eof, std::vector<KeyEvent>& out) {
  if (buf_.empty()) return;
  if (at_eof || now_ms >= deadline()) decode(true, out);
}

// Decodes as much of buf_ as forms whole keys. With `force`, an unfinished sequence is taken
// as it stands: a lone ESC is the Escape key.
void KeyDecoder::decode(bool force, std::vector<KeyEvent>& out) {
  size_t i = 0;
  while (i < buf_.size()) {
    const auto b = static_cast<unsigned char>(buf_[i]);
    if (b == 0x1B) {
      last_cr_ = false;
      if (i + 1 >= buf_.size()) {
        if (!force) break;
        out.push_back(plain(27));
        ++i;
        continue;
      }
      const char kind = buf_[i + 1];
      if (kind != '[' && kind != 'O') {
        out.push_back(plain(27));
        ++i;
        continue;
      }
      // CSI or SS3: parameters up to a final byte in 0x40..0x7E.
      size_t j = i + 2;
      while (j < buf_.size() && !(buf_[j] >= 0x40 && buf_[j] <= 0x7E)) ++j;
      if (j >= buf_.size()) {
        if (!force) break;
        out.push_back(plain(27));  // a cut-off sequence: keep the Escape, drop the rest
        i = buf_.size();
        continue;
      }
      const std::string params = buf_.substr(i + 2, j - i - 2);
      KeyEvent e;
      bool known = final_key(buf_[j], e);
      if (!known && buf_[j] == '~' && kind == '[') known = tilde_key(std::atoi(params.c_str()), e);
      if (known) out.push_back(e);
      i = j + 1;
      continue;
    }
    if (b == '\r' || b == '\n') {
      // CR, LF and CR LF are each one Enter.
      if (!(b == '\n' && last_cr_)) out.push_back(plain(13));
      last_cr_ = b == '\r';
      ++i;
      continue;
    }
    last_cr_ = false;
    if (b == 0x7F) {
      out.push_back(plain(8));
      ++i;
      continue;
    }
    if (b >= 0x80) {
      // UTF-8 text: one key per character; without a code page of its own it reads as '?'.
      int len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
      if (i + static_cast<size_t>(len) > buf_.size() && !force) break;
      out.push_back(plain('?'));
      i += static_cast<size_t>(len);
      continue;
    }
    out.push_back(plain(b));
    ++i;
  }
  buf_.erase(0, i < buf_.size() ? i : buf_.size());
}

}  // namespace con
