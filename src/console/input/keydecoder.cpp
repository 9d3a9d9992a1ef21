#include "console/input/keydecoder.hpp"

#include <csignal>

#include "console/console.hpp"
#include "console/keys.hpp"

// Windows has neither; its builds never see these keys but must still compile them.
#ifndef SIGTSTP
#define SIGTSTP 20
#endif
#ifndef SIGQUIT
#define SIGQUIT 3
#endif

namespace con {
namespace {

KeyEvent plain(uint8_t code) {
  KeyEvent e;
  e.codes[0] = code;
  e.ncodes = 1;
  return e;
}

KeyEvent extended(uint8_t scan, int vk = 0, uint8_t prefix = kExtended) {
  KeyEvent e;
  e.vk = vk;
  e.codes[0] = prefix;
  e.codes[1] = scan;
  e.ncodes = 2;
  return e;
}

KeyEvent report(KeyEvent::Kind kind, int a = 0, int b = 0) {
  KeyEvent e;
  e.kind = kind;
  e.arg[0] = a;
  e.arg[1] = b;
  return e;
}

// Modifier bits of the keyboard protocol (the field carries 1 + these bits).
constexpr int kShift = 1, kAlt = 2, kCtrl = 4, kCapsLock = 64;
// Caps Lock and Num Lock ride along in the field; they change no key.
constexpr int kLocks = 64 | 128;

// An arrow's codes. Ctrl turns them into the console's Ctrl+arrow codes; the held state stays
// the arrow's.
KeyEvent arrow(int vk, bool ctrl) {
  const CursorKey& a = *arrow_of_vk(vk);
  return extended(ctrl ? a.ctrl_scan : a.scan, vk);
}

// Arrows and the cursor pad by their final byte (CSI or SS3).
bool letter_key(char f, int mods, KeyEvent& e) {
  bool ctrl = mods & kCtrl;
  switch (f) {
    case 'A':
      e = arrow(VK_UP, ctrl);
      return true;
    case 'B':
      e = arrow(VK_DOWN, ctrl);
      return true;
    case 'C':
      e = arrow(VK_RIGHT, ctrl);
      return true;
    case 'D':
      e = arrow(VK_LEFT, ctrl);
      return true;
    case 'H':
      e = extended(71);
      return true;
    case 'F':
      e = extended(79);
      return true;
    case 'P':
      e = extended(59, 0, 0);
      return true;  // F1
    case 'Q':
      e = extended(60, 0, 0);
      return true;  // F2
    case 'S':
      e = extended(62, 0, 0);
      return true;  // F4
    case 'Z':
      e = extended(15, 0, 0);
      return true;  // Shift+Tab
    default:
      return false;
  }
}

// CSI n ~ keys: the cursor pad and F1..F12 in the xterm and rxvt numbering.
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
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:  // F1..F5
      e = extended(static_cast<uint8_t>(59 + n - 11), 0, 0);
      return true;
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:  // F6..F10
      e = extended(static_cast<uint8_t>(64 + n - 17), 0, 0);
      return true;
    case 23:
      e = extended(133);
      return true;  // F11
    case 24:
      e = extended(134);
      return true;  // F12
    default:
      return false;
  }
}

// SS3 keys: arrows, cursor pad, F1..F4 and the keypad in application mode.
bool ss3_key(char f, KeyEvent& e) {
  if (f == 'R') {
    e = extended(61, 0, 0);  // F3: no clash with the cursor report in this form
    return true;
  }
  if (letter_key(f, 0, e)) return true;
  if (f == 'M') {
    e = plain(13);
    return true;
  }
  if (f >= 'p' && f <= 'y') {
    e = plain(static_cast<uint8_t>('0' + (f - 'p')));
    return true;
  }
  static const char kPad[] = "j*k+l,m-n.o/X=";
  for (const char* p = kPad; *p; p += 2) {
    if (*p == f) {
      e = plain(static_cast<uint8_t>(p[1]));
      return true;
    }
  }
  return false;
}

