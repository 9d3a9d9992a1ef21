// Presents the screen model on a VT terminal by difference: it remembers what the terminal
// shows and appends only the bytes that bring it to the model, one buffer per frame.
//
// Colours are the 16 ANSI colours mapped from the attribute nibbles, always explicit (black is
// SGR 30/40, never the terminal's default). The console is a window at the terminal's top
// left: what lies outside it, right of it and below, stays in the terminal's default colours
// whatever "color" and "cls" do. Every non-ASCII glyph takes two columns in the
// model; glyphs the terminal draws one column wide (East Asian "ambiguous" ones, unless the
// terminal draws those wide) get a blank after them, so the layout is the same either way.
// A glyph the terminal shows two columns wide is only ever written over whole: whatever lands
// on one of its halves is written in the same run of text as its other half, and an erase of
// characters (ECH) never reaches into one (mlterm leaves a half so treated in its default
// colours).
// Pure: no I/O, so tests and the benchmark see exactly the bytes of each frame.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "console/screen.hpp"

namespace con {

// Whether the terminal draws this code point two columns wide whatever its ambiguous-width
// setting (East Asian Wide and Fullwidth).
bool always_wide(char32_t c);

// Output character set: UTF-8, or GBK/GB18030 converted with iconv (a GBK locale).
class Encoder {
 public:
  Encoder() = default;
  // `charset` is an iconv name such as "GBK" or "GB18030"; empty for UTF-8. False (and UTF-8
  // stays) when iconv cannot convert to it.
  bool set_charset(const std::string& charset);
  // The locale's charset when it is a GB one (GBK, GB18030, GB2312), or "" for UTF-8, which
  // everything else is taken as, as terminals do. The program's own locale stays as it was.
  static std::string locale_charset();
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  bool utf8() const { return cd_ == nullptr; }
  // Appends the glyph's bytes; false (and nothing appended) when the charset lacks it.
  bool put(char32_t c, std::string& out);

 private:
  void* cd_ = nullptr;  // iconv_t
  std::unordered_map<char32_t, std::string> cache_;
};

class Presenter {
 public:
  explicit Presenter(Encoder* encoder = nullptr) : enc_(encoder) {}

  // The terminal's size in columns and rows; a change redraws in full.
  void set_size(int cols, int rows);
  int cols() const { return cols_; }
  int rows() const { return rows_; }
  // Whether the terminal draws ambiguous-width glyphs two columns wide.
  void set_ambiguous_wide(bool wide);
  // Forget what the terminal shows: the next frame clears it and draws everything.
  void invalidate() { full_ = true; }
  // Whether a terminal smaller than the model gets the one-line notice (on by default). Turned
  // off, the next frame gives the notice's row back to the model, or to the terminal's
  // default colours below it.
  void set_notice(bool on) { notice_on_ = on; }

  // Appends the bytes that make the terminal show `s`: cells, notice, cursor.
  void frame(const Screen& s, std::string& out);

  // Where the terminal's cursor is after the last frame (-1 when not known).
  int cursor_x() const { return cx_; }
  int cursor_y() const { return cy_; }

 private:
  // The full redraw's start: the terminal cleared in the model's fill colour, what lies outside
  // the model back in its default colours, and what it shows known again.
  void clear(const Screen& s, std::string& out);
  void outside_to_default(const Screen& s, std::string& out);
  // Brings row y to the model in its first `w` columns.
  void draw_row(const Screen& s, int y, int w, std::string& out);
  void move(int x, int y, std::string& out);
  // Moves to (x, y) for a write, or writes a short gap of unchanged cells again.
  void move_for_write(const Screen& s, int x, int y, std::string& out);
  void pen(uint8_t attr, std::string& out);
  // Writes the glyph of `c` at the cursor; `cols` is 2 for a two-column glyph.
  void glyph(char32_t ch, int cols, std::string& out);
  // Whether the terminal shows a two-column cell's glyph two columns wide, and whether the
  // cell at x of row y is part of such a glyph there (or what is left of one).
  bool two_columns(char32_t ch);
  bool in_wide_glyph(int x, int y);
  // A write over [x, x + cols) of row y left the second half of a two-column glyph behind.
  void note_left_behind(int x, int cols, int y);
  Cell& front(int x, int y) { return front_[static_cast<size_t>(y * fw_ + x)]; }
  void notice(const Screen& s, std::string& out);
  void drop_notice(const Screen& s, std::string& out);

  Encoder* enc_;
  int cols_ = 80, rows_ = 24;
  bool amb_wide_ = false;
  bool full_ = true;
  // What the terminal shows, for the model's cells; ch = kUnknown where not known.
  std::vector<Cell> front_;
  int fw_ = 0, fh_ = 0;
  uint8_t ffill_ = 0;
  int pen_fg_ = -1, pen_bg_ = -1;
  int cx_ = -1, cy_ = -1;
  int cursor_shown_ = -1;
  bool notice_on_ = true;
  std::string notice_;  // as shown, on notice_row_ (-1: none shown)
  int notice_row_ = -1;
  std::string scratch_;
};

}  // namespace con
