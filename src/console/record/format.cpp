#include "console/record/format.hpp"

#include "console/console.hpp"
#include "console/keys.hpp"

namespace con::record {
namespace {

// A line being written: on the stack, appended to the output once it is whole.
struct LineOut {
  char buf[kMaxLine + 64];
  size_t n = 0;
  LineOut& operator+=(char c) {
    buf[n++] = c;
    return *this;
  }
  LineOut& operator+=(const char* s) {
    while (*s) buf[n++] = *s++;
    return *this;
  }
};

template <class Out>
void append_uint(Out& out, uint64_t v) {
  char buf[24];
  size_t n = 0;
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  while (n) out += buf[--n];
}

template <class Out>
void append_int(Out& out, int64_t v) {
  if (v < 0) {
    out += '-';
    append_uint(out, 0 - static_cast<uint64_t>(v));
  } else {
    append_uint(out, static_cast<uint64_t>(v));
  }
}

template <class Out>
void append_hex8(Out& out, uint32_t v) {
  static const char kDigits[] = "0123456789abcdef";
  for (int k = 7; k >= 0; --k) out += kDigits[(v >> (4 * k)) & 15];
}

const char* tag_name(Tag t) {
  switch (t) {
    case Tag::Key:
      return "k";
    case Tag::WaitKey:
      return "w";
    case Tag::Up:
      return "u";
    case Tag::Held:
      return "h";
    case Tag::Time:
      return "time";
    case Tag::Seed:
      return "srand";
    case Tag::Typed:
      return "line";
    case Tag::Check:
      return "check";
    case Tag::Closed:
      return "closed";
    case Tag::Exit:
      return "exit";
    case Tag::End:
      return "end";
  }
  return "?";
}

bool tag_of(std::string_view s, Tag& t) {
  static const Tag kAll[] = {Tag::Key,   Tag::WaitKey, Tag::Up,     Tag::Held, Tag::Time, Tag::Seed,
                             Tag::Typed, Tag::Check,   Tag::Closed, Tag::Exit, Tag::End};
  for (Tag k : kAll)
    if (s == tag_name(k)) {
      t = k;
      return true;
    }
  return false;
}

// Space-separated fields, strictly: one space between them, none at either end.
struct Fields {
  std::string_view rest;
  bool bad = false;

  bool next(std::string_view& field) {
    if (rest.empty() || bad) return false;
    const size_t sp = rest.find(' ');
    field = rest.substr(0, sp);
    if (sp == std::string_view::npos) {
      rest = {};
    } else {
      rest = rest.substr(sp + 1);
      if (rest.empty()) bad = true;  // a space at the end
    }
    if (field.empty()) bad = true;  // two spaces
    return !bad;
  }
  bool done() const { return rest.empty() && !bad; }
};

bool parse_uint(std::string_view s, uint64_t max, uint64_t& v) {
  if (s.empty() || s.size() > 20) return false;
  uint64_t x = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    const uint64_t d = static_cast<uint64_t>(c - '0');
    if (x > (UINT64_MAX - d) / 10) return false;
    x = x * 10 + d;
  }
  if (x > max) return false;
  v = x;
  return true;
}

bool parse_int(std::string_view s, int64_t& v) {
  const bool neg = !s.empty() && s[0] == '-';
  uint64_t m = 0;
  if (!parse_uint(neg ? s.substr(1) : s, static_cast<uint64_t>(INT64_MAX), m)) return false;
  v = neg ? -static_cast<int64_t>(m) : static_cast<int64_t>(m);
  return true;
}

bool parse_hex8(std::string_view s, uint32_t& v) {
  if (s.size() != 8) return false;
  uint32_t x = 0;
  for (char c : s) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return false;
    x = x << 4 | static_cast<uint32_t>(d);
  }
  v = x;
  return true;
}

// The arrows by name, in the file and in messages.
struct ArrowName {
  int vk;
  const char* word;
  const char* glyph;
};
constexpr ArrowName kArrowNames[] = {
    {VK_UP, "up", "↑"}, {VK_DOWN, "down", "↓"}, {VK_LEFT, "left", "←"}, {VK_RIGHT, "right", "→"}};

