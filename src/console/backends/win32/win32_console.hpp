// The Windows console backend.
//
// The model is presented by difference: each changed stretch of a row that shares one attribute
// is written with the cursor placed at its start, the attribute set and the text written with
// WriteConsoleW, so the console measures and draws the glyphs itself. Keys come from console
// input events: key-down events queue their _getch codes, key-down and key-up keep the held
// state of the arrows. start() switches the console to code page 936, raw input and no wrap;
// finish(), a Ctrl-C and a closing window put mode, colours, cursor and code pages back.
//
// The key translation and the frame difference at the top need no Windows headers, so they are
// tested on every platform; the backend itself builds only on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/backend.hpp"
#include "console/input/heldkeys.hpp"
#include "console/keys.hpp"
#include "console/screen.hpp"

namespace con::win32 {

// Bits of a key event's control-key state (the console's own values).
constexpr uint32_t kRightAlt = 0x0001, kLeftAlt = 0x0002, kRightCtrl = 0x0004, kLeftCtrl = 0x0008,
                   kShift = 0x0010, kEnhanced = 0x0100;

struct KeyCodes {
  uint8_t codes[2] = {0, 0};
  uint8_t n = 0;  // 0: the key types nothing (a modifier alone, an unknown key)
};

// The _getch codes of one key-down event, by the C runtime's tables: a key with a character
// gives that character (the caller converts characters beyond ASCII to the input code page);
// the cursor block gives 224 and its scan code (0 and the scan code for the numeric keypad's
// keys with NumLock off), F1-F10 give 0 and theirs, F11 and F12 224 and theirs; with Ctrl,
// Shift or Alt the second code changes as on the console.
inline KeyCodes getch_codes(uint16_t vk, char16_t ch, uint32_t state) {
  KeyCodes k;
  if (ch != 0) {
    if (ch < 0x80) {
      k.codes[0] = static_cast<uint8_t>(ch);
      k.n = 1;
    }
    return k;
  }
  const bool alt = (state & (kLeftAlt | kRightAlt)) != 0;
  const bool ctrl = (state & (kLeftCtrl | kRightCtrl)) != 0;
  const bool shift = (state & kShift) != 0;
  // The cursor block but the arrows (con::kArrows), by virtual key.
  static const CursorKey kPad[] = {
      {0x24, 71, 119, 151},  // Home
      {0x21, 73, 132, 153},  // Page Up
      {0x23, 79, 117, 159},  // End
      {0x22, 81, 118, 161},  // Page Down
      {0x2D, 82, 146, 162},  // Insert
      {0x2E, 83, 147, 163},  // Delete
  };
  const CursorKey* p = arrow_of_vk(vk);
  for (const CursorKey& other : kPad)
    if (other.vk == vk) p = &other;
  if (p) {
    if (alt) {
      k.codes[0] = 0;
      k.codes[1] = p->alt_scan;
    } else {
      k.codes[0] = (state & kEnhanced) ? kExtended : 0;
      k.codes[1] = ctrl ? p->ctrl_scan : p->scan;
    }
    k.n = 2;
    return k;
  }
  if (vk >= 0x70 && vk <= 0x79) {  // F1..F10: 0 and 59..68, shifted by 25, 35 or 45
    const int f = vk - 0x70;
    k.codes[0] = 0;
    k.codes[1] = static_cast<uint8_t>((alt ? 104 : ctrl ? 94 : shift ? 84 : 59) + f);
    k.n = 2;
  } else if (vk == 0x7A || vk == 0x7B) {  // F11, F12
    const int f = vk - 0x7A;
    k.codes[0] = kExtended;
    k.codes[1] = static_cast<uint8_t>((alt ? 139 : ctrl ? 137 : shift ? 135 : 133) + f);
    k.n = 2;
  }
  return k;
}

// One stretch of a row to write: `text` (UTF-16) takes `cols` columns from column x.
struct Run {
  int x = 0, y = 0;
  uint8_t attr = 0;
  std::u16string text;
  int cols = 0;
};

// What the console shows, and the runs that bring it to the model.
class Frame {
 public:
  // Clean cells of the same attribute that a run may swallow to save a call.
  static constexpr int kMaxGap = 4;

  // Forget what the console shows: the next diff covers every cell.
  void invalidate() { shown_.clear(); }

  // Appends to `out` the runs that make the console show `s`, in row order, and takes the
  // console to show `s` from now on.
  void diff(const Screen& s, std::vector<Run>& out) {
    const int w = s.width(), h = s.height();
    if (w != w_ || h != h_ || shown_.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) {
      w_ = w;
      h_ = h;
      // A glyph no model cell holds: every cell counts as changed.
      shown_.assign(static_cast<size_t>(w) * static_cast<size_t>(h),
                    Cell{0xFFFFFFFF, 0, Half::Single});
    }
    for (int y = 0; y < h; ++y) diff_row(s, y, out);
  }

