#include "snake/snake.hpp"

namespace snake {

// Not built yet: the choice ends the program like any other number.
Outcome play() { return Outcome::Quit; }

}  // namespace snake
