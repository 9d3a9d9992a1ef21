// The emulated console screen buffer: cells of (glyph, attribute), a cursor and the current
// attribute, under the legacy Windows console's rules for text, wrap, scroll and tabs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace con {

// A two-column glyph lives in its Lead cell; the cell after it is its Trail and holds no glyph.
enum class Half : uint8_t { Single, Lead, Trail };

struct Cell {
  char32_t ch = U' ';
  uint8_t attr = 0x07;
  Half half = Half::Single;

  bool operator==(const Cell&) const = default;
};

// Columns a code point takes: ASCII one, everything else two (as in code page 936).
inline int glyph_width(char32_t c) {
  return c < 0x80 ? 1 : 2;
}

// Decodes one UTF-8 sequence at s[i]; advances i. Malformed bytes decode as '?'.
char32_t decode_utf8(std::string_view s, size_t& i);
void append_utf8(std::string& out, char32_t c);

class Screen {
 public:
  Screen(int width = 120, int height = 30);

  int width() const { return width_; }
  int height() const { return height_; }
  int cursor_x() const { return cx_; }
  int cursor_y() const { return cy_; }
  bool cursor_visible() const { return cursor_visible_; }
  uint8_t attr() const { return attr_; }
  // Background of the last "color" command: what the console shows outside the text.
  uint8_t fill_attr() const { return fill_attr_; }

  const Cell& at(int x, int y) const { return cells_[static_cast<size_t>(y * width_ + x)]; }
  // One row as UTF-8, trail cells skipped, trailing blanks kept.
  std::string row_text(int y) const;
  // `len` columns of row y from column x, as UTF-8 (trail cells skipped).
  std::string text_at(int x, int y, int len) const;

  // Cursor to (x, y); a position outside the buffer leaves the cursor where it was.
  void move_to(int x, int y);
  void set_attr(uint8_t a) { attr_ = a; }
  void set_cursor_visible(bool v) { cursor_visible_ = v; }

  // Writes text at the cursor in the current attribute, with the console's control characters:
  // LF to column 0 of the next row, CR to column 0, TAB blanks to the next multiple of 8,
  // BS one column left. The cursor wraps at once past the last column; past the bottom row
  // the buffer scrolls up.
  void write(std::string_view utf8);
  void put_glyph(char32_t c);

  // "cls": every cell blank in the current attribute, cursor home.
  void clear();
  // "color XY": every cell, and the current attribute, take `a`.
  void recolor(uint8_t a);
  // "mode con": a new size, blank in the current attribute, cursor home.
  void resize(int width, int height);

  // Bumped by every change; lets a presenter skip a frame that did not change.
  uint64_t version() const { return version_; }

 private:
  Cell& cell(int x, int y) { return cells_[static_cast<size_t>(y * width_ + x)]; }
  void set_cell(int x, int y, char32_t ch, Half half);
  void unpair(int x, int y);
  void line_feed();
  void advance(int n);

  int width_, height_;
  std::vector<Cell> cells_;
  int cx_ = 0, cy_ = 0;
  uint8_t attr_ = 0x07;
  uint8_t fill_attr_ = 0x07;
  bool cursor_visible_ = true;
  uint64_t version_ = 0;
};

}  // namespace con
