#include "parkour/world.hpp"

namespace parkour {

// Not built yet.
void RandGood() {}

}  // namespace parkour