// A key of the keyboard protocol: CSI key[:shifted[:base]] ; mods[:type] ; text u. `key` is
// the key's own code point (lower case for letters), `shifted` the character with Shift (the
// alternate keys flag), `base` the key in the US layout where the layout differs, `text` what
// the key types (the associated text flag). The codes are those the console gives for the key
// in its shift state, as legacy input gives them: the typed text where it comes along, else
// the key with Shift and Caps Lock applied. Appends what the key makes (Alt puts an Escape
// before it, as terminals send it without the protocol); false for keys that type nothing.
struct ProtocolKey {
  int key = 0, shifted = -1, base = -1;
  int mods = 0;       // modifier bits, locks cleared
  bool caps = false;  // Caps Lock on
  int text[3] = {0, 0, 0};
};

bool protocol_key(const ProtocolKey& k, std::vector<KeyEvent>& out) {
  const bool ctrl = k.mods & kCtrl, shift = k.mods & kShift, alt = k.mods & kAlt;
  // Control keys by their place on a US keyboard, so that they work in every layout.
  const int us = k.key < 128 ? k.key : (k.base >= 0 && k.base < 128 ? k.base : k.key);
  KeyEvent e;
  if (ctrl && (us == 'c' || us == '\\' || us == 'z')) {
    out.push_back(report(KeyEvent::Signal, us == 'c' ? SIGINT : us == 'z' ? SIGTSTP : SIGQUIT));
    return true;
  }
  if (ctrl && us >= 'a' && us <= 'z') {
    e = plain(static_cast<uint8_t>(us - 'a' + 1));
  } else if (ctrl && (us == '@' || us == ' ' || us == '2')) {
    e = extended(3, 0, 0);  // Ctrl-@, as the NUL byte decodes
  } else if (ctrl && us == '[') {
    e = plain(27);
  } else if (ctrl && us == ']') {
    e = plain(29);
  } else if (k.text[0] >= 32 && !ctrl) {
    // The text the key types, one key per character.
    for (int c : k.text) {
      if (c < 32) break;
      if (alt) out.push_back(plain(27));
      out.push_back(plain(static_cast<uint8_t>(c < 127 ? c : '?')));
    }
    return true;
  } else {
    switch (k.key) {
      case 27:
        e = plain(27);
        break;
      case 13:
        e = plain(13);
        break;
      case 9:
        e = shift ? extended(15, 0, 0) : plain(9);  // Shift+Tab, as CSI Z
        break;
      case 8:
      case 127:
        e = plain(8);
        break;
      default:
        if (k.key >= 32 && k.key < 127) {
          int c = k.key;
          if (shift && k.shifted >= 32) {
            c = k.shifted < 127 ? k.shifted : '?';
          } else if (shift != k.caps && c >= 'a' && c <= 'z') {
            c -= 32;
          }
          e = plain(static_cast<uint8_t>(c));
        } else if (k.key >= 57399 && k.key <= 57408) {
          e = plain(static_cast<uint8_t>('0' + k.key - 57399));  // the keypad's digits
        } else if (k.key >= 57409 && k.key <= 57416) {
          static const char kPadOps[] = "./*-+\r=,";  // KP_DECIMAL .. KP_SEPARATOR
          e = plain(static_cast<uint8_t>(kPadOps[k.key - 57409]));
        } else if (k.key >= 57417 && k.key <= 57426) {
          // The keypad's arrows and cursor pad, with Num Lock off.
          static const char kPadArrows[] = "DCAB";
          static const int kPadTilde[] = {5, 6, 1, 4, 2, 3};
          if (k.key <= 57420) {
            letter_key(kPadArrows[k.key - 57417], k.mods, e);
          } else {
            tilde_key(kPadTilde[k.key - 57421], e);
          }
        } else if (k.key >= 128 && k.key < 57344) {
          e = plain('?');  // text without a code page of its own
        } else {
          return false;  // modifiers, lock keys, media keys and the like type nothing
        }
    }
  }
  if (alt && e.ncodes == 1 && e.codes[0] != 27) out.push_back(plain(27));
  out.push_back(e);
  return true;
}

