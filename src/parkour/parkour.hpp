// The parkour game, entered from the launcher's choice 2. It returns only after the final win;
// the program then ends.
#pragma once

namespace parkour {

void play();

}  // namespace parkour
