#include "platform/keyrecords.h"

#include "platform/cp866.h"
#include "platform/pc_keys.h"

namespace {

// Virtual-key codes, as Windows defines them.
enum : std::uint16_t {
  kVkTab = 0x09, kVkClear = 0x0C, kVkShift = 0x10, kVkControl = 0x11, kVkMenu = 0x12,
  kVkCapital = 0x14, kVkPrior = 0x21, kVkNext = 0x22, kVkEnd = 0x23, kVkHome = 0x24,
  kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28, kVkInsert = 0x2D,
  kVkDelete = 0x2E, kVkLWin = 0x5B, kVkRWin = 0x5C, kVkF1 = 0x70, kVkF12 = 0x7B,
  kVkNumLock = 0x90, kVkScroll = 0x91, kVkLShift = 0xA0, kVkRMenu = 0xA5, kVkOemPlus = 0xBB,
  kVkOemMinus = 0xBD,
};

bool IsModifier(std::uint16_t vk) {
  return vk == kVkShift || vk == kVkControl || vk == kVkMenu || vk == kVkCapital ||
         vk == kVkNumLock || vk == kVkScroll || (vk >= kVkLShift && vk <= kVkRMenu) ||
         vk == kVkLWin || vk == kVkRWin;
}

// The keys without a character, by virtual key: grey and keypad (Num Lock off) alike,
// whatever scan code came with them.
const pc::KeyCodes* CodesOf(std::uint16_t vk) {
  static constexpr pc::KeyCodes kFunction[] = {pc::F(1), pc::F(2), pc::F(3),  pc::F(4),
                                               pc::F(5), pc::F(6), pc::F(7),  pc::F(8),
                                               pc::F(9), pc::F(10), pc::F(11), pc::F(12)};
  switch (vk) {
    case kVkHome: return &pc::kHome;
    case kVkUp: return &pc::kUp;
    case kVkPrior: return &pc::kPgUp;
    case kVkLeft: return &pc::kLeft;
    case kVkClear: return &pc::kCentre;
    case kVkRight: return &pc::kRight;
    case kVkEnd: return &pc::kEnd;
    case kVkDown: return &pc::kDown;
    case kVkNext: return &pc::kPgDn;
    case kVkInsert: return &pc::kIns;
    case kVkDelete: return &pc::kDel;
  }
  if (vk >= kVkF1 && vk <= kVkF12) return &kFunction[vk - kVkF1];
  return nullptr;
}

// The US-keyboard character of a key, for Alt with it; 0 when it has none of interest.
char KeyCharacter(std::uint16_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return char(vk);
  if (vk == kVkOemMinus) return '-';
  if (vk == kVkOemPlus) return '=';
  return 0;
}

void Key(std::string& out, std::uint8_t code) {
  if (code == 0) return;
  out += '\0';
  out += char(code);
}

void Character(std::string& out, char16_t ch) {
  const int byte = UnicodeToCp866(ch);  // surrogate halves and the like have none
  if (byte >= 0) out += char(byte);
}

}  // namespace

void AppendKeyCodes(const KeyRecord& r, std::string& codes) {
  std::string one;
  const bool alt = r.state & (kLeftAltHeld | kRightAltHeld);
  const bool ctrl = r.state & (kLeftCtrlHeld | kRightCtrlHeld);
  const bool shift = r.state & kShiftHeld;
  if (!r.down) {
    // Alt+keypad digits: the character comes with the release of Alt.
    if (r.vk == kVkMenu && r.ch != 0) Character(one, r.ch);
  } else if (IsModifier(r.vk)) {
    return;
  } else if (const pc::KeyCodes* key = CodesOf(r.vk)) {
    Key(one, key->With(shift, ctrl, alt));
  } else if (r.ch >= 0x20 && alt && ctrl) {  // AltGr, which Windows reports as Ctrl+Alt: text
    Character(one, r.ch);
  } else if (alt) {
    Key(one, pc::AltCode(KeyCharacter(r.vk)));
  } else if (r.vk == kVkTab && shift) {
    Key(one, pc::kBackTab.shift);
  } else if (r.ch != 0) {
    Character(one, r.ch);
  } else if (ctrl && r.vk == '2') {
    Key(one, pc::kCtrlAt);
  }
  for (int i = 0; i < (r.repeat > 0 ? r.repeat : 1); ++i) codes += one;
}