const ArrowName* name_of_vk(int vk) {
  for (const ArrowName& a : kArrowNames)
    if (a.vk == vk) return &a;
  return nullptr;
}

// The arrow these two codes give: kExtended and its scan code (with `any_prefix` also 0 and
// its scan code, the numeric keypad's arrow, as messages name it).
const ArrowName* name_of_codes(const uint8_t* codes, size_t n, bool any_prefix = false) {
  if (n != 2 || !(codes[0] == kExtended || (any_prefix && codes[0] == 0))) return nullptr;
  const CursorKey* a = arrow_of_scan(codes[1]);
  return a ? name_of_vk(a->vk) : nullptr;
}

bool parse_vk(std::string_view s, int& vk) {
  for (const ArrowName& a : kArrowNames)
    if (s == a.word) {
      vk = a.vk;
      return true;
    }
  uint64_t v = 0;
  if (!parse_uint(s, 255, v)) return false;
  vk = static_cast<int>(v);
  return true;
}

template <class Out>
void append_vk(Out& out, int vk) {
  if (const ArrowName* a = name_of_vk(vk)) {
    out += a->word;
  } else {
    append_uint(out, static_cast<uint64_t>(vk));
  }
}

bool parse_codes(std::string_view s, Line& l) {
  l.ncodes = 0;
  for (const ArrowName& a : kArrowNames)
    if (s == a.word) {
      l.codes[0] = kExtended;
      l.codes[1] = arrow_of_vk(a.vk)->scan;
      l.ncodes = 2;
      return true;
    }
  for (;;) {
    const size_t comma = s.find(',');
    uint64_t c = 0;
    if (l.ncodes == kMaxCodes || !parse_uint(s.substr(0, comma), 255, c)) return false;
    l.codes[l.ncodes++] = static_cast<uint8_t>(c);
    if (comma == std::string_view::npos) return true;
    s = s.substr(comma + 1);
  }
}

// A typed line's bytes: printable ASCII as it is, everything else (and '"', '\') as \xHH.
template <class Out>
void append_text(Out& out, const char* text, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  out += '"';
  for (size_t k = 0; k < n; ++k) {
    const auto c = static_cast<unsigned char>(text[k]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    }
  }
  out += '"';
}

bool parse_text(std::string_view s, Line& l) {
  if (s.size() < 2 || s.front() != '"' || s.back() != '"') return false;
  s = s.substr(1, s.size() - 2);
  l.text_len = 0;
  for (size_t k = 0; k < s.size(); ++k) {
    char c = s[k];
    if (c == '"') return false;
    if (c == '\\') {
      uint32_t v = 0;
      if (s.size() - k < 4 || s[k + 1] != 'x') return false;
      const std::string_view hex = s.substr(k + 2, 2);
      for (char h : hex) {
        int d = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : -1;
        if (d < 0) return false;
        v = v << 4 | static_cast<uint32_t>(d);
      }
      c = static_cast<char>(v);
      k += 3;
    }
    if (l.text_len == kMaxText) return false;
    l.text[l.text_len++] = c;
  }
  return true;
}

std::string key_text(const Line& l) {
  std::string s;
  for (size_t k = 0; k < l.ncodes; ++k) {
    if (k) s += ',';
    append_uint(s, l.codes[k]);
  }
  const char* name = nullptr;
  char one[2] = {0, 0};
  if (const ArrowName* a = name_of_codes(l.codes, l.ncodes, true)) name = a->glyph;
  if (l.ncodes == 1) {
    const int c = l.codes[0];
    if (c == 13) name = "Enter";
    if (c == 27) name = "Escape";
    if (c == 32) name = "space";
    if (c == 8) name = "Backspace";
    if (c > 32 && c < 127) {
      one[0] = static_cast<char>(c);
      name = one;
    }
  }
  if (name) {
    s += " (";
    s += name;
    s += ')';
  }
  return s;
}

