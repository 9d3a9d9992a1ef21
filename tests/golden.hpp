// Golden screens: the whole screen model (every cell's glyph and attribute, the cursor and the
// current attribute) written as text under tests/golden/ and compared on later runs.
//
// A golden file reads, after its comment lines ("# ..."):
//   size 120x30 cursor 5,5 shown attr 30
//   glyphs
//   00 |<the row as it shows, a Chinese glyph taking two columns>|
//   ...
//   foreground
//   00 |<one hex digit per cell: the attribute's low nibble>|
//   ...
//   background
//   00 |<one hex digit per cell: the attribute's high nibble>|
//
// GAMEBOX_UPDATE_GOLDEN=1 rewrites the goldens that a run compares; a missing golden fails.
// Record a golden only after checking the screen it shows against how the game must look.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "console/backends/headless/headless.hpp"
#include "console/backends/presenter.hpp"
#include "console/backends/vt.hpp"
#include "console/screen.hpp"
#include "console/session.hpp"

#ifndef GAMEBOX_GOLDEN_DIR
#error "GAMEBOX_GOLDEN_DIR must name the folder of the golden screens"
#endif

namespace golden {

// One screen as the golden files hold it. A two-column glyph sits in its first column; the
// column after it holds 0.
struct Model {
  int width = 0, height = 0, cx = 0, cy = 0, attr = 0;
  bool shown = true;
  std::vector<std::vector<char32_t>> glyphs;
  std::vector<std::vector<int>> attrs;
};

inline Model model_of(const con::Screen& s) {
  Model m;
  m.width = s.width();
  m.height = s.height();
  m.cx = s.cursor_x();
  m.cy = s.cursor_y();
  m.attr = s.attr();
  m.shown = s.cursor_visible();
  for (int y = 0; y < m.height; ++y) {
    std::vector<char32_t> g(static_cast<size_t>(m.width));
    std::vector<int> a(static_cast<size_t>(m.width));
    for (int x = 0; x < m.width; ++x) {
      const con::Cell& c = s.at(x, y);
      g[static_cast<size_t>(x)] = c.half == con::Half::Trail ? 0 : c.ch;
      a[static_cast<size_t>(x)] = c.attr;
    }
    m.glyphs.push_back(std::move(g));
    m.attrs.push_back(std::move(a));
  }
  return m;
}

inline std::string glyph_text(char32_t c) {
  std::string out;
  con::append_utf8(out, c);
  return out;
}

inline std::string row_no(int y) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d |", y);
  return b;
}

inline std::string render(const Model& m, const std::string& comment) {
  std::ostringstream o;
  std::istringstream lines(comment);
  for (std::string l; std::getline(lines, l);) o << "# " << l << "\n";
  char head[96];
  std::snprintf(head, sizeof head, "size %dx%d cursor %d,%d %s attr %02X\n", m.width, m.height,
                m.cx, m.cy, m.shown ? "shown" : "hidden", m.attr);
  o << head;
  o << "glyphs\n";
  for (int y = 0; y < m.height; ++y) {
    o << row_no(y);
    for (char32_t c : m.glyphs[static_cast<size_t>(y)])
      if (c != 0) o << glyph_text(c);
    o << "|\n";
  }
  for (int shift : {0, 4}) {
    o << (shift == 0 ? "foreground\n" : "background\n");
    for (int y = 0; y < m.height; ++y) {
      o << row_no(y);
      for (int a : m.attrs[static_cast<size_t>(y)]) o << "0123456789ABCDEF"[(a >> shift) & 15];
      o << "|\n";
    }
  }
  return o.str();
}

