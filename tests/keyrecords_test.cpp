#include "platform/keyrecords.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string K(int code) { return std::string{'\0', char(code)}; }  // a key without a character

// Virtual keys and scan codes as a Windows console reports them.
enum : std::uint16_t {
  Tab = 0x09, Return = 0x0D, Clear = 0x0C, Shift = 0x10, Control = 0x11, Menu = 0x12,
  Capital = 0x14, Escape = 0x1B, PgUp = 0x21, PgDn = 0x22, End = 0x23, Home = 0x24,
  Left = 0x25, Up = 0x26, Right = 0x27, Down = 0x28, Ins = 0x2D, Del = 0x2E, LWin = 0x5B,
  Numpad0 = 0x60, Numpad7 = 0x67, Decimal = 0x6E, F1 = 0x70, F4 = 0x73, F5 = 0x74, F12 = 0x7B,
  NumLock = 0x90, Scroll = 0x91, LShift = 0xA0, RMenu = 0xA5, Minus = 0xBD, Oem102 = 0xE2,
};
constexpr std::uint32_t kNumLockOn = 0x20, kCapsLockOn = 0x80, kEnhanced = 0x100;
constexpr std::uint32_t kAltGr = kLeftCtrlHeld | kRightAltHeld;

KeyRecord Press(std::uint16_t vk, char16_t ch = 0, std::uint32_t state = 0) {
  return {true, 1, vk, ch, state};
}

struct Case {
  const char* what;
  KeyRecord record;
  std::string codes;
};