std::string vk_text(int vk) {
  std::string s = "key ";
  append_uint(s, static_cast<uint64_t>(vk));
  if (const ArrowName* a = name_of_vk(vk)) {
    s += " (";
    s += a->glyph;
    s += ')';
  }
  return s;
}

}  // namespace

void write_header(const Header& h, std::string& out) {
  out += kMagic;
  out += ' ';
  append_uint(out, static_cast<uint64_t>(h.format));
  out += "\nprogram ";
  out += h.program;
  out += "\nbackend ";
  out += h.backend;
  out += "\nsize ";
  if (h.cols > 0 && h.rows > 0) {
    append_uint(out, static_cast<uint64_t>(h.cols));
    out += ' ';
    append_uint(out, static_cast<uint64_t>(h.rows));
  } else {
    out += "none";
  }
  out += "\nkeyboard ";
  out += h.keyboard.empty() ? "none" : h.keyboard;
  out += "\nseed ";
  if (h.seed) {
    append_uint(out, *h.seed);
  } else {
    out += "clock";
  }
  out += "\nstarted ";
  append_int(out, h.started);
  out += "\nevents\n";
}

void write_line(const Line& l, std::string& whole) {
  LineOut out;
  out += tag_name(l.tag);
  out += ' ';
  append_uint(out, l.gatherings);
  out += ' ';
  append_int(out, l.ms);
  switch (l.tag) {
    case Tag::Key:
    case Tag::WaitKey:
      // No codes: the same as the key line before (a held key's repeats).
      if (l.ncodes) {
        out += ' ';
        if (const ArrowName* a = name_of_codes(l.codes, l.ncodes)) {
          out += a->word;
        } else {
          for (size_t k = 0; k < l.ncodes; ++k) {
            if (k) out += ',';
            append_uint(out, l.codes[k]);
          }
        }
      }
      if (l.action == KeyAction::Press) out += " p";
      if (l.action == KeyAction::Repeat) out += " r";
      break;
    case Tag::Up:
      out += ' ';
      append_vk(out, l.vk);
      break;
    case Tag::Held:
      out += ' ';
      append_vk(out, l.vk);
      out += l.down ? " 1" : " 0";
      break;
    case Tag::Time:
    case Tag::Exit:
      out += ' ';
      append_int(out, l.value);
      break;
    case Tag::Seed:
      out += ' ';
      append_uint(out, static_cast<uint64_t>(l.value));
      out += ' ';
      append_uint(out, l.used);
      break;
    case Tag::Typed:
      out += ' ';
      append_uint(out, static_cast<uint64_t>(l.value));
      out += ' ';
      append_text(out, l.text, l.text_len);
      break;
    case Tag::Check:
      out += ' ';
      append_uint(out, l.version);
      out += ' ';
      append_hex8(out, l.hash);
      break;
    case Tag::End:
      out += ' ';
      append_int(out, l.value);
      out += ' ';
      append_uint(out, l.version);
      out += ' ';
      append_hex8(out, l.hash);
      break;
    case Tag::Closed:
      break;
  }
  out += '\n';
  whole.append(out.buf, out.n);
}

