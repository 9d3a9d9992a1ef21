// The console's codes for the arrow keys, for every backend and reader that turns a key into
// codes or codes into a key: _getch gives kExtended and then the arrow's scan code (another
// second code with Ctrl or Alt), GetAsyncKeyState takes its virtual-key code.
#pragma once

#include <cstdint>

#include "console/console.hpp"

namespace con {

// The first code of an extended key (the cursor block, F11, F12); the numeric keypad's keys
// and F1 to F10 give 0 instead.
constexpr uint8_t kExtended = 224;

// A key of the cursor block.
struct CursorKey {
  int vk;
  uint8_t scan;       // the second code
  uint8_t ctrl_scan;  // the second code with Ctrl
  uint8_t alt_scan;   // the second code with Alt (after a 0)
};

constexpr CursorKey kArrows[] = {
    {VK_UP, 72, 141, 152},
    {VK_DOWN, 80, 145, 160},
    {VK_LEFT, 75, 115, 155},
    {VK_RIGHT, 77, 116, 157},
};

// The arrow with this virtual-key code, or with this scan code; nullptr for any other key.
constexpr const CursorKey* arrow_of_vk(int vk) {
  for (const CursorKey& a : kArrows)
    if (a.vk == vk) return &a;
  return nullptr;
}
constexpr const CursorKey* arrow_of_scan(int scan) {
  for (const CursorKey& a : kArrows)
    if (a.scan == scan) return &a;
  return nullptr;
}

}  // namespace con
