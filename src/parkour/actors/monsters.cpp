#include "parkour/world.hpp"

namespace parkour {

// Not built yet.
void Guai(int, int) {}
void CpGuai(int, float, float, float, float) {}
void MesGuai(int, int) {}
void NorGuai(int, int) {}

}  // namespace parkour
