// A small VT terminal for the tests: it takes the bytes a program writes to a terminal and
// keeps what a player would see (each cell's glyph and colours, the cursor) and what the
// terminal is set to (autowrap, focus reports, the kitty keyboard flags), and answers the
// queries a terminal answers (cursor position, keyboard flags, device attributes).
//
// It knows CUP, CUF, SGR, ED, EL, ECH, DECTCEM, DECAWM, focus reports, the kitty keyboard
// protocol's push, pop and query, DSR-CPR, DA1, CR, LF (scrolling at the bottom) and text in
// UTF-8 or a charset iconv knows (GBK). The default colours are 39 and 49.
//
// Strict, it treats two-column glyphs as mlterm 3.9 does, where a fault shows as a block in the
// terminal's default colours:
// - a glyph or a blank written over one half of a two-column glyph leaves the other half in the
//   default colours, unless the same run of text (no cursor move or erase in between) goes on
//   over it;
// - an erase of characters (ECH) that reaches into a two-column glyph: mlterm counts parts of it
//   in characters instead of columns and, depending on what follows on the row, leaves the
//   glyph's right half in the default colours or the whole glyph standing. Any such erase
//   counts here.
// Such a cell is marked, and a mark stays, so that a fault is seen even where a later frame
// happens to write over it.
#pragma once

#include <gtest/gtest.h>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define VT_HAVE_ICONV 1
#else
#define VT_HAVE_ICONV 0
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/backends/presenter.hpp"
#include "console/screen.hpp"

namespace vt {

// The SGR colours the presenter writes for an attribute's foreground and background.
inline int sgr_fg(uint8_t a) {
  const int n = a & 15, i = ((n & 1) << 2) | (n & 2) | ((n & 4) >> 2);
  return (n & 8 ? 90 : 30) + i;
}
inline int sgr_bg(uint8_t a) {
  const int n = a >> 4, i = ((n & 1) << 2) | (n & 2) | ((n & 4) >> 2);
  return (n & 8 ? 100 : 40) + i;
}

struct Cell {
  char32_t ch = U'.';  // never written: not what any model cell holds; 0: a glyph's second column
  int fg = -1, bg = -1;
  bool marked = false;
};

struct Vt {
  int w, h;
  bool amb_wide;        // draws East Asian ambiguous glyphs two columns wide
  bool strict = false;  // two-column glyphs as mlterm treats them (see above)
  std::string charset;  // "" for UTF-8, else an iconv name such as "GBK"
  std::vector<Cell> cells;
  int x = 0, y = 0, fg = 39, bg = 49;
  bool cursor = true;
  bool autowrap = false;  // as the program keeps it; a terminal before the program has it on
  bool focus = false;     // focus reports
  bool kitty = false;     // has the kitty keyboard protocol, granting `grants` of what is pushed
  int grants = 31;
  std::vector<int> flags;  // the keyboard flags' stack
  int scrolled = 0;        // rows gone off the top
  size_t fed = 0;          // bytes taken
  int bad = 0;             // bytes that are no text in the charset
  int da1s = 0;            // DA1 queries answered
  // Queries and mode changes in order: "cpr ROW;COL" (as answered), "flags?", "da1", "push N",
  // "pop", "autowrap on|off", "focus on|off", "clear" (the whole screen erased).
  std::vector<std::string> events;
  std::string replies;  // the answers to queries, for a fake terminal to send
  int marks = 0;
  std::string first_mark;  // where the first mark was made, and why

  Vt(int cols, int rows, bool wide = false)
      : w(cols), h(rows), amb_wide(wide), cells(static_cast<size_t>(cols * rows)) {}

  Cell& at(int cx, int cy) { return cells[static_cast<size_t>(cy * w + cx)]; }
  const Cell& at(int cx, int cy) const { return cells[static_cast<size_t>(cy * w + cx)]; }

  // What a row shows, as UTF-8 (a two-column glyph once).
  std::string row(int cy) const {
    std::string out;
    for (int cx = 0; cx < w; ++cx)
      if (at(cx, cy).ch != 0) con::append_utf8(out, at(cx, cy).ch);
    return out;
  }
  std::string text() const {
    std::string out;
    for (int cy = 0; cy < h; ++cy) out += row(cy) + "\n";
    return out;
  }
  // Whether every cell from row `from` down is a blank in the default colours.
  bool blank_from(int from) const {
    for (int k = from * w; k < w * h; ++k)
      if (cells[static_cast<size_t>(k)].ch != U' ' || cells[static_cast<size_t>(k)].fg != 39 ||
          cells[static_cast<size_t>(k)].bg != 49)
        return false;
    return true;
  }
  bool clean() const { return marks == 0 && owed_.empty(); }

  void resize(int cols, int rows) {
    std::vector<Cell> next(static_cast<size_t>(cols * rows));
    for (int cy = 0; cy < std::min(rows, h); ++cy)
      for (int cx = 0; cx < std::min(cols, w); ++cx)
        next[static_cast<size_t>(cy * cols + cx)] = at(cx, cy);
    cells = std::move(next);
    w = cols;
    h = rows;
    x = std::min(x, w - 1);
    y = std::min(y, h - 1);
  }

