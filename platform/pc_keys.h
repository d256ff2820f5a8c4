// PC keyboard codes of the keys without a character: the second code after 0.
// Shared by the decoders of terminal bytes and of Windows console records, so that
// a key gives the same codes on both systems.
#pragma once

#include <cstdint>
#include <string_view>

namespace pc {

// The codes of a key alone or with Shift, with Ctrl, with Alt (0: none).
struct KeyCodes {
  std::uint8_t plain, shift, ctrl, alt;

  constexpr std::uint8_t With(bool shift_held, bool ctrl_held, bool alt_held) const {
    return alt_held ? alt : ctrl_held ? ctrl : shift_held ? shift : plain;
  }
};

inline constexpr KeyCodes kHome{71, 71, 119, 151}, kUp{72, 72, 141, 152},
    kPgUp{73, 73, 132, 153}, kLeft{75, 75, 115, 155}, kCentre{76, 76, 143, 0},
    kRight{77, 77, 116, 157}, kEnd{79, 79, 117, 159}, kDown{80, 80, 145, 160},
    kPgDn{81, 81, 118, 161}, kIns{82, 82, 146, 162}, kDel{83, 83, 147, 163},
    kBackTab{15, 15, 0, 0};

inline constexpr std::uint8_t kCtrlAt = 3;  // Ctrl+@, the NUL character

constexpr KeyCodes F(int n) {  // F1 ... F12
  if (n <= 10) return {std::uint8_t(58 + n), std::uint8_t(83 + n), std::uint8_t(93 + n),
                       std::uint8_t(103 + n)};
  return {std::uint8_t(122 + n), std::uint8_t(124 + n), std::uint8_t(126 + n),
          std::uint8_t(128 + n)};
}

// The code of Alt with the key that types `c` on a US keyboard: letters (either
// case), digits, '-' and '='. 0 for other characters.
constexpr std::uint8_t AltCode(char c) {
  using namespace std::string_view_literals;
  // The letters in the order of their scan codes, from 16.
  constexpr std::string_view kLetters = "QWERTYUIOP\0\0\0\0ASDFGHJKL\0\0\0\0\0ZXCVBNM"sv;
  if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return std::uint8_t(16 + kLetters.find(c));
  if (c >= '1' && c <= '9') return std::uint8_t(120 + c - '1');
  if (c == '0') return 129;
  if (c == '-') return 130;
  if (c == '=') return 131;
  return 0;
}

}  // namespace pc
