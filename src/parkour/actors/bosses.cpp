#include "parkour/world.hpp"

namespace parkour {

// Not built yet.
void Boss1() {}
void Boss2() {}
void Boss3() {}
void Panboss(int, int) {}

}  // namespace parkour