  // Takes bytes as they come: a sequence or glyph cut off waits for the next call.
  void feed(std::string_view bytes) {
    fed += bytes.size();
    held_.append(bytes);
    const std::string& b = held_;
    size_t i = 0;
    while (i < b.size()) {
      const unsigned char c = static_cast<unsigned char>(b[i]);
      if (c == 0x1b) {
        if (i + 1 >= b.size()) break;
        if (b[i + 1] != '[') {
          ADD_FAILURE() << "an escape that is no CSI: " << testing::PrintToString(b.substr(i, 8));
          i += 2;
          continue;
        }
        size_t j = i + 2;
        while (j < b.size() && (b[j] < 0x40 || b[j] > 0x7e)) ++j;
        if (j >= b.size()) break;
        csi(b.substr(i + 2, j - i - 2), b[j]);
        i = j + 1;
      } else if (c < 0x20 || c == 0x7f) {
        end_run();
        wrap_ = false;
        if (c == '\r') x = 0;
        if (c == '\n') line_feed();
        ++i;
      } else {
        const size_t n = glyph_bytes(b, i);
        if (n == 0) break;
        const char32_t g = decode(std::string_view(b).substr(i, n));
        put(g, g < 0x80 ? 1 : con::always_wide(g) || amb_wide ? 2 : 1);
        i += n;
      }
    }
    held_.erase(0, i);
  }

  // Takes one whole write (a frame): nothing may be left cut off, and its last run of text ends.
  void run(const std::string& bytes) {
    feed(bytes);
    EXPECT_TRUE(held_.empty()) << "cut off: " << testing::PrintToString(held_);
    end_run();
  }

  std::string take_replies() { return std::exchange(replies, std::string()); }

 private:
  std::string held_;
  std::vector<std::pair<int, int>> owed_;  // strict: halves the running text must still cover
  bool wrap_ = false;                      // autowrap: the last column was written

  size_t glyph_bytes(const std::string& b, size_t i) {
    const unsigned char c = static_cast<unsigned char>(b[i]);
    size_t n = 1;
    if (charset.empty()) {
      n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    } else if (c >= 0x81 && c <= 0xFE) {
      if (i + 1 >= b.size()) return 0;
      const unsigned char t = static_cast<unsigned char>(b[i + 1]);
      n = t >= '0' && t <= '9' ? 4 : 2;  // GB18030's four bytes, or two
    }
    return i + n <= b.size() ? n : 0;
  }

  char32_t decode(std::string_view g) {
    if (g.size() == 1 && static_cast<unsigned char>(g[0]) < 0x80)
      return static_cast<char32_t>(g[0]);
    if (charset.empty()) {
      size_t k = 0;
      const char32_t c = con::decode_utf8(g, k);
      if (c == U'?' || k != g.size()) ++bad;  // only ever a replacement here
      return c;
    }
#if VT_HAVE_ICONV
    if (iconv_t cd = iconv_open("UTF-32LE", charset.c_str()); cd != reinterpret_cast<iconv_t>(-1)) {
      char32_t u = 0;  // little-endian, as the machines the tests run on
      std::string in(g);
      char *src = in.data(), *dst = reinterpret_cast<char*>(&u);
      size_t src_left = in.size(), dst_left = sizeof u;
      const bool ok = iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1);
      iconv_close(cd);
      if (ok && dst_left == 0) return u;
    }
#endif
    ++bad;
    return U'?';
  }

  void mark(int cx, int cy, const char* why) {
    Cell& c = at(cx, cy);
    if (!c.marked && marks++ == 0) {
      char b[128];
      std::snprintf(b, sizeof b, "(%d, %d): %s", cx, cy, why);
      first_mark = b;
    }
    c = {U' ', 39, 49, true};
  }

  // The run of text is over: a half it left is in the terminal's default colours for good.
  void end_run() {
    for (const auto& [cx, cy] : owed_) mark(cx, cy, "the other half of a glyph written over");
    owed_.clear();
  }

  // Whether (cx, y) is a half of a two-column glyph; `lead` gets the glyph's first column.
  bool in_pair(int cx, int& lead) const {
    if (cx < 0 || cx >= w) return false;
    if (at(cx, y).ch == 0 && cx > 0) return lead = cx - 1, true;
    if (at(cx, y).ch != 0 && cx + 1 < w && at(cx + 1, y).ch == 0) return lead = cx, true;
    return false;
  }

  void put(char32_t g, int width) {
    if (wrap_ && autowrap) {
      end_run();
      x = 0;
      line_feed();
    }
    wrap_ = false;
    if (x >= w) x = w - 1;
    const int end = std::min(x + width, w);
    if (strict) {
      int lead = 0;
      if (in_pair(x, lead) && lead < x) mark(lead, y, "a glyph written over the right half");
      if (in_pair(end - 1, lead) && lead + 1 >= end) {
        owed_.emplace_back(lead + 1, y);
        at(lead + 1, y) = {U' ', 39, 49, at(lead + 1, y).marked};
      }
      owed_.erase(std::remove_if(owed_.begin(), owed_.end(),
                                 [&](const auto& o) {
                                   return o.second == y && o.first >= x && o.first < end;
                                 }),
                  owed_.end());
    }
    at(x, y) = {g, fg, bg, at(x, y).marked};
    if (width == 2 && x + 1 < w) at(x + 1, y) = {0, fg, bg, at(x + 1, y).marked};
    if (x + width >= w) {
      x = w - 1;
      wrap_ = true;
    } else {
      x += width;
    }
  }

