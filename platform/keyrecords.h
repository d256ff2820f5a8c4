// Windows console key records to PC key codes (see keys.h for their form). Pure
// translation, so the same table of cases runs on every system.
#pragma once

#include <cstdint>
#include <string>

// The fields of a KEY_EVENT_RECORD that decide what the key gives.
struct KeyRecord {
  bool down = true;
  std::uint16_t repeat = 1;
  std::uint16_t vk = 0;     // virtual-key code
  char16_t ch = 0;          // the character typed, UTF-16
  std::uint32_t state = 0;  // control key state
};

// Control key state bits, as Windows defines them.
inline constexpr std::uint32_t kRightAltHeld = 0x1, kLeftAltHeld = 0x2, kRightCtrlHeld = 0x4,
                               kLeftCtrlHeld = 0x8, kShiftHeld = 0x10;

// Appends what the record gives, `repeat` times over: a character as its code page
// 866 byte, a key without one as 0 and its PC code. Key-ups, modifier keys on their
// own and keys with no code give nothing.
void AppendKeyCodes(const KeyRecord& record, std::string& codes);