bool parse_line(std::string_view s, Line& l, std::string& why) {
  l = Line{};
  Fields f{s};
  std::string_view name, field;
  if (!f.next(name) || !tag_of(name, l.tag)) {
    why = "not an event";
    return false;
  }
  uint64_t g = 0, t = 0;
  if (!f.next(field) || !parse_uint(field, kMaxGatherings, g) || !f.next(field) ||
      !parse_uint(field, static_cast<uint64_t>(kMaxMs), t)) {
    why = "its gatherings and milliseconds are not two whole numbers in range";
    return false;
  }
  l.gatherings = g;
  l.ms = static_cast<int64_t>(t);
  bool ok = true;
  uint64_t v = 0;
  switch (l.tag) {
    case Tag::Key:
    case Tag::WaitKey:
      if (!f.rest.empty()) {
        ok = f.next(field);
        if (ok && field != "p" && field != "r") {
          ok = parse_codes(field, l);
          if (ok && !f.rest.empty()) ok = f.next(field) && (field == "p" || field == "r");
        }
        if (field == "p") l.action = KeyAction::Press;
        if (field == "r") l.action = KeyAction::Repeat;
      }
      if (!ok)
        why =
            "a key takes its codes (0 to 255, at most 16, joined by commas, or up, down, "
            "left, right), then p or r";
      break;
    case Tag::Up:
      ok = f.next(field) && parse_vk(field, l.vk);
      if (!ok) why = "a release needs a key code from 0 to 255 (or up, down, left, right)";
      break;
    case Tag::Held:
      ok =
          f.next(field) && parse_vk(field, l.vk) && f.next(field) && (field == "0" || field == "1");
      l.down = field == "1";
      if (!ok) why = "a held state needs a key code from 0 to 255 (or an arrow's name), 1 or 0";
      break;
    case Tag::Time:
      // The program keeps the time in an int and subtracts one time from another: past these
      // bounds that would overflow, and no clock gives such values before 2038.
      ok = f.next(field) && parse_uint(field, INT32_MAX, v);
      l.value = static_cast<int64_t>(v);
      if (!ok) why = "a time needs a whole number from 0 to 2147483647";
      break;
    case Tag::Exit:
      ok = f.next(field) && parse_uint(field, 255, v);
      l.value = static_cast<int64_t>(v);
      if (!ok) why = "an exit needs a code from 0 to 255";
      break;
    case Tag::Seed:
      ok = f.next(field) && parse_uint(field, UINT32_MAX, v);
      l.value = static_cast<int64_t>(v);
      ok = ok && f.next(field) && parse_uint(field, UINT32_MAX, v);
      l.used = static_cast<uint32_t>(v);
      if (!ok) why = "a seeding needs two seeds from 0 to 4294967295";
      break;
    case Tag::Typed:
      ok = f.next(field) && parse_uint(field, UINT32_MAX, v);
      l.value = static_cast<int64_t>(v);
      // The text is the rest of the line, spaces and all.
      ok = ok && !f.bad && parse_text(f.rest, l) && l.text_len == (v < kMaxText ? v : kMaxText);
      f.rest = {};
      if (!ok) {
        why = "a typed line needs its length and its first bytes in quotes";
      }
      break;
    case Tag::Check:
      ok = f.next(field) && parse_uint(field, UINT64_MAX, l.version) && f.next(field) &&
           parse_hex8(field, l.hash);
      if (!ok) why = "a check needs a change count and eight hex digits";
      break;
    case Tag::End:
      ok = f.next(field) && parse_uint(field, 255, v);
      l.value = static_cast<int64_t>(v);
      ok = ok && f.next(field) && parse_uint(field, UINT64_MAX, l.version) && f.next(field) &&
           parse_hex8(field, l.hash);
      if (!ok) why = "an end needs an exit code, a change count and eight hex digits";
      break;
    case Tag::Closed:
      break;
  }
  if (ok && !f.done()) {
    why = "more fields than its kind has";
    ok = false;
  }
  return ok;
}

bool parse_header_line(std::string_view s, Header& h, bool& done, std::string& why) {
  Fields f{s};
  std::string_view key, a, b;
  if (!f.next(key)) {
    why = "not a header line";
    return false;
  }
  if (key == "events") {
    done = f.done();
    if (!done) why = "'events' takes nothing after it";
    return done;
  }
  auto token = [](std::string_view t) {
    if (t.empty() || t.size() > 32) return false;
    for (char c : t)
      if (c <= ' ' || c > '~') return false;
    return true;
  };
  bool ok = true;
  if (key == "program" || key == "backend" || key == "keyboard") {
    ok = f.next(a) && f.done() && token(a);
    if (ok && key == "program") h.program = a;
    if (ok && key == "backend") h.backend = a;
    if (ok && key == "keyboard") h.keyboard = a == "none" ? "" : std::string(a);
  } else if (key == "size") {
    uint64_t c = 0, r = 0;
    ok = f.next(a);
    if (ok && a == "none") {
      ok = f.done();
      h.cols = h.rows = 0;
    } else {
      ok = ok && parse_uint(a, 10000, c) && f.next(b) && parse_uint(b, 10000, r) && f.done();
      h.cols = static_cast<int>(c);
      h.rows = static_cast<int>(r);
    }
  } else if (key == "seed") {
    uint64_t v = 0;
    ok = f.next(a) && f.done();
    if (ok && a == "clock") {
      h.seed.reset();
    } else {
      ok = ok && parse_uint(a, UINT32_MAX, v);
      if (ok) h.seed = static_cast<unsigned>(v);
    }
  } else if (key == "started") {
    ok = f.next(a) && f.done() && parse_int(a, h.started);
  }
  // Any other key is for a later version of this format: skipped.
  if (!ok) why = "a header line whose value is not what '" + std::string(key) + "' takes";
  return ok;
}

