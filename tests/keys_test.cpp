#include "platform/keys.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string K(int code) { return std::string{'\0', char(code)}; }  // a key without a character

std::string Decode(const std::string& bytes) {
  KeyDecoder d;
  std::string codes;
  for (unsigned char b : bytes) d.Feed(b, codes);
  d.Flush(codes);  // then nothing more came
  return codes;
}

struct Case {
  const char* what;
  std::string bytes;
  std::string codes;
};

const std::string E = "\x1b";

TEST(KeyDecoder, Table) {
  const Case cases[] = {
      // characters
      {"letters", "aM", "aM"},
      {"Enter, Tab, Ctrl+A", "\r\t\x01", "\r\t\x01"},
      {"Backspace", "\x7f", "\b"},
      {"Ctrl+Space", std::string(1, '\0'), K(3)},
      {"Cyrillic in UTF-8", "Яё", "\x9f\xf1"},
      {"UTF-8 outside code page 866", "€x", "x"},
      {"invalid UTF-8 dropped", "\xff\xd0z", "z"},
      // the ten navigation keys, normal and application cursor mode
      {"arrows CSI", E + "[A" + E + "[B" + E + "[C" + E + "[D", K(72) + K(80) + K(77) + K(75)},
      {"arrows SS3", E + "OA" + E + "OB" + E + "OC" + E + "OD", K(72) + K(80) + K(77) + K(75)},
      {"Home, End xterm", E + "[H" + E + "[F", K(71) + K(79)},
      {"Home, End application", E + "OH" + E + "OF", K(71) + K(79)},
      {"Home, End tmux/Linux", E + "[1~" + E + "[4~", K(71) + K(79)},
      {"Home, End rxvt", E + "[7~" + E + "[8~", K(71) + K(79)},
      {"Ins Del PgUp PgDn", E + "[2~" + E + "[3~" + E + "[5~" + E + "[6~", K(82) + K(83) + K(73) + K(81)},
      {"CSI 1 A", E + "[1A", K(72)},
      // Shift gives the plain codes
      {"Shift+Up xterm", E + "[1;2A", K(72)},
      {"Shift+Home xterm", E + "[1;2H", K(71)},
      {"Shift+PgDn xterm", E + "[6;2~", K(81)},
      {"Shift+arrows rxvt", E + "[a" + E + "[d", K(72) + K(75)},
      {"Shift+Del rxvt", E + "[3$", K(83)},
      // Ctrl and Alt give other codes
      {"Ctrl+arrows xterm", E + "[1;5A" + E + "[1;5B" + E + "[1;5C" + E + "[1;5D", K(141) + K(145) + K(116) + K(115)},
      {"Ctrl+Home End xterm", E + "[1;5H" + E + "[1;5F", K(119) + K(117)},
      {"Ctrl+PgUp PgDn Ins Del", E + "[5;5~" + E + "[6;5~" + E + "[2;5~" + E + "[3;5~", K(132) + K(118) + K(146) + K(147)},
      {"Alt+arrows xterm", E + "[1;3A" + E + "[1;3D", K(152) + K(155)},
      {"Alt+Home End PgUp PgDn", E + "[1;3H" + E + "[1;3F" + E + "[5;3~" + E + "[6;3~", K(151) + K(159) + K(153) + K(161)},
      {"Ctrl+Alt+Del", E + "[3;7~", K(163)},
      {"Ctrl+arrows rxvt", E + "Oa" + E + "Oc", K(141) + K(116)},
      {"Ctrl+PgUp rxvt", E + "[5^", K(132)},
      {"Ctrl+Shift+Home rxvt", E + "[7@", K(119)},
      {"Alt+Up rxvt", E + E + "[A", K(152)},
      {"Alt+letter", E + "h" + E + "M", K(35) + K(50)},
      {"Alt+digit", E + "1" + E + "0", K(120) + K(129)},
      // function keys are keys without a character too
      {"F1-F4 SS3", E + "OP" + E + "OQ" + E + "OR" + E + "OS", K(59) + K(60) + K(61) + K(62)},
      {"F5 F12", E + "[15~" + E + "[24~", K(63) + K(134)},
      {"F1 rxvt", E + "[11~", K(59)},
      {"F1 F5 Linux console", E + "[[A" + E + "[[E", K(59) + K(63)},
      {"Shift+F1 Ctrl+F4 Alt+F2", E + "[1;2P" + E + "[1;5S" + E + "[1;3Q", K(84) + K(97) + K(105)},
      {"keypad centre", E + "[E" + E + "[G", K(76) + K(76)},
      {"Shift+Tab", E + "[Z", K(15)},
      // everything else is swallowed whole
      {"focus reports", E + "[I" + E + "[O" + "x", "x"},
      {"SGR mouse", E + "[<0;12;5M" + E + "[<0;12;5m" + "x", "x"},
      {"X10 mouse with raw bytes", E + "[M" + " HS" + "x", "x"},
      {"device attributes", E + "[?62;1;6c" + "x", "x"},
      {"unknown tilde key", E + "[99~" + "x", "x"},
      {"keypad application keys", E + "Op" + E + "Oy" + "x", "x"},
      {"bracketed paste marks", E + "[200~" + E + "[201~", ""},
      {"too many parameters", E + "[1;2;3;4;5;6;7;8;9;10;11;12;13;14;15H" + "x", "x"},
      {"long sequence, final stays inside", E + "[" + std::string(100, '1') + "H" + "x", "x"},
      {"Esc cuts a sequence short", E + "[1;" + E + "[A", K(72)},
      {"Alt+punctuation", E + "!" + "x", "x"},
      // Esc
      {"lone Esc", E, "\x1b"},
      {"Esc Esc", E + E, "\x1b\x1b"},
      {"Esc Esc letter", E + E + "a", "\x1b" + K(30)},
      {"Esc before a key", E + E + "[B", K(160)},
      {"unfinished CSI dropped", E + "[1;5", ""},
      {"unfinished SS3 dropped", E + "O", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.bytes), c.codes) << c.what;
}