  void line_feed() {
    if (y + 1 < h) {
      ++y;
      return;
    }
    cells.erase(cells.begin(), cells.begin() + w);
    cells.insert(cells.end(), static_cast<size_t>(w), Cell{U' ', fg, bg});
    ++scrolled;
  }

  // Blanks [from, to) of the cursor's row in the current colours.
  void erase(int from, int to) {
    for (int k = from; k < to; ++k) at(k, y) = {U' ', fg, bg, at(k, y).marked};
  }

  void csi(const std::string& p, char f) {
    if (!p.empty() && (p[0] == '?' || p[0] == '>' || p[0] == '<' || p[0] == '=')) {
      private_mode(p, f);
      return;
    }
    if (f != 'm') end_run();
    std::vector<int> a;
    for (size_t s = 0; s <= p.size();) {
      size_t e = p.find(';', s);
      if (e == std::string::npos) e = p.size();
      a.push_back(e > s ? std::atoi(p.substr(s, e - s).c_str()) : 0);
      s = e + 1;
    }
    auto arg = [&](size_t k, int d) { return k < a.size() && a[k] > 0 ? a[k] : d; };
    if (f != 'm') wrap_ = false;
    switch (f) {
      case 'H':  // CUP
        y = std::min(arg(0, 1), h) - 1;
        x = std::min(arg(1, 1), w) - 1;
        break;
      case 'C':  // CUF
        x = std::min(x + arg(0, 1), w - 1);
        break;
      case 'm':  // SGR
        for (int v : a) {
          if ((v >= 30 && v <= 37) || (v >= 90 && v <= 97)) fg = v;
          if ((v >= 40 && v <= 47) || (v >= 100 && v <= 107)) bg = v;
          if (v == 0) fg = 39, bg = 49;
        }
        break;
      case 'J': {  // ED: 0 from the cursor to the end, 2 everything
        const bool all = arg(0, 0) == 2;
        if (all) {
          events.emplace_back("clear");
          for (Cell& c : cells) c = {U' ', fg, bg, c.marked};
          break;
        }
        erase(x, w);
        for (int k = (y + 1) * w; k < w * h; ++k) {
          Cell& c = cells[static_cast<size_t>(k)];
          c = {U' ', fg, bg, c.marked};
        }
        break;
      }
      case 'K':  // EL: 0 from the cursor to the end of the row, 2 the whole row
        erase(arg(0, 0) == 2 ? 0 : x, w);
        break;
      case 'X':  // ECH
        if (strict) {
          for (int k = x, lead = 0; k < std::min(x + arg(0, 1), w); ++k) {
            if (!in_pair(k, lead)) continue;
            mark(lead, y, "an erase of characters over a glyph");
            mark(lead + 1, y, "an erase of characters over a glyph");
          }
        }
        erase(x, std::min(x + arg(0, 1), w));
        break;
      case 'n': {  // DSR: 6 asks where the cursor is
        if (arg(0, 0) != 6) break;
        const std::string at = std::to_string(y + 1) + ";" + std::to_string(x + 1);
        events.push_back("cpr " + at);
        replies += "\x1b[" + at + "R";
        break;
      }
      case 'c':  // DA1
        events.emplace_back("da1");
        replies += "\x1b[?62c";
        ++da1s;
        break;
      default:
        ADD_FAILURE() << "unexpected CSI " << p << f;
    }
  }

  void private_mode(const std::string& p, char f) {
    const int n = std::atoi(p.c_str() + 1);
    if (f == 'h' || f == 'l') {
      const bool on = f == 'h';
      if (n == 25) {
        cursor = on;
      } else if (n == 7) {
        autowrap = on;
        events.emplace_back(on ? "autowrap on" : "autowrap off");
      } else if (n == 1004) {
        focus = on;
        events.emplace_back(on ? "focus on" : "focus off");
      } else {
        ADD_FAILURE() << "unexpected mode " << p << f;
      }
      return;
    }
    if (f == 'u' && p == "?") {
      events.emplace_back("flags?");
      if (kitty) replies += "\x1b[?" + std::to_string(flags.empty() ? 0 : flags.back()) + "u";
    } else if (f == 'u' && p[0] == '>') {
      events.push_back("push " + std::to_string(n));
      if (kitty) flags.push_back(n & grants);
    } else if (f == 'u' && p[0] == '<') {
      events.emplace_back("pop");
      for (int k = 0; k < std::max(n, 1) && kitty && !flags.empty(); ++k) flags.pop_back();
    } else {
      ADD_FAILURE() << "unexpected CSI " << p << f;
    }
  }
};

}  // namespace vt
