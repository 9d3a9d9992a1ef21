#include "parkour/world.hpp"

namespace parkour {

// Not built yet.
void Pan(int, float, float, int) {}

}  // namespace parkour