uint32_t screen_hash(const Screen& s) {
  // One word per cell (glyph, attribute, half), folded in four lanes of FNV-1a so that the
  // multiplications do not wait on each other; the lanes are mixed at the end.
  constexpr uint64_t kPrime = 0x100000001b3ull;
  uint64_t lane[4] = {0xcbf29ce484222325ull, 0x84222325cbf29ce4ull, 0x9e3779b97f4a7c15ull,
                      0xc2b2ae3d27d4eb4full};
  const int w = s.width(), h = s.height();
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  const Cell* cells = &s.at(0, 0);  // the rows one after another
  auto word = [cells](size_t k) {
    return static_cast<uint64_t>(cells[k].ch) | static_cast<uint64_t>(cells[k].attr) << 21 |
           static_cast<uint64_t>(cells[k].half) << 29;
  };
  size_t k = 0;
  for (; k + 4 <= n; k += 4)
    for (size_t j = 0; j < 4; ++j) lane[j] = (lane[j] ^ word(k + j)) * kPrime;
  for (; k < n; ++k) lane[k & 3] = (lane[k & 3] ^ word(k)) * kPrime;
  uint64_t out = 0xcbf29ce484222325ull;
  auto mix = [&out](uint64_t v) { out = (out ^ v) * kPrime; };
  for (uint64_t l : lane) mix(l ^ l >> 29);
  mix(static_cast<uint64_t>(w) << 16 | static_cast<uint64_t>(h));
  mix(static_cast<uint64_t>(s.cursor_x()) << 16 | static_cast<uint64_t>(s.cursor_y()));
  mix(static_cast<uint64_t>(s.attr()) | static_cast<uint64_t>(s.fill_attr()) << 8 |
      static_cast<uint64_t>(s.cursor_visible()) << 16);
  return static_cast<uint32_t>(out ^ out >> 32);
}

std::string event_text(const Line& l) {
  std::string s;
  switch (l.tag) {
    case Tag::Key:
      return "the key " + key_text(l) + " came while the program slept or polled";
    case Tag::WaitKey:
      return "the key " + key_text(l) + " came while the program waited for a key";
    case Tag::Up:
      return vk_text(l.vk) + " was let go";
    case Tag::Held:
      return "the held state of " + vk_text(l.vk) + " read " + (l.down ? "down" : "up");
    case Tag::Time:
      s = "time() answered ";
      append_int(s, l.value);
      return s;
    case Tag::Seed:
      s = "srand(";
      append_uint(s, static_cast<uint64_t>(l.value));
      s += ") seeded the generator with ";
      append_uint(s, l.used);
      return s;
    case Tag::Typed:
      s = "the line ";
      append_text(s, l.text, l.text_len);
      if (static_cast<uint64_t>(l.value) > l.text_len) s += "...";
      s += " was read for a number";
      return s;
    case Tag::Check:
      return "the screen was checked";
    case Tag::Closed:
      return "input ended";
    case Tag::Exit:
      s = "the program was told to end (code ";
      append_int(s, l.value);
      return s + ")";
    case Tag::End:
      s = "the program ended (code ";
      append_int(s, l.value);
      return s + ")";
  }
  return s;
}

}  // namespace con::record
