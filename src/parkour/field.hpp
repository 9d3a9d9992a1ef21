// Writing on the parkour field. The console wraps text that runs past its last column onto the
// next row, and a cursor placed outside the screen stays where it was, so the text lands on
// cells nobody erases. Everything the game draws or erases on the field goes through these
// helpers instead: each write stays on its own row, within console columns 0 to 59.
//
// Positions are as Setpos takes them (row, column in double-column units) and resolve to the
// same console cells; left of the screen the same arithmetic goes on into negative columns,
// which are then cut off. A two-column glyph is drawn only when both its columns are on the
// screen; half past an edge it is left out, and the cell it would have half covered keeps what
// the erase before put there. Erases cut their span at the edges the same way, so an erase
// always covers whatever its draw could have shown.
#pragma once

#include <string_view>

namespace parkour {

constexpr int kFieldCols = 60;
constexpr int kFieldRows = 37;
constexpr int kGroundRow = 20;

// Console column of a column in double-column units, as Setpos resolves it.
int field_column(float col);
// Console row of a row, as Setpos resolves it.
int field_row(float row);

// Writes text from console row `row`, column `x`; returns the column after it (the text's
// width added, whether or not all of it was shown), so pieces can follow one another.
int put_cells(int row, int x, std::string_view text);
// Writes text at (row, col).
void put(float row, float col, std::string_view text);
// Erases n console columns from (row, col): blanks, or "=" on the ground row.
void wipe(float row, float col, int n);
// n blanks from (row, col), on the ground row too.
void blanks(float row, float col, int n);
// n "=" of the ground line from column col of row 20.
void ground(float col, int n);

}  // namespace parkour