// Parameters of a CSI sequence: fields split by ';', sub-fields by ':'; -1 where empty.
struct Params {
  int v[4][3];
  int n = 0;
  Params() {
    for (auto& f : v) f[0] = f[1] = f[2] = -1;
  }
  int get(int field, int sub, int dflt) const {
    if (field >= n || v[field][sub] < 0) return dflt;
    return v[field][sub];
  }
};

Params parse_params(const std::string& s) {
  Params p;
  int field = 0, sub = 0;
  p.n = s.empty() ? 0 : 1;
  for (char c : s) {
    if (c >= '0' && c <= '9') {
      if (field < 4 && sub < 3) {
        int& x = p.v[field][sub];
        if (x < 0) x = 0;
        if (x < 1000000) x = x * 10 + (c - '0');
      }
    } else if (c == ';') {
      ++field;
      sub = 0;
      if (field < 4) p.n = field + 1;
    } else if (c == ':') {
      ++sub;
    }
  }
  return p;
}

}  // namespace

void KeyDecoder::feed(const char* data, size_t n, int64_t now_ms, std::vector<KeyEvent>& out) {
  if (n == 0) return;
  buf_.append(data, n);
  decode(false, out);
  if (!buf_.empty()) since_ = now_ms;
}

void KeyDecoder::flush(int64_t now_ms, bool at_eof, std::vector<KeyEvent>& out) {
  if (buf_.empty()) return;
  if (at_eof || now_ms >= deadline()) decode(true, out);
}

void KeyDecoder::csi(size_t i, size_t j, std::vector<KeyEvent>& out) {
  std::string params = buf_.substr(i + 2, j - i - 2);
  const char f = buf_[j];
  char marker = 0;
  if (!params.empty() && params[0] >= '<' && params[0] <= '?') {
    marker = params[0];
    params.erase(0, 1);
  }
  const Params p = parse_params(params);
  if (marker == '?') {
    if (f == 'c') out.push_back(report(KeyEvent::Attributes));
    if (f == 'u') out.push_back(report(KeyEvent::KeyboardFlags, p.get(0, 0, 0)));
    return;
  }
  if (marker) return;
  if (f == 'R') {
    // Always a cursor report, so that no reply to the start-up probe is lost. Legacy Shift+F3
    // has the same form (CSI 1;2 R) and reads as a report too: no game takes F3.
    if (p.n == 2) out.push_back(report(KeyEvent::CursorReport, p.get(0, 0, 1), p.get(1, 0, 1)));
    return;
  }
  if (p.n == 0 && (f == 'I' || f == 'O')) {
    out.push_back(report(f == 'I' ? KeyEvent::FocusIn : KeyEvent::FocusOut));
    return;
  }
  const int raw_mods = p.get(1, 0, 1) - 1;
  const int mods = raw_mods & ~kLocks;
  const int type = p.get(1, 1, 1);
  std::vector<KeyEvent> keys;
  KeyEvent e;
  if (f == 'u') {
    ProtocolKey k;
    k.key = p.get(0, 0, 0);
    k.shifted = p.get(0, 1, -1);
    k.base = p.get(0, 2, -1);
    k.mods = mods;
    k.caps = raw_mods >= 0 && (raw_mods & kCapsLock);
    for (int sub = 0; sub < 3; ++sub) k.text[sub] = p.get(2, sub, 0);
    if (!protocol_key(k, keys)) return;
  } else if (f == '~' ? tilde_key(p.get(0, 0, 0), e) : letter_key(f, mods, e)) {
    keys.push_back(e);
  } else {
    return;
  }
  if (type == 3) {
    // A release queues nothing and signals nothing; it only tells the held state.
    KeyEvent r = keys.back();
    if (r.kind == KeyEvent::Signal) return;
    r.type = KeyEvent::Release;
    r.ncodes = 0;
    out.push_back(r);
    return;
  }
  for (KeyEvent& k : keys) {
    if (type == 2) k.type = KeyEvent::Repeat;
    out.push_back(k);
  }
}

