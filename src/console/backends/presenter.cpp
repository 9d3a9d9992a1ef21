#include "console/backends/presenter.hpp"

#if __has_include(<iconv.h>)
#include <iconv.h>
#define CON_HAVE_ICONV 1
#else
#define CON_HAVE_ICONV 0  // Windows: no other charset than UTF-8 here
#endif

#if __has_include(<langinfo.h>)
#include <langinfo.h>
#define CON_HAVE_LANGINFO 1
#else
#define CON_HAVE_LANGINFO 0  // Windows: the console and the pipes speak UTF-8 or UTF-16 here
#endif

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>

namespace con {
namespace {

// A run of at least this many blanks of one attribute is erased with ECH instead of written.
constexpr int kEraseRun = 10;
// Shown in the terminal's last row while it is smaller than the model.
constexpr uint8_t kNoticeAttr = 0x4F;  // bright white on red
// What the terminal shows where the presenter does not know: no model cell holds it.
constexpr char32_t kUnknown = 0xFFFFFFFF;
// The second half of a two-column glyph whose first half was just written over: it is written
// next, in the same run of text. No model cell holds it either.
constexpr char32_t kLeftBehind = 0xFFFFFFFE;

struct Range {
  char32_t lo, hi;
};

// East Asian Wide and Fullwidth characters: two columns in every terminal. Whole blocks where
// Unicode keeps their unassigned code points wide too; in the emoji blocks only the characters
// drawn as emoji by default (the others are one column wide, as text).
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x16FF0, 0x16FF1}, {0x17000, 0x18D08}, {0x1AFF0, 0x1B2FF}, {0x1F004, 0x1F004},
    {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F320},
    {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA},
    {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E},
    {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E},
    {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4},
    {0x1F5FB, 0x1F64F}, {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2},
    {0x1F6D5, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FF}, {0x1F7E0, 0x1F7F0},
    {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

// Combining marks, zero-width and control code points: they would not advance the cursor.
bool zero_width(char32_t c) {
  return c < 0xA0 || (c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) ||
         (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF ||
         (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF;
}

void append_int(std::string& out, int v) {
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%d", v);
  out.append(buf, static_cast<size_t>(n));
}

// Windows colour index (1 blue, 2 green, 4 red) to ANSI (1 red, 2 green, 4 blue).
int ansi(int nibble) {
  return ((nibble & 1) << 2) | (nibble & 2) | ((nibble & 4) >> 2);
}

}  // namespace

bool always_wide(char32_t c) {
  if (c < 0x1100) return false;
  const Range* end = kWide + sizeof kWide / sizeof kWide[0];
  const Range* r =
      std::upper_bound(kWide, end, c, [](char32_t v, const Range& g) { return v < g.lo; });
  return r != kWide && c <= (r - 1)->hi;
}

// --- Encoder -----------------------------------------------------------------------------------

Encoder::~Encoder() {
#if CON_HAVE_ICONV
  if (cd_) iconv_close(static_cast<iconv_t>(cd_));
#endif
}

bool Encoder::set_charset(const std::string& charset) {
#if CON_HAVE_ICONV
  if (cd_) iconv_close(static_cast<iconv_t>(cd_));
#endif
  cd_ = nullptr;
  cache_.clear();
  if (charset.empty()) return true;
#if !CON_HAVE_ICONV
  return false;
#else
  iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  cd_ = cd;
  return true;
#endif
}

std::string Encoder::locale_charset() {
  std::string charset;
#if CON_HAVE_LANGINFO
  const char* cur = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = cur ? cur : "C";
  if (std::setlocale(LC_CTYPE, "")) {
    const char* cs = nl_langinfo(CODESET);
    if (cs && (std::strncmp(cs, "GB", 2) == 0 || std::strncmp(cs, "gb", 2) == 0)) charset = cs;
  }
  std::setlocale(LC_CTYPE, saved.c_str());
#endif
  return charset;
}

bool Encoder::put(char32_t c, std::string& out) {
  if (!cd_) {
    append_utf8(out, c);
    return true;
  }
#if !CON_HAVE_ICONV
  return false;
#else
  auto it = cache_.find(c);
  if (it == cache_.end()) {
    std::string in;
    append_utf8(in, c);
    char buf[16];
    char* src = in.data();
    size_t src_left = in.size();
    char* dst = buf;
    size_t dst_left = sizeof buf;
    iconv_t cd = static_cast<iconv_t>(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    std::string bytes;
    if (r != static_cast<size_t>(-1) && src_left == 0) bytes.assign(buf, sizeof buf - dst_left);
    it = cache_.emplace(c, bytes).first;
  }
  if (it->second.empty()) return false;
  out += it->second;
  return true;
#endif
}

// --- Presenter ---------------------------------------------------------------------------------

void Presenter::set_size(int cols, int rows) {
  cols = std::max(cols, 1);
  rows = std::max(rows, 1);
  if (cols == cols_ && rows == rows_) return;
  cols_ = cols;
  rows_ = rows;
  full_ = true;
}

void Presenter::set_ambiguous_wide(bool wide) {
  if (wide == amb_wide_) return;
  amb_wide_ = wide;
  full_ = true;
}

void Presenter::move(int x, int y, std::string& out) {
  if (x == cx_ && y == cy_) return;
  if (y == cy_ && cx_ >= 0 && x > cx_) {
    out += "\x1b[";  // CUF
    if (x - cx_ > 1) append_int(out, x - cx_);
    out += 'C';
  } else if (x == 0 && cy_ >= 0 && y == cy_ + 1) {
    out += "\r\n";  // never at the bottom row: y is a row below cy_
  } else {
    out += "\x1b[";  // CUP
    if (y > 0 || x > 0) append_int(out, y + 1);
    if (x > 0) {
      out += ';';
      append_int(out, x + 1);
    }
    out += 'H';
  }
  cx_ = x;
  cy_ = y;
}

void Presenter::pen(uint8_t attr, std::string& out) {
  const int fg = attr & 15, bg = attr >> 4;
  if (fg == pen_fg_ && bg == pen_bg_) return;
  out += "\x1b[";  // SGR
  if (fg != pen_fg_) append_int(out, (fg & 8 ? 90 : 30) + ansi(fg));
  if (fg != pen_fg_ && bg != pen_bg_) out += ';';
  if (bg != pen_bg_) append_int(out, (bg & 8 ? 100 : 40) + ansi(bg));
  out += 'm';
  pen_fg_ = fg;
  pen_bg_ = bg;
}

void Presenter::glyph(char32_t ch, int cols, std::string& out) {
  if (ch < 0x80) {
    out += ch < 0x20 || ch == 0x7F ? ' ' : static_cast<char>(ch);
    if (cols == 2) out += ' ';
  } else if (cols == 1 || zero_width(ch)) {
    out += '?';
    if (cols == 2) out += ' ';
  } else {
    bool ok = enc_ ? enc_->put(ch, out) : (append_utf8(out, ch), true);
    if (!ok) out += '?';
    // A glyph drawn one column wide gets a blank, so the next cell lands where the model has it.
    if (!ok || !(always_wide(ch) || amb_wide_)) out += ' ';
  }
  cx_ += cols;
  if (cx_ >= cols_) cx_ = -1;  // at the right edge, with autowrap off: not worth tracking
}

void Presenter::notice(const Screen& s, std::string& out) {
  // Names what is short: the columns, the rows, or both.
  char text[128];
  if (cols_ >= s.width()) {
    std::snprintf(text, sizeof text, " Terminal too small: %d rows needed, this one has %d. ",
                  s.height(), rows_);
  } else if (rows_ >= s.height()) {
    std::snprintf(text, sizeof text, " Terminal too small: %d columns needed, this one has %d. ",
                  s.width(), cols_);
  } else {
    std::snprintf(text, sizeof text, " Terminal too small: %dx%d needed, this one is %dx%d. ",
                  s.width(), s.height(), cols_, rows_);
  }
  std::string t(text);
  if (t == notice_) return;
  notice_ = t;
  if (static_cast<int>(t.size()) > cols_) t.resize(static_cast<size_t>(cols_));
  const int row = rows_ > s.height() ? s.height() : rows_ - 1;
  move(0, row, out);
  pen(kNoticeAttr, out);
  out += t;
  cx_ = -1;
  notice_row_ = row;
}

void Presenter::drop_notice(const Screen& s, std::string& out) {
  // The row goes back to the terminal's colours; inside the model its cells are drawn again.
  move(0, notice_row_, out);
  out += "\x1b[0m\x1b[2K";  // SGR reset, EL: the whole row
  pen_fg_ = pen_bg_ = -1;
  if (notice_row_ < s.height() && notice_row_ < fh_) {
    const Cell unknown{kUnknown, 0, Half::Single};
    for (int x = 0; x < fw_; ++x) front_[static_cast<size_t>(notice_row_ * fw_ + x)] = unknown;
  }
  notice_.clear();
  notice_row_ = -1;
}

void Presenter::clear(const Screen& s, std::string& out) {
  // Cleared in the background of the last "color" command, so the model's blanks in that
  // colour need no writing.
  const int mw = s.width(), mh = s.height();
  const Cell blank{U' ', s.fill_attr(), Half::Single};
  front_.assign(static_cast<size_t>(mw) * static_cast<size_t>(mh), blank);
  fw_ = mw;
  fh_ = mh;
  ffill_ = s.fill_attr();
  pen_fg_ = pen_bg_ = -1;
  pen(s.fill_attr(), out);
  out += "\x1b[2J";  // ED: erase the whole screen in the current background
  cx_ = cy_ = -1;
  outside_to_default(s, out);
  notice_.clear();
  notice_row_ = -1;
  full_ = false;
}

void Presenter::outside_to_default(const Screen& s, std::string& out) {
  const int mw = s.width(), mh = s.height();
  if (cols_ <= mw && rows_ <= mh) return;
  out += "\x1b[0m";
  pen_fg_ = pen_bg_ = -1;
  if (cols_ > mw) {
    for (int y = 0; y < std::min(mh, rows_); ++y) {
      move(mw, y, out);
      out += "\x1b[K";  // EL: to the end of the row
    }
  }
  if (rows_ > mh) {
    move(0, mh, out);
    out += "\x1b[J";  // ED: to the end of the screen
  }
}

void Presenter::move_for_write(const Screen& s, int x, int y, std::string& out) {
  // A short gap of unchanged plain cells in the current colours is written again: shorter than
  // a cursor move.
  const int gap = x - cx_;
  if (y == cy_ && cx_ >= 0 && gap > 0 && gap <= 3) {
    bool plain = true;
    for (int k = cx_; k < x && plain; ++k) {
      const Cell& c = s.at(k, y);
      plain = c.half == Half::Single && c.ch >= 0x20 && c.ch < 0x7F && (c.attr & 15) == pen_fg_ &&
              (c.attr >> 4) == pen_bg_;
    }
    if (plain) {
      for (int k = cx_; k < x; ++k) out += static_cast<char>(s.at(k, y).ch);
      cx_ = x;
      return;
    }
  }
  move(x, y, out);
}

bool Presenter::two_columns(char32_t ch) {
  if (ch < 0x80 || zero_width(ch) || !(always_wide(ch) || amb_wide_)) return false;
  scratch_.clear();
  return !enc_ || enc_->put(ch, scratch_);
}

bool Presenter::in_wide_glyph(int x, int y) {
  const Cell& f = front(x, y);
  if (f.ch == kLeftBehind) return true;
  if (f.half == Half::Lead) return two_columns(f.ch);
  return f.half == Half::Trail && x > 0 && front(x - 1, y).half == Half::Lead &&
         two_columns(front(x - 1, y).ch);
}

void Presenter::note_left_behind(int x, int cols, int y) {
  const int last = x + cols - 1;
  if (last + 1 < fw_ && front(last, y).half == Half::Lead && two_columns(front(last, y).ch))
    front(last + 1, y) = Cell{kLeftBehind, 0, Half::Single};
}

void Presenter::draw_row(const Screen& s, int y, int w, std::string& out) {
  int x = 0;
  while (x < w) {
    const Cell& c = s.at(x, y);
    if (c.half == Half::Lead) {
      if (x + 1 >= w) {
        // Cut off by the terminal's edge: a blank in its place.
        const Cell cut{U' ', c.attr, Half::Single};
        if (!(front(x, y) == cut)) {
          move_for_write(s, x, y, out);
          pen(c.attr, out);
          glyph(U' ', 1, out);
          front(x, y) = cut;
        }
        ++x;
        continue;
      }
      const Cell& t = s.at(x + 1, y);
      if (!(front(x, y) == c && front(x + 1, y) == t)) {
        move_for_write(s, x, y, out);
        pen(c.attr, out);
        glyph(c.ch, 2, out);
        note_left_behind(x, 2, y);
        front(x, y) = c;
        front(x + 1, y) = t;
      }
      x += 2;
      continue;
    }
    // A trail without its lead cannot come from the model; draw it as a blank all the same.
    const Cell want = c.half == Half::Trail ? Cell{U' ', c.attr, Half::Single} : c;
    const Cell& f = front(x, y);
    if (f == want || (c.half == Half::Trail && f == c)) {
      ++x;
      continue;
    }
    if (want.ch == U' ') {
      // A run of blanks is erased with ECH, up to the first cell of a two-column glyph the
      // terminal shows: those get blanks written over them.
      int n = 0;
      while (x + n < w && s.at(x + n, y) == want && !in_wide_glyph(x + n, y)) ++n;
      if (n >= kEraseRun) {
        move_for_write(s, x, y, out);
        pen(want.attr, out);
        out += "\x1b[";  // ECH: blanks in the current background, the cursor stays
        append_int(out, n);
        out += 'X';
        for (int k = 0; k < n; ++k) front(x + k, y) = want;
        x += n;
        continue;
      }
    }
    move_for_write(s, x, y, out);
    pen(want.attr, out);
    glyph(want.ch, 1, out);
    note_left_behind(x, 1, y);
    front(x, y) = want;
    ++x;
  }
}

void Presenter::frame(const Screen& s, std::string& out) {
  const int mw = s.width(), mh = s.height();
  if (mw != fw_ || mh != fh_ || s.fill_attr() != ffill_) full_ = true;
  const bool with_notice = (cols_ < mw || rows_ < mh) && notice_on_;
  if (full_) {
    clear(s, out);
  } else if (!with_notice && notice_row_ >= 0) {
    drop_notice(s, out);
  }
  // The notice takes the terminal's last row when the model does not leave one free.
  const int vis_w = std::min(mw, cols_);
  const int vis_h = with_notice && rows_ <= mh ? rows_ - 1 : std::min(mh, rows_);
  for (int y = 0; y < vis_h; ++y) draw_row(s, y, vis_w, out);
  if (with_notice) notice(s, out);

  const bool shown = s.cursor_visible() && s.cursor_x() < vis_w && s.cursor_y() < vis_h;
  if (shown) move(s.cursor_x(), s.cursor_y(), out);
  if (cursor_shown_ != static_cast<int>(shown)) {
    out += shown ? "\x1b[?25h" : "\x1b[?25l";  // DECTCEM
    cursor_shown_ = shown;
  }
}

}  // namespace con
