#include "parkour/world.hpp"

namespace parkour {

// Not built yet.
void Map(int, int) {}

}  // namespace parkour
