// The killer game, entered from the launcher's choice 3: its menu, then one 15-seat game.
// After that game the program ends.
#pragma once

namespace killer {

void menu();

}  // namespace killer