TEST(KeyRecords, Table) {
  const Case cases[] = {
      // characters, in code page 866
      {"letter", Press('A', u'a'), "a"},
      {"capital with Shift", Press('M', u'M', kShiftHeld), "M"},
      {"capital with Caps Lock", Press('G', u'G', kCapsLockOn), "G"},
      {"Cyrillic", Press('Z', u'Я', kShiftHeld), "\x9f"},
      {"Cyrillic small yo", Press(0xC0, u'ё'), "\xf1"},
      {"outside code page 866", Press('E', u'€', kAltGr), ""},
      {"surrogate half", Press(0, u'\xd83d'), ""},
      {"Enter", Press(Return, u'\r'), "\r"},
      {"Backspace", Press(0x08, u'\b'), "\b"},
      {"Tab", Press(Tab, u'\t'), "\t"},
      {"Esc", Press(Escape, u'\x1b'), "\x1b"},
      {"Ctrl+A", Press('A', u'\x01', kLeftCtrlHeld), "\x01"},
      {"Ctrl+@", Press('2', 0, kLeftCtrlHeld | kShiftHeld), K(3)},
      {"keypad digit, Num Lock on", Press(Numpad7, u'7', kNumLockOn), "7"},
      {"keypad point, Num Lock on", Press(Decimal, u'.', kNumLockOn), "."},
      // the navigation keys: grey (enhanced) and keypad alike, scan code from the key
      {"Home grey", Press(Home, 0, kEnhanced), K(71)},
      {"Home keypad", Press(Home), K(71)},
      {"Up", Press(Up), K(72)},
      {"PgUp", Press(PgUp), K(73)},
      {"Left", Press(Left), K(75)},
      {"keypad centre", Press(Clear), K(76)},
      {"Right", Press(Right), K(77)},
      {"End", Press(End), K(79)},
      {"Down", Press(Down), K(80)},
      {"PgDn", Press(PgDn), K(81)},
      {"Ins", Press(Ins), K(82)},
      {"Del grey", Press(Del, 0, kEnhanced), K(83)},
      {"Del keypad with a stray character", Press(Del, u'.'), K(83)},
      {"Shift+Up", Press(Up, 0, kShiftHeld | kEnhanced), K(72)},
      {"Shift+PgDn", Press(PgDn, 0, kShiftHeld), K(81)},
      // with Ctrl or Alt they give their other codes
      {"Ctrl+Left", Press(Left, 0, kLeftCtrlHeld), K(115)},
      {"Ctrl+Right", Press(Right, 0, kRightCtrlHeld), K(116)},
      {"Ctrl+End", Press(End, 0, kLeftCtrlHeld), K(117)},
      {"Ctrl+PgDn", Press(PgDn, 0, kLeftCtrlHeld), K(118)},
      {"Ctrl+Home", Press(Home, 0, kLeftCtrlHeld), K(119)},
      {"Ctrl+PgUp", Press(PgUp, 0, kLeftCtrlHeld), K(132)},
      {"Ctrl+Up", Press(Up, 0, kLeftCtrlHeld), K(141)},
      {"Ctrl+Down", Press(Down, 0, kLeftCtrlHeld), K(145)},
      {"Ctrl+Ins", Press(Ins, 0, kLeftCtrlHeld), K(146)},
      {"Ctrl+Del", Press(Del, 0, kLeftCtrlHeld), K(147)},
      {"Ctrl+Shift+Home", Press(Home, 0, kLeftCtrlHeld | kShiftHeld), K(119)},
      {"Alt+Home", Press(Home, 0, kLeftAltHeld), K(151)},
      {"Alt+Up", Press(Up, 0, kLeftAltHeld), K(152)},
      {"Alt+PgUp", Press(PgUp, 0, kLeftAltHeld), K(153)},
      {"Alt+Left", Press(Left, 0, kLeftAltHeld), K(155)},
      {"Alt+Right", Press(Right, 0, kRightAltHeld), K(157)},
      {"Alt+End", Press(End, 0, kLeftAltHeld), K(159)},
      {"Alt+Down", Press(Down, 0, kLeftAltHeld), K(160)},
      {"Alt+PgDn", Press(PgDn, 0, kLeftAltHeld), K(161)},
      {"Alt+Ins", Press(Ins, 0, kLeftAltHeld), K(162)},
      {"Alt+Del", Press(Del, 0, kLeftAltHeld), K(163)},
      {"Ctrl+Alt+Del", Press(Del, 0, kLeftAltHeld | kLeftCtrlHeld), K(163)},
      {"Alt+keypad centre", Press(Clear, 0, kLeftAltHeld), ""},
      // other keys without a character
      {"F1", Press(F1), K(59)},
      {"F12", Press(F12), K(134)},
      {"Shift+F1", Press(F1, 0, kShiftHeld), K(84)},
      {"Ctrl+F4", Press(F4, 0, kLeftCtrlHeld), K(97)},
      {"Alt+F5", Press(F5, 0, kLeftAltHeld), K(108)},
      {"Shift+Tab", Press(Tab, u'\t', kShiftHeld), K(15)},
      {"Alt+letter", Press('H', u'h', kLeftAltHeld), K(35)},
      {"Alt+Shift+letter", Press('M', u'M', kLeftAltHeld | kShiftHeld), K(50)},
      {"Alt+Cyrillic letter, by its key", Press('Q', u'й', kLeftAltHeld), K(16)},
      {"Alt+digits", Press('1', u'1', kLeftAltHeld), K(120)},
      {"Alt+0", Press('0', u'0', kLeftAltHeld), K(129)},
      {"Alt+minus", Press(Minus, u'-', kLeftAltHeld), K(130)},
      {"Alt+punctuation", Press(Oem102, u'\\', kLeftAltHeld), ""},
      {"Alt+keypad digit composing", Press(Numpad0, 0, kLeftAltHeld | kNumLockOn), ""},
      // AltGr types text; Ctrl+Alt without a character stays Alt
      {"AltGr character", Press('Q', u'@', kAltGr), "@"},
      {"AltGr Cyrillic", Press('8', u'№', kAltGr), "\xfc"},
      {"Ctrl+Alt+letter", Press('M', 0, kLeftCtrlHeld | kLeftAltHeld), K(50)},
      {"Ctrl+Alt+control character", Press('M', u'\r', kLeftCtrlHeld | kLeftAltHeld), K(50)},
      // no keys
      {"key up", {false, 1, 'A', u'a', 0}, ""},
      {"navigation key up", {false, 1, End, 0, 0}, ""},
      {"Shift", Press(Shift, 0, kShiftHeld), ""},
      {"left Shift", Press(LShift, 0, kShiftHeld), ""},
      {"Ctrl", Press(Control, 0, kLeftCtrlHeld), ""},
      {"Alt", Press(Menu, 0, kLeftAltHeld), ""},
      {"right Alt", Press(RMenu, 0, kRightAltHeld), ""},
      {"Caps Lock", Press(Capital, 0, kCapsLockOn), ""},
      {"Num Lock", Press(NumLock, 0, kNumLockOn), ""},
      {"Scroll Lock", Press(Scroll), ""},
      {"Windows key", Press(LWin), ""},
      {"empty record", Press(0), ""},
      {"unknown key without a character", Press(0xFF), ""},
      // Alt+keypad digits: the character arrives with the release of Alt
      {"Alt released with a character", {false, 1, Menu, u'Ж', 0}, "\x86"},
      {"Alt released alone", {false, 1, Menu, 0, 0}, ""},
  };
  for (const Case& c : cases) {
    std::string codes = "x";  // appended to, never replaced
    AppendKeyCodes(c.record, codes);
    EXPECT_EQ(codes, "x" + c.codes) << c.what;
  }
}

TEST(KeyRecords, RepeatCountGivesTheKeyThatManyTimes) {
  const Case cases[] = {
      {"character", {true, 3, 'P', u'P', kShiftHeld}, "PPP"},
      {"navigation key", {true, 2, Up, 0, 0}, K(72) + K(72)},
      {"zero counts as once", {true, 0, Right, 0, 0}, K(77)},
      {"key up, whatever the count", {false, 5, Up, 0, 0}, ""},
      {"modifier, whatever the count", {true, 9, Shift, 0, kShiftHeld}, ""},
  };
  for (const Case& c : cases) {
    std::string codes;
    AppendKeyCodes(c.record, codes);
    EXPECT_EQ(codes, c.codes) << c.what;
  }
}

}  // namespace