TEST(KeyDecoder, SequenceSplitAcrossReadsStillDecodes) {
  const std::string sequences[] = {E + "[A", E + "[1;5C", E + "[6~", E + "OP", E + "[[B", "Я"};
  for (const std::string& seq : sequences) {
    for (std::size_t cut = 1; cut < seq.size(); ++cut) {
      KeyDecoder d;
      std::string codes;
      for (std::size_t i = 0; i < cut; ++i) d.Feed(static_cast<unsigned char>(seq[i]), codes);
      EXPECT_TRUE(codes.empty());
      EXPECT_TRUE(d.Pending());  // the backend waits a little longer, it does not flush
      for (std::size_t i = cut; i < seq.size(); ++i) d.Feed(static_cast<unsigned char>(seq[i]), codes);
      EXPECT_FALSE(d.Pending());
      EXPECT_EQ(codes, Decode(seq)) << "cut at " << cut;
    }
  }
}

TEST(KeyDecoder, LoneEscWaitsForFlushOnly) {
  KeyDecoder d;
  std::string codes;
  d.Feed(0x1b, codes);
  EXPECT_TRUE(codes.empty());
  EXPECT_TRUE(d.Pending());
  d.Flush(codes);
  EXPECT_EQ(codes, "\x1b");
  d.Feed('O', codes);  // a new key, not the rest of a sequence
  EXPECT_EQ(codes, "\x1bO");
  EXPECT_FALSE(d.Pending());
}

TEST(KeyDecoder, NoCommandLetterLeaksFromInsideSequences) {
  // Function keys, mouse and other reports are full of G H I K M O P Q S.
  const std::string noise[] = {E + "OP",       E + "OS",        E + "[1;2S", E + "[<0;72;83M",
                               E + "[M" "HOS", E + "[?1;2c",    E + "[I",    E + "[O",
                               E + "[[S",      E + "[2;2$",     E + "O5Q",   E + "[9;9;9M"};
  for (const std::string& n : noise) {
    const std::string codes = Decode(n);
    for (std::size_t i = 0; i < codes.size(); ++i) {
      if (codes[i] == '\0') {
        ++i;  // a scan code, not a character
        continue;
      }
      EXPECT_EQ(std::string("GHIKMOPQS").find(codes[i]), std::string::npos) << "from " << n.substr(1);
    }
  }
}

}  // namespace
