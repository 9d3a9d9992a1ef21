#include "console/console.hpp"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console/backend.hpp"
#include "console/session.hpp"

namespace con {
namespace {

struct State {
  Backend* backend = nullptr;
  Observer* observer = nullptr;
  Screen screen;
  KeyQueue keys;
  std::string line;  // what is left of the last typed line, for the next number read
  size_t line_pos = 0;
  // The scan code of an extended key whose prefix _getch has returned. It waits for the next
  // _getch, out of reach of line reads and "pause", which read the console's queue itself.
  int scan = -1;
  uint32_t rng = 1;
  std::optional<unsigned> seed_override;
  // One answer per moment: between two gatherings of input, every query of a key's held state
  // gives the answer the first one got. A game that asks for a key twice in a tick (once to
  // act on a press, once to see it let go) then sees one state, and a release that came since
  // the last gathering is seen by every query after it, not by the first alone.
  uint32_t moment = 1;
  struct Asked {
    uint32_t moment = 0;
    bool down = false;
  };
  Asked asked[256];
  // Since input ended and its last key was taken: when the first key poll found nothing, and
  // the screen at the last such poll.
  bool drained = false;
  int64_t drained_at = 0;
  std::vector<Cell> still;
  int still_w = 0, still_h = 0;
};

State& st() {
  static State s;
  return s;
}

Backend& be() {
  if (!st().backend) throw Exit{0};
  return *st().backend;
}

// Gathers input: the backend's pump, and the start of a new moment for the held keys.
void gather(int64_t deadline_ms, bool until_key) {
  State& s = st();
  be().pump(s.keys, deadline_ms, until_key);
  ++s.moment;
}

// Output that shows on the console: into the model, and to a byte stream if there is one.
void emit(std::string_view text) {
  State& s = st();
  s.screen.write(text);
  be().text(text);
}

// Whether the screen shows what it showed at the last key poll after the end of input.
bool same_screen(const State& s) {
  const Screen& sc = s.screen;
  if (sc.width() != s.still_w || sc.height() != s.still_h) return false;
  for (int y = 0; y < sc.height(); ++y)
    for (int x = 0; x < sc.width(); ++x)
      if (!(sc.at(x, y) == s.still[static_cast<size_t>(y * sc.width() + x)])) return false;
  return true;
}

// A key poll that found no key, with input ended and every key of it taken. The program ends
// here (Exit{0}) when the screen is as the previous such poll left it, since a game standing
// still can only be waiting for a key, or when kRunOnMs have passed on the clock since the
// first such poll: a game that never stands still still ends.
void poll_after_end() {
  State& s = st();
  const int64_t now = be().now_ms();
  if (!s.drained) {
    s.drained = true;
    s.drained_at = now;
  } else if (same_screen(s) || now - s.drained_at >= kRunOnMs) {
    throw Exit{0};
  }
  const Screen& sc = s.screen;
  s.still_w = sc.width();
  s.still_h = sc.height();
  s.still.resize(static_cast<size_t>(sc.width() * sc.height()));
  for (int y = 0; y < sc.height(); ++y)
    for (int x = 0; x < sc.width(); ++x)
      s.still[static_cast<size_t>(y * sc.width() + x)] = sc.at(x, y);
}

// Waits until a key is queued; input that has ended ends the program.
void wait_key() {
  State& s = st();
  while (s.keys.empty()) {
    if (s.keys.closed) throw Exit{0};
    be().present(s.screen);
    gather(INT64_MAX, true);
  }
}

// One typed line, echoed into the model as the console echoes it (never into a byte stream:
// a pipe does not echo). Backspace edits; Enter ends the line.
std::string read_line() {
  State& s = st();
  std::string line;
  std::vector<int> widths;  // columns each typed character's echo took, for backspace
  for (;;) {
    wait_key();
    int c = s.keys.pop();
    if (s.keys.continues()) {  // an extended key (prefix, scan code): it types nothing
      while (s.keys.continues()) s.keys.pop();
      continue;
    }
    if (c == 13 || c == 10) {
      s.screen.write("\n");
      if (s.observer) s.observer->line_read(line);
      return line;
    }
    if (c == 8 || c == 127) {
      if (!line.empty()) {
        line.pop_back();
        const int w = widths.back();
        widths.pop_back();
        for (int k = 0; k < w; ++k) s.screen.put_glyph(U'\b');
        for (int k = 0; k < w; ++k) s.screen.put_glyph(U' ');
        for (int k = 0; k < w; ++k) s.screen.put_glyph(U'\b');
      }
      continue;
    }
    if (c == '\t') {
      // A tab is typed text (white space between numbers); it echoes to the next tab stop.
      line += '\t';
      widths.push_back(8 - (s.screen.cursor_x() & 7));
      s.screen.put_glyph(U'\t');
      continue;
    }
    if (c < 0x20) continue;
    line += static_cast<char>(c);
    widths.push_back(1);
    // Show printable ASCII as typed; other bytes as a placeholder so the echo keeps its width.
    s.screen.put_glyph(c < 0x7F ? static_cast<char32_t>(c) : U'?');
  }
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

// Reads one optionally signed decimal number that fits in [lo, hi].
bool read_number(long long lo, long long hi, long long& out) {
  State& s = st();
  for (;;) {
    while (s.line_pos < s.line.size() && is_blank(s.line[s.line_pos])) ++s.line_pos;
    if (s.line_pos < s.line.size()) break;
    s.line = read_line();  // blank lines are skipped, as white space
    s.line_pos = 0;
  }
  const std::string& l = s.line;
  size_t p = s.line_pos;
  bool neg = false;
  if (l[p] == '+' || l[p] == '-') neg = l[p++] == '-';
  bool digits = false, overflow = false;
  unsigned long long mag = 0;
  const unsigned long long limit =
      neg ? static_cast<unsigned long long>(-(lo + 1)) + 1 : static_cast<unsigned long long>(hi);
  while (p < l.size() && std::isdigit(static_cast<unsigned char>(l[p]))) {
    digits = true;
    unsigned d = static_cast<unsigned>(l[p++] - '0');
    if (!overflow && (mag > (limit - d) / 10)) overflow = true;
    if (!overflow) mag = mag * 10 + d;
  }
  if (!digits || overflow) {
    // No number, or one that does not fit: the rest of this line goes, so the next read
    // starts clean instead of failing on the same text again.
    s.line.clear();
    s.line_pos = 0;
    return false;
  }
  s.line_pos = p;
  out = neg ? static_cast<long long>(0ULL - mag) : static_cast<long long>(mag);
  return true;
}

uint8_t hex_digit(char c, bool& ok) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  ok = false;
  return 0;
}

std::string lower_words(const char* command) {
  std::string out;
  bool space = true;
  for (const char* p = command; *p; ++p) {
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    if (c == ' ' || c == '\t') {
      if (!space) out += ' ';
      space = true;
    } else {
      out += c;
      space = false;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

void pause_command() {
  emit("请按任意键继续. . . ");
  wait_key();
  st().keys.pop_event();
  emit("\n");
}

void color_command(const std::string& arg) {
  // Two hex digits, background then foreground. Anything else ("color 100"), or equal
  // digits, changes nothing, as on the console.
  if (arg.size() != 2) return;
  bool ok = true;
  uint8_t bg = hex_digit(arg[0], ok), fg = hex_digit(arg[1], ok);
  if (!ok || bg == fg) return;
  st().screen.recolor(static_cast<uint8_t>(bg << 4 | fg));
}

void mode_command(const std::string& args) {
  int cols = 0, lines = 0;
  if (std::sscanf(args.c_str(), "con cols=%d lines=%d", &cols, &lines) != 2) return;
  if (cols < 1 || lines < 1 || cols > 1000 || lines > 1000) return;
  st().screen.resize(cols, lines);
}

}  // namespace

// --- Session -------------------------------------------------------------------------------

void attach(Backend& backend, Observer* observer) {
  State& s = st();
  if (s.backend) detach();
  std::optional<unsigned> seed = s.seed_override;
  s = State{};
  s.seed_override = seed;
  s.backend = &backend;
  s.observer = observer;
  backend.start(s.screen);
}

void detach() {
  State& s = st();
  if (!s.backend) return;
  Backend* b = s.backend;
  s.backend = nullptr;
  s.observer = nullptr;
  b->present(s.screen);
  b->finish(s.screen);
}

bool attached() {
  return st().backend != nullptr;
}
Screen& screen() {
  return st().screen;
}
KeyQueue& keys() {
  return st().keys;
}
void set_seed_override(std::optional<unsigned> seed) {
  st().seed_override = seed;
}

// Never put inline: the WebAssembly build compiles catching into this function alone, by its
// name (cmake/web.cmake), and its callers are several.
[[gnu::noinline]] int run_attached(Backend& top, const std::function<int()>& program,
                                   Observer* observer) {
  attach(top, observer);
  int code = 0;
  try {
    code = program();
  } catch (const Exit& e) {
    code = e.code;
  }
  if (observer) observer->ending(code);
  detach();
  return code;
}

// --- Primitives ----------------------------------------------------------------------------

Handle GetStdHandle(Handle which) {
  return which;
}

int ti(float v) {
  float p = v * 10 + 5;
  // Out of int range the conversion would be undefined; such positions are off-screen anyway.
  if (!(p > -2147483520.0f)) p = -2147483520.0f;
  if (p > 2147483520.0f) p = 2147483520.0f;
  int q = static_cast<int>(p);
  return q / 10;
}

void gotoxy(Handle, int x, int y) {
  st().screen.move_to(static_cast<int16_t>(x), static_cast<int16_t>(y));
}

void Setpos(float row, float col) {
  int c = ti(col * 4);
  int column = static_cast<int16_t>(c / 2);
  st().screen.move_to(column, static_cast<int16_t>(ti(row)));
}

int color(int attribute) {
  st().screen.set_attr(static_cast<uint8_t>(attribute & 0xFF));
  return 0;
}

void Color(int index) {
  static const uint8_t kPalette[15] = {0x0F, 0x0B, 0x0A, 0x0D, 0x0C, 0x0E, 0x09, 0x07,
                                       0x04, 0xB0, 0xD0, 0x05, 0x06, 0x08, 0x03};
  if (index < 0 || index > 14) return;
  st().screen.set_attr(kPalette[index]);
}

void hide_cursor() {
  st().screen.set_cursor_visible(false);
}

void system(const char* command) {
  if (!command) return;
  std::string c = lower_words(command);
  if (c == "cls") {
    st().screen.clear();
  } else if (c == "pause") {
    pause_command();
  } else if (c.rfind("color ", 0) == 0) {
    color_command(c.substr(6));
  } else if (c.rfind("mode ", 0) == 0) {
    mode_command(c.substr(5));
  }
}

void print(std::string_view text) {
  emit(text);
}

void printf(const char* format, ...) {
  char small[512];
  va_list ap;
  va_start(ap, format);
  va_list copy;
  va_copy(copy, ap);
  int n = std::vsnprintf(small, sizeof small, format, ap);
  va_end(ap);
  if (n < 0) {
    va_end(copy);
    return;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    va_end(copy);
    emit(std::string_view(small, static_cast<size_t>(n)));
    return;
  }
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), format, copy);
  va_end(copy);
  emit(std::string_view(big.data(), static_cast<size_t>(n)));
}

bool read_int(int& value) {
  long long v = 0;
  if (!read_number(INT_MIN, INT_MAX, v)) return false;
  value = static_cast<int>(v);
  return true;
}

bool read_ll(long long& value) {
  return read_number(LLONG_MIN, LLONG_MAX, value);
}

int _kbhit() {
  State& s = st();
  if (s.scan >= 0) return 1;
  if (s.keys.empty()) gather(be().now_ms(), false);
  if (!s.keys.empty()) return 1;
  if (s.keys.closed) poll_after_end();
  return 0;
}

int _getch() {
  State& s = st();
  if (s.scan >= 0) {
    int c = s.scan;
    s.scan = -1;
    return c;
  }
  wait_key();
  int c = s.keys.pop();
  // An extended key's scan code is queued with its prefix, in the same key event.
  if (s.keys.continues()) s.scan = s.keys.pop();
  return c;
}

short GetAsyncKeyState(int vk) {
  State& s = st();
  bool down;
  if (vk < 0 || vk > 0xFF) {
    down = be().key_down(vk);
  } else {
    State::Asked& a = s.asked[vk];
    if (a.moment != s.moment) {
      a.down = be().key_down(vk);
      a.moment = s.moment;
    }
    down = a.down;
  }
  return down ? static_cast<short>(INT16_MIN) : static_cast<short>(0);
}

void Sleep(int ms) {
  State& s = st();
  Backend& b = be();
  b.present(s.screen);
  gather(b.now_ms() + (ms > 0 ? ms : 0), false);
}

int time() {
  return static_cast<int>(be().wall_seconds());
}

void srand(unsigned seed) {
  State& s = st();
  s.rng = s.seed_override.value_or(seed);
  if (s.observer) s.observer->seeded(seed, s.rng);
}

int rand() {
  uint32_t& r = st().rng;
  r = r * 214013u + 2531011u;
  return static_cast<int>((r >> 16) & 0x7FFF);
}

}  // namespace con
