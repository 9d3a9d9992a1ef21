// Presents the screen model on a VT terminal by difference: it remembers what the terminal
// shows and appends only the bytes that bring it to the model, one buffer per frame.
//
// Colours are the 16 ANSI colours mapped from the attribute nibbles, always explicit (black is
// SGR 30/40, never the terminal's default). The console is a window at the terminal's top
// left: what lies outside it, right of it and below, stays in the terminal's default colours
// whatever "color" and "cls" do. Every non-ASCII glyph takes two columns in the
// model; glyphs the terminal draws one column wide (East Asian "ambiguous" ones, unless the
// terminal draws those wide) get a blank after them, so the layout is the same either way.
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
  void move(int x, int y, std::string& out);
  void pen(uint8_t attr, std::string& out);
  // Writes the glyph of `c` at the cursor; `cols` is 2 for a two-column glyph.
  void glyph(char32_t ch, int cols, std::string& out);
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
};

}  // namespace con
