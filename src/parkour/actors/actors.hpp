// Helpers shared by the monsters, goods, powers and bosses.
#pragma once

namespace parkour {

// Puts one boss (1, 2 or 3) back to no attack: action state, speeds and step table cleared.
void boss_stand_down(int n);

// The talent names, "" outside 1..5.
const char* talent_name(int ren);

// The trail of painted beam cells: appends (row, col) at the back. Returns false when the
// queue is full and the cell was dropped.
bool trail_push(float row, float col);

}  // namespace parkour
