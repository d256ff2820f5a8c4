// A length-prefixed string of at most 255 bytes, and compile-time text in code page 866.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/cp866.h"

struct ShortString {
  std::uint8_t length = 0;
  char chars[255] = {};

  constexpr std::string_view view() const { return {chars, length}; }
};

namespace shortstring_detail {
void TextTooLongOrNotInCp866();  // never defined: reaching it in a constant expression fails the build
}

// The code page 866 bytes of a UTF-8 literal, converted while compiling.
consteval ShortString Cp866(std::u8string_view utf8) {
  ShortString s;
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t c = 0;
    const unsigned char b = utf8[i];
    int n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : 0;
    if (n == 0 || i + n > utf8.size()) shortstring_detail::TextTooLongOrNotInCp866();
    c = n == 1 ? b : n == 2 ? (b & 0x1F) : (b & 0x0F);
    for (int k = 1; k < n; ++k) c = (c << 6) | (char8_t(utf8[i + k]) & 0x3F);
    i += n;
    const int byte = UnicodeToCp866(c);
    if (byte < 0 || s.length == 255) shortstring_detail::TextTooLongOrNotInCp866();
    s.chars[s.length++] = char(byte);
  }
  return s;
}