 private:
  // A cell, or a two-column glyph with both its cells.
  struct Unit {
    int x, cols;
    uint8_t attr;
    char32_t ch;
  };

  Unit unit_at(const Screen& s, int x, int y) const {
    const Cell& c = s.at(x, y);
    if (c.half == Half::Lead && x + 1 < s.width() && s.at(x + 1, y).half == Half::Trail)
      return {x, 2, c.attr, c.ch};
    // A half without its partner shows as a blank.
    if (c.half != Half::Single) return {x, 1, c.attr, U' '};
    return {x, 1, c.attr, c.ch < 0x20 || c.ch == 0x7F ? U' ' : c.ch};
  }

  bool changed(const Screen& s, const Unit& u, int y) const {
    for (int k = 0; k < u.cols; ++k) {
      const size_t i =
          static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(u.x + k);
      if (!(shown_[i] == s.at(u.x + k, y))) return true;
    }
    return false;
  }

  static void append_utf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else if (c <= 0x10FFFF) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += u'?';
    }
  }

  void diff_row(const Screen& s, int y, std::vector<Run>& out) {
    Run run;
    bool open = false;
    std::u16string gap;  // clean units after the run, taken in if a change follows
    int gap_cols = 0;
    auto close = [&] {
      if (open) out.push_back(run);
      open = false;
      gap.clear();
      gap_cols = 0;
    };
    for (int x = 0; x < w_;) {
      const Unit u = unit_at(s, x, y);
      const bool dirty = changed(s, u, y);
      if (dirty) {
        if (open && (u.attr != run.attr || gap_cols > kMaxGap)) close();
        if (!open) {
          run = Run{u.x, y, u.attr, {}, 0};
          open = true;
        }
        run.text += gap;
        run.cols += gap_cols;
        gap.clear();
        gap_cols = 0;
        append_utf16(run.text, u.ch);
        run.cols += u.cols;
        for (int k = 0; k < u.cols; ++k) {
          shown_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x + k)] =
              s.at(x + k, y);
        }
      } else if (open) {
        if (u.attr != run.attr || gap_cols + u.cols > kMaxGap) {
          close();
        } else {
          append_utf16(gap, u.ch);
          gap_cols += u.cols;
        }
      }
      x += u.cols;
    }
    close();
  }

  std::vector<Cell> shown_;
  int w_ = 0, h_ = 0;
};

}  // namespace con::win32

#if defined(_WIN32)

namespace con {

// The console of a Windows program, through the console API. `in` and `out` are the console
// input and screen buffer handles (HANDLE values).
class Win32Console : public Backend {
 public:
  Win32Console(void* in, void* out);
  ~Win32Console() override;

  BackendInfo describe() const override { return {"console", size_w_, size_h_, "exact", true}; }
  void start(Screen& s) override;
  void finish(const Screen& s) override;
  void present(const Screen& s) override;
  int64_t now_ms() override;
  int64_t wall_seconds() override;
  void pump(KeyQueue& q, int64_t deadline_ms, bool until_key) override;
  bool key_down(int vk) override;

  // Puts the console's modes, code pages, colours and cursor back as start() found them. Safe
  // from the control handler's thread and safe to call twice.
  void restore();

 private:
  // Takes the waiting input events (without waiting) into pending_ and the held state.
  void drain();
  void apply_size(int w, int h);
  void check_quit();

  void* in_;
  void* out_;
  bool started_ = false, finished_ = false;
  // What start() found, for restore().
  uint32_t in_mode_ = 0, out_mode_ = 0;
  bool have_in_mode_ = false, have_out_mode_ = false;
  unsigned in_cp_ = 0, out_cp_ = 0;
  uint16_t attr_ = 0x07;
  uint32_t cursor_size_ = 25;
  bool cursor_visible_ = true;
  // Buffer row where the model's row 0 is.
  int origin_ = 0;
  int size_w_ = 0, size_h_ = 0;
  int shown_cx_ = -1, shown_cy_ = -1, shown_attr_ = -1, shown_visible_ = -1;
  win32::Frame frame_;
  std::vector<win32::Run> runs_;
  std::vector<win32::KeyCodes> pending_;  // read from the console, not yet queued
  // The console reports every key down and up: exact, and a tap between two looks still
  // reads as down once.
  HeldKeys held_;
};

}  // namespace con

#endif
