#include "parkour/world.hpp"

namespace parkour {

// Not built yet.
void Ball(int) {}

}  // namespace parkour
