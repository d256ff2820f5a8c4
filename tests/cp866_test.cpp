#include "platform/cp866.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/shortstring.h"

namespace {

TEST(Cp866, EveryByteIsItsOwnCharacterAndComesBack) {
  std::set<char16_t> seen;
  for (int b = 0; b < 256; ++b) {
    const char16_t c = Cp866ToUnicode(static_cast<unsigned char>(b));
    EXPECT_TRUE(seen.insert(c).second) << b;
    EXPECT_EQ(UnicodeToCp866(c), b);
  }
}

TEST(Cp866, KnownLetters) {
  struct Pair {
    int byte;
    char16_t unicode;
  };
  const Pair pairs[] = {{0x41, u'A'},  {0x80, u'А'}, {0x8F, u'П'}, {0x9F, u'Я'}, {0xA0, u'а'},
                        {0xAF, u'п'},  {0xB0, u'░'}, {0xC4, u'─'}, {0xDB, u'█'}, {0xE0, u'р'},
                        {0xEF, u'я'},  {0xF0, u'Ё'}, {0xF1, u'ё'}, {0xFC, u'№'}, {0xFF, u'\u00A0'}};
  for (const Pair& p : pairs) EXPECT_EQ(Cp866ToUnicode(static_cast<unsigned char>(p.byte)), p.unicode);
  EXPECT_EQ(UnicodeToCp866(U'€'), -1);
}

TEST(Cp866, ToUtf8AndUtf16) {
  const std::string bytes = "\x8f\xe0\xa8\xa2\xa5\xe2 1";  // "Привет 1"
  EXPECT_EQ(Cp866ToUtf8(bytes), "Привет 1");
  EXPECT_EQ(Cp866ToUtf16(bytes), u"Привет 1");
  EXPECT_EQ(Cp866ToUtf8("\xc4\xdb"), "─█");
}

TEST(Cp866, CompileTimeText) {
  constexpr ShortString s = Cp866(u8"Ёж: №1");
  EXPECT_EQ(s.view(), "\xf0\xa6: \xfc\x31");
  EXPECT_EQ(s.length, 6);
}

TEST(Utf8, DecodesAndRejects) {
  char32_t c = 0;
  EXPECT_EQ(DecodeUtf8("Я", c), 2);
  EXPECT_EQ(c, U'Я');
  EXPECT_EQ(DecodeUtf8("\xd0", c), 0);          // needs more
  EXPECT_EQ(DecodeUtf8("\xe2\x82", c), 0);      // needs more
  EXPECT_EQ(DecodeUtf8("\xc0\x80", c), -1);     // overlong
  EXPECT_EQ(DecodeUtf8("\x80", c), -1);         // a lone continuation
  EXPECT_EQ(DecodeUtf8("\xd0\x41", c), -1);     // lead without continuation
  EXPECT_EQ(DecodeUtf8("\xed\xa0\x80", c), -1); // surrogate
  EXPECT_EQ(DecodeUtf8("\xf0\x9f\x98\x80", c), 4);
}

}  // namespace