// Reads a golden file back; false (with `why`) when it is not one.
inline bool parse(const std::string& text, Model& m, std::string& why) {
  std::istringstream in(text);
  std::string l;
  auto next = [&]() {
    while (std::getline(in, l))
      if (l.empty() || l[0] != '#') return true;
    return false;
  };
  char shown[16] = {};
  if (!next() || std::sscanf(l.c_str(), "size %dx%d cursor %d,%d %15s attr %x", &m.width, &m.height,
                             &m.cx, &m.cy, shown, &m.attr) != 6) {
    why = "no size line";
    return false;
  }
  m.shown = std::string(shown) == "shown";
  if (m.width < 1 || m.height < 1 || m.width > 1000 || m.height > 1000) {
    why = "a size out of range";
    return false;
  }
  // The part of a row line between its bars.
  auto body = [&](int y, std::string& out) {
    if (!next() || l.size() < 5 || l.substr(0, 4) != row_no(y) || l.back() != '|') {
      why = "row " + std::to_string(y) + " missing or malformed: " + l;
      return false;
    }
    out = l.substr(4, l.size() - 5);
    return true;
  };
  if (!next() || l != "glyphs") return why = "no glyph layer", false;
  for (int y = 0; y < m.height; ++y) {
    std::string b;
    if (!body(y, b)) return false;
    std::vector<char32_t> g;
    for (size_t i = 0; i < b.size();) {
      char32_t c = con::decode_utf8(b, i);
      g.push_back(c);
      if (con::glyph_width(c) == 2) g.push_back(0);
    }
    if (static_cast<int>(g.size()) != m.width) {
      why = "glyph row " + std::to_string(y) + " is not " + std::to_string(m.width) + " columns";
      return false;
    }
    m.glyphs.push_back(std::move(g));
  }
  m.attrs.assign(static_cast<size_t>(m.height), std::vector<int>(static_cast<size_t>(m.width)));
  for (int shift : {0, 4}) {
    if (!next() || l != (shift == 0 ? "foreground" : "background")) {
      return why = "no attribute layer", false;
    }
    for (int y = 0; y < m.height; ++y) {
      std::string b;
      if (!body(y, b)) return false;
      if (static_cast<int>(b.size()) != m.width) {
        return why = "attribute row " + std::to_string(y) + " has the wrong width", false;
      }
      for (int x = 0; x < m.width; ++x) {
        const char c = b[static_cast<size_t>(x)];
        const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (v < 0) return why = "a bad attribute digit in row " + std::to_string(y), false;
        m.attrs[static_cast<size_t>(y)][static_cast<size_t>(x)] |= v << shift;
      }
    }
  }
  return true;
}

// The cells where two screens differ, readably; empty when they are the same.
inline std::string diff(const Model& now, const Model& want) {
  std::ostringstream o;
  char b[160];
  if (now.width != want.width || now.height != want.height) {
    std::snprintf(b, sizeof b, "  size %dx%d, golden %dx%d\n", now.width, now.height, want.width,
                  want.height);
    return b;
  }
  if (now.cx != want.cx || now.cy != want.cy || now.shown != want.shown) {
    std::snprintf(b, sizeof b, "  cursor %d,%d %s, golden %d,%d %s\n", now.cx, now.cy,
                  now.shown ? "shown" : "hidden", want.cx, want.cy,
                  want.shown ? "shown" : "hidden");
    o << b;
  }
  if (now.attr != want.attr) {
    std::snprintf(b, sizeof b, "  current attribute %02X, golden %02X\n", now.attr, want.attr);
    o << b;
  }
  auto cell = [](char32_t c) {
    if (c == 0) return std::string("(2nd half)");
    // Appended, not "'" + text: GCC 12 at -O3 warns falsely (-Wrestrict) on literal + string.
    std::string s = "'";
    s += glyph_text(c);
    s += '\'';
    return s;
  };
  int cells = 0, rows_shown = 0;
  for (int y = 0; y < now.height; ++y) {
    const auto& g = now.glyphs[static_cast<size_t>(y)];
    const auto& wg = want.glyphs[static_cast<size_t>(y)];
    const auto& a = now.attrs[static_cast<size_t>(y)];
    const auto& wa = want.attrs[static_cast<size_t>(y)];
    if (g == wg && a == wa) continue;
    if (rows_shown++ < 6) {
      auto text = [](const std::vector<char32_t>& r) {
        std::string t;
        for (char32_t c : r)
          if (c) t += glyph_text(c);
        return t;
      };
      o << "  row " << y << " now    |" << text(g) << "|\n";
      o << "  row " << y << " golden |" << text(wg) << "|\n";
    }
    for (int x = 0; x < now.width; ++x) {
      const size_t i = static_cast<size_t>(x);
      if (g[i] == wg[i] && a[i] == wa[i]) continue;
      if (++cells > 40) continue;
      std::snprintf(b, sizeof b, "  (%d, %d): %s attr %02X, golden %s attr %02X\n", x, y,
                    cell(g[i]).c_str(), a[i], cell(wg[i]).c_str(), wa[i]);
      o << b;
    }
  }
  if (cells > 40) o << "  ... " << cells - 40 << " more cells\n";
  if (cells) o << "  " << cells << " cells differ\n";
  return o.str();
}

inline std::filesystem::path path_of(const std::string& name) {
  return std::filesystem::path(GAMEBOX_GOLDEN_DIR) / (name + ".txt");
}

inline bool updating() {
  const char* u = std::getenv("GAMEBOX_UPDATE_GOLDEN");
  return u && std::string(u) == "1";
}

