// <windows.h> as every Windows file of the console layer includes it. <windows.h> defines
// VK_UP, STD_OUTPUT_HANDLE and others as macros, so the console layer's own declarations of
// those names are read first; after that the order of includes does not matter.
#pragma once

#include "console/console.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
