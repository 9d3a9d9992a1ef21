#include "console/screen.hpp"

#include <algorithm>

namespace con {

char32_t decode_utf8(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = b0 >= 0xF0 && b0 < 0xF8 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
  if (len == 0 || i + static_cast<size_t>(len) > s.size()) {
    ++i;
    return U'?';
  }
  char32_t c = b0 & (0x3F >> (len - 1));
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return U'?';
    }
    c = (c << 6) | (b & 0x3F);
  }
  i += static_cast<size_t>(len);
  return c;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

Screen::Screen(int width, int height)
    : width_(width), height_(height), cells_(static_cast<size_t>(width * height)) {}

std::string Screen::row_text(int y) const {
  return text_at(0, y, width_);
}

std::string Screen::text_at(int x, int y, int len) const {
  std::string out;
  if (y < 0 || y >= height_) return out;
  for (int k = std::max(0, x); k < std::min(width_, x + len); ++k) {
    const Cell& c = at(k, y);
    if (c.half == Half::Trail) continue;
    append_utf8(out, c.ch);
  }
  return out;
}

void Screen::move_to(int x, int y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  cx_ = x;
  cy_ = y;
  ++version_;
}

// Writing over half of a two-column glyph blanks its other half, as the console does.
void Screen::unpair(int x, int y) {
  Cell& c = cell(x, y);
  if (c.half == Half::Lead && x + 1 < width_) {
    Cell& t = cell(x + 1, y);
    t.ch = U' ';
    t.half = Half::Single;
  } else if (c.half == Half::Trail && x > 0) {
    Cell& l = cell(x - 1, y);
    l.ch = U' ';
    l.half = Half::Single;
  }
}

void Screen::set_cell(int x, int y, char32_t ch, Half half) {
  unpair(x, y);
  Cell& c = cell(x, y);
  c.ch = ch;
  c.attr = attr_;
  c.half = half;
}

void Screen::line_feed() {
  cx_ = 0;
  if (cy_ + 1 < height_) {
    ++cy_;
    return;
  }
  // Past the bottom row the buffer scrolls up one row; the new row is blank.
  std::move(cells_.begin() + width_, cells_.end(), cells_.begin());
  std::fill(cells_.end() - width_, cells_.end(), Cell{U' ', attr_, Half::Single});
}

void Screen::advance(int n) {
  cx_ += n;
  if (cx_ >= width_) line_feed();
}

void Screen::put_glyph(char32_t c) {
  ++version_;
  switch (c) {
    case U'\n':
      line_feed();
      return;
    case U'\r':
      cx_ = 0;
      return;
    case U'\t': {
      int n = 8 - (cx_ & 7);
      for (int k = 0; k < n; ++k) put_glyph(U' ');
      return;
    }
    case U'\b':
      if (cx_ > 0) --cx_;
      return;
    case U'\a':
      return;
    default:
      break;
  }
  if (c < 0x20 || c == 0x7F) c = U' ';
  if (glyph_width(c) == 1) {
    set_cell(cx_, cy_, c, Half::Single);
    advance(1);
    return;
  }
  if (cx_ == width_ - 1) {
    // No room for both halves: the last cell is padded and the glyph starts the next row.
    set_cell(cx_, cy_, U' ', Half::Single);
    line_feed();
  }
  if (width_ < 2) return;
  set_cell(cx_, cy_, c, Half::Lead);
  set_cell(cx_ + 1, cy_, U' ', Half::Trail);
  advance(2);
}

void Screen::write(std::string_view utf8) {
  size_t i = 0;
  while (i < utf8.size()) put_glyph(decode_utf8(utf8, i));
}

void Screen::clear() {
  std::fill(cells_.begin(), cells_.end(), Cell{U' ', attr_, Half::Single});
  cx_ = cy_ = 0;
  ++version_;
}

void Screen::recolor(uint8_t a) {
  for (Cell& c : cells_) c.attr = a;
  attr_ = a;
  fill_attr_ = a;
  ++version_;
}

void Screen::resize(int width, int height) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  cells_.assign(static_cast<size_t>(width_ * height_), Cell{U' ', attr_, Half::Single});
  cx_ = cy_ = 0;
  ++version_;
}

}  // namespace con