// Decodes as much of buf_ as forms whole keys. With `force`, an unfinished sequence is taken
// as it stands: a lone ESC is the Escape key.
void KeyDecoder::decode(bool force, std::vector<KeyEvent>& out) {
  size_t i = 0;
  const size_t size = buf_.size();
  while (i < size) {
    const auto b = static_cast<unsigned char>(buf_[i]);
    if (b == 0x1B) {
      last_cr_ = false;
      if (i + 1 >= size) {
        if (!force) break;
        out.push_back(plain(27));
        ++i;
        continue;
      }
      const char kind = buf_[i + 1];
      if (kind == 'O') {
        if (i + 2 >= size) {
          if (!force) break;
          out.push_back(plain(27));  // Escape, then an O typed quickly after it
          out.push_back(plain('O'));
          i += 2;
          continue;
        }
        KeyEvent e;
        if (ss3_key(buf_[i + 2], e)) out.push_back(e);
        i += 3;
        continue;
      }
      if (kind != '[') {
        out.push_back(plain(27));  // Escape, and whatever follows is a key of its own
        ++i;
        continue;
      }
      // CSI: parameter and intermediate bytes (0x20..0x3F), then a final byte (0x40..0x7E).
      size_t j = i + 2;
      while (j < size && buf_[j] >= 0x20 && buf_[j] <= 0x3F) ++j;
      if (j >= size) {
        if (!force) break;
        out.push_back(plain(27));  // a cut-off sequence: keep the Escape, drop the rest
        i = size;
        continue;
      }
      if (buf_[j] < 0x40 || buf_[j] > 0x7E) {
        i = j;  // broken by a control byte: drop what came before it
        continue;
      }
      csi(i, j, out);
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
      // Text beyond ASCII: one key per character, read as '?' (the games take none). What
      // matters is where the character ends, so its bytes never turn into keys of their own.
      size_t len = 1;
      if (gbk_) {
        if (b >= 0x81 && b <= 0xFE) {
          // Two bytes (trail 0x40..0xFE but 0x7F), or GB18030's four: digit, lead, digit.
          // A byte that fits neither leaves the lead alone, so what follows (an Enter, a
          // digit) is never swallowed.
          auto u = [&](size_t k) { return static_cast<unsigned char>(buf_[i + k]); };
          auto digit = [](unsigned char c) { return c >= '0' && c <= '9'; };
          auto lead = [](unsigned char c) { return c >= 0x81 && c <= 0xFE; };
          const size_t have = size - i;
          if (have < 2) {
            len = force ? 1 : 2;
          } else if (digit(u(1))) {
            bool fits = (have < 3 || lead(u(2))) && (have < 4 || digit(u(3)));
            len = fits ? (have >= 4 || !force ? 4 : 1) : 1;
          } else if (u(1) >= 0x40 && u(1) <= 0xFE && u(1) != 0x7F) {
            len = 2;
          }
        }
      } else {
        len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        // A malformed sequence ends where its continuation bytes end.
        for (size_t k = 1; k < len && i + k < size; ++k) {
          if ((static_cast<unsigned char>(buf_[i + k]) & 0xC0) != 0x80) {
            len = k;
            break;
          }
        }
      }
      if (i + len > size) {
        if (!force) break;
        len = size - i;
      }
      out.push_back(plain('?'));
      i += len;
      continue;
    }
    if (b == 0) {
      // Ctrl-@: on the console a key of two codes, 0 then 3, never a lone prefix.
      out.push_back(extended(3, 0, 0));
      ++i;
      continue;
    }
    out.push_back(plain(b));
    ++i;
  }
  buf_.erase(0, i < size ? i : size);
}

}  // namespace con
