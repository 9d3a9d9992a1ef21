#include "parkour/world.hpp"

namespace parkour {

// Not built yet.
void Move() {}

}  // namespace parkour
