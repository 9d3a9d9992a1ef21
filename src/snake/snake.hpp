// The snake game, entered from the launcher's choice 1.
#pragma once

namespace snake {

enum class Outcome {
  BackToLauncher,  // a game was played: the launcher starts afresh
  Quit,            // the cover's "quit" entry: the program ends
};

Outcome play();

}  // namespace snake
