#include "parkour/field.hpp"

#include <algorithm>

#include "console/console.hpp"

namespace parkour {
namespace {

constexpr std::string_view kBlankRow =
    "                                                            ";
constexpr std::string_view kGroundLine =
    "============================================================";

// Bytes of the UTF-8 sequence that starts with b.
size_t sequence_length(unsigned char b) {
  if (b < 0x80) return 1;
  if (b >= 0xF0) return 4;
  if (b >= 0xE0) return 3;
  return b >= 0xC0 ? 2 : 1;
}

// Cursor to console column x of console row `row`: half a unit of col is one console column.
void place(int row, int x) {
  con::Setpos(static_cast<float>(row), static_cast<float>(x) / 2);
}

void fill(float row, float col, int n, std::string_view with) {
  const int r = field_row(row);
  if (r < 0 || r >= kFieldRows || n <= 0) return;
  const int x = field_column(col);
  const int from = std::max(x, 0), to = std::min(x + std::min(n, kFieldCols), kFieldCols);
  if (from >= to) return;
  place(r, from);
  con::print(with.substr(0, static_cast<size_t>(to - from)));
}

}  // namespace

int field_column(float col) {
  return con::ti(col * 4) / 2;
}

int field_row(float row) {
  return con::ti(row);
}

int put_cells(int row, int x, std::string_view text) {
  // The glyphs wholly on the screen form one run: find where it starts and ends.
  size_t first = text.size(), last = text.size();
  int first_x = 0;
  int at = x;
  for (size_t i = 0; i < text.size();) {
    const size_t len = sequence_length(static_cast<unsigned char>(text[i]));
    const int w = static_cast<unsigned char>(text[i]) < 0x80 ? 1 : 2;
    const bool shown = at >= 0 && at + w <= kFieldCols;
    if (shown && first == text.size()) {
      first = i;
      first_x = at;
    }
    if (!shown && first != text.size() && last == text.size()) last = i;
    at += w;
    i += len;
  }
  if (row >= 0 && row < kFieldRows && first < text.size()) {
    place(row, first_x);
    con::print(text.substr(first, last - first));
  }
  return at;
}

void put(float row, float col, std::string_view text) {
  put_cells(field_row(row), field_column(col), text);
}

void wipe(float row, float col, int n) {
  fill(row, col, n, field_row(row) == kGroundRow ? kGroundLine : kBlankRow);
}

void blanks(float row, float col, int n) {
  fill(row, col, n, kBlankRow);
}

void ground(float col, int n) {
  fill(kGroundRow, col, n, kGroundLine);
}

}  // namespace parkour
