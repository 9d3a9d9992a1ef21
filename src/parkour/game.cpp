#include "parkour/parkour.hpp"

namespace parkour {

// Not built yet: the choice ends the program like any other number.
void play() {}

}  // namespace parkour
