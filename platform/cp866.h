// Code page 866 (DOS Cyrillic) to and from Unicode.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::array<char16_t, 128> kCp866High = {
    // 0x80-0x9F: А-Я
    u'А', u'Б', u'В', u'Г', u'Д', u'Е', u'Ж', u'З', u'И', u'Й', u'К', u'Л', u'М', u'Н', u'О', u'П',
    u'Р', u'С', u'Т', u'У', u'Ф', u'Х', u'Ц', u'Ч', u'Ш', u'Щ', u'Ъ', u'Ы', u'Ь', u'Э', u'Ю', u'Я',
    // 0xA0-0xAF: а-п
    u'а', u'б', u'в', u'г', u'д', u'е', u'ж', u'з', u'и', u'й', u'к', u'л', u'м', u'н', u'о', u'п',
    // 0xB0-0xDF: shades and box drawing, as in code page 437
    u'░', u'▒', u'▓', u'│', u'┤', u'╡', u'╢', u'╖', u'╕', u'╣', u'║', u'╗', u'╝', u'╜', u'╛', u'┐',
    u'└', u'┴', u'┬', u'├', u'─', u'┼', u'╞', u'╟', u'╚', u'╔', u'╩', u'╦', u'╠', u'═', u'╬', u'╧',
    u'╨', u'╤', u'╥', u'╙', u'╘', u'╒', u'╓', u'╫', u'╪', u'┘', u'┌', u'█', u'▄', u'▌', u'▐', u'▀',
    // 0xE0-0xEF: р-я
    u'р', u'с', u'т', u'у', u'ф', u'х', u'ц', u'ч', u'ш', u'щ', u'ъ', u'ы', u'ь', u'э', u'ю', u'я',
    // 0xF0-0xFF
    u'Ё', u'ё', u'Є', u'є', u'Ї', u'ї', u'Ў', u'ў', u'°', u'∙', u'·', u'√', u'№', u'¤', u'■', u'\u00A0',
};

constexpr char16_t Cp866ToUnicode(unsigned char byte) {
  return byte < 0x80 ? char16_t(byte) : kCp866High[byte - 0x80];
}

// The byte for code point `c`, or -1 where code page 866 has none.
constexpr int UnicodeToCp866(char32_t c) {
  if (c < 0x80) return int(c);
  for (int i = 0; i < 128; ++i)
    if (kCp866High[i] == c) return 0x80 + i;
  return -1;
}

std::string Cp866ToUtf8(std::string_view bytes);
std::u16string Cp866ToUtf16(std::string_view bytes);

// Reads one UTF-8 sequence from the front of `s`. Returns its length and sets
// `c`; 0 when `s` is a proper prefix of a sequence; -1 for a byte that starts none.
int DecodeUtf8(std::string_view s, char32_t& c);
