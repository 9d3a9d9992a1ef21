// The launcher: the frame of asterisks, the one-line menu and the dispatch to the games.
#pragma once

namespace launcher {

// Runs launcher menus until the program is to end; returns the exit code.
int run();

}  // namespace launcher