// Compares the screen with tests/golden/<name>.txt (or rewrites it, see above). `what` says
// in a line or two what the screen is; it heads the file.
inline ::testing::AssertionResult matches(const std::string& name, const std::string& what,
                                          const con::Screen& s = con::screen()) {
  const Model now = model_of(s);
  const std::filesystem::path p = path_of(name);
  if (updating()) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << render(now, what);
    std::fprintf(stderr, "golden rewritten: %s\n", p.string().c_str());
    return ::testing::AssertionSuccess();
  }
  std::ifstream f(p, std::ios::binary);
  if (!f) {
    return ::testing::AssertionFailure()
           << "no golden screen " << p.string()
           << "; check the screen, then record it with GAMEBOX_UPDATE_GOLDEN=1. It shows:\n"
           << render(now, what);
  }
  std::stringstream text;
  text << f.rdbuf();
  Model want;
  std::string why;
  if (!parse(text.str(), want, why)) {
    return ::testing::AssertionFailure() << "golden " << p.string() << " unreadable: " << why;
  }
  const std::string d = diff(now, want);
  if (d.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "screen differs from golden " << p.string() << " (" << what << "):\n"
         << d;
}

// Every frame of the runs while it lives, presented as a terminal gets them and shown on the
// strict terminal of console/backends/vt.hpp: one that draws every non-ASCII glyph two columns
// wide (the ambiguous ones too, as CJK players set it) and keeps a mark where mlterm would
// leave a block in its default colours. The first frame that the terminal shows otherwise
// than the model has it, or that leaves a mark, is the fault.
class TerminalWatch {
 public:
  TerminalWatch() {
    con::Headless::watch = [this](const con::Screen& s, bool first) { show(s, first); };
  }
  ~TerminalWatch() { con::Headless::watch = nullptr; }
  TerminalWatch(const TerminalWatch&) = delete;
  TerminalWatch& operator=(const TerminalWatch&) = delete;

  int frames() const { return frames_; }
  const std::string& fault() const { return fault_; }

 private:
  void show(const con::Screen& s, bool first) {
    if (first) {
      presenter_ = con::Presenter();
      presenter_.set_size(120, 40);
      presenter_.set_ambiguous_wide(true);
      vt_ = vt::Vt(120, 40, true);
      vt_.strict = true;
    }
    ++frames_;
    out_.clear();
    presenter_.frame(s, out_);
    vt_.run(out_);
    if (!fault_.empty()) return;
    std::string why = vt_.clean() ? "" : vt_.first_mark;
    for (int y = 0; y < s.height() && why.empty(); ++y) {
      for (int x = 0; x < s.width() && why.empty(); ++x) {
        const con::Cell& c = s.at(x, y);
        const vt::Cell& v = vt_.at(x, y);
        const char32_t want = c.half == con::Half::Trail ? 0 : c.ch;
        if (v.ch != want || v.fg != vt::sgr_fg(c.attr) || v.bg != vt::sgr_bg(c.attr)) {
          char b[96];
          std::snprintf(b, sizeof b, "(%d, %d) shows U+%04X %d/%d, the model U+%04X %02X", x, y,
                        static_cast<unsigned>(v.ch), v.fg, v.bg, static_cast<unsigned>(want),
                        c.attr);
          why = b;
        }
      }
    }
    if (!why.empty()) {
      fault_ = "frame " + std::to_string(frames_) + ": " + why + ", after " +
               ::testing::PrintToString(out_.substr(0, 400));
    }
  }

  con::Presenter presenter_;
  vt::Vt vt_{120, 40, true};
  std::string out_;
  int frames_ = 0;
  std::string fault_;
};

// The moments of one scripted run: each compared as it comes, and the test checks at its end
// that every planned moment was reached, in order (a moment never reached would check nothing).
// Meanwhile every frame of the run goes to a terminal (TerminalWatch).
class Film {
 public:
  explicit Film(std::string scenario) : scenario_(std::move(scenario)) {}
  ~Film() {
    EXPECT_GT(watch_.frames(), 0) << scenario_ << ": no frame was shown";
    EXPECT_EQ(watch_.fault(), "") << scenario_ << ": a frame on the terminal";
  }
  Film(const Film&) = delete;
  Film& operator=(const Film&) = delete;

  void shot(const std::string& moment, const std::string& what,
            const con::Screen& s = con::screen()) {
    taken_.push_back(moment);
    EXPECT_TRUE(matches(scenario_ + "/" + moment, what, s));
  }
  const std::vector<std::string>& taken() const { return taken_; }

 private:
  std::string scenario_;
  std::vector<std::string> taken_;
  TerminalWatch watch_;
};

// A headless console that also hands every piece of text the program writes to a callback, so
// a moment can be taken in the middle of drawing, between two waits.
struct Box : con::Headless {
  std::string out;
  std::function<void(std::string_view)> on_text;
  void text(std::string_view s) override {
    out.append(s);
    if (on_text) on_text(s);
  }
};

}  // namespace golden
