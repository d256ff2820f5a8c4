#include "platform/cp866.h"

namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string Cp866ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) AppendUtf8(out, Cp866ToUnicode(b));
  return out;
}

std::u16string Cp866ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) out += Cp866ToUnicode(b);
  return out;
}

int DecodeUtf8(std::string_view s, char32_t& c) {
  const unsigned char b = s[0];
  int n;
  char32_t min;
  if (b < 0x80) {
    c = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    n = 2, min = 0x80, c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, min = 0x800, c = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, min = 0x10000, c = b & 0x07;
  } else {
    return -1;
  }
  for (int k = 1; k < n; ++k) {
    if (std::size_t(k) >= s.size()) return 0;
    const unsigned char t = s[k];
    if ((t & 0xC0) != 0x80) return -1;
    c = (c << 6) | (t & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
  return n;
}
