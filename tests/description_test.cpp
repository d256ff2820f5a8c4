#include <gtest/gtest.h>

#include <string>

#include "platform/cp866.h"
#include "tests/support/painter.h"

namespace {

// Code page 866 by its own rule, independent of the program's table: А-п at
// 0x80-0xAF, р-я at 0xE0-0xEF.
std::string Cp866Reference(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) out += char(c);
    else if (c >= u'А' && c <= u'п') out += char(0x80 + (c - u'А'));
    else if (c >= u'р' && c <= u'я') out += char(0xE0 + (c - u'р'));
    else ADD_FAILURE() << "unexpected character " << int(c);
  }
  return out;
}

struct HelpLine {
  std::u16string text;
  std::string utf8;
  std::size_t length;
};

const HelpLine kHelp[10] = {
    {u"Если вы не можете выбрать ваш флимарский знак это пр. для вас !",
     "Если вы не можете выбрать ваш флимарский знак это пр. для вас !", 63},
    {u"Управление : " + std::u16string(50, u'-'), "Управление : " + std::string(50, '-'), 63},
    {u"< Home > - пауза.", "< Home > - пауза.", 17},
    {u"Стрелки вправо, влево - изменение формы.", "Стрелки вправо, влево - изменение формы.", 40},
    {u"Стрелки вверх, вниз -  изменение размера.", "Стрелки вверх, вниз -  изменение размера.", 41},
    {u"< Page Up >, < Page down > - измененме цвета.", "< Page Up >, < Page down > - измененме цвета.", 45},
    {u"< delete > - очистка экрана.", "< delete > - очистка экрана.", 28},
    {u"< End >  - выход.", "< End >  - выход.", 17},
    {std::u16string(62, u'-'), std::string(62, '-'), 62},
    {u"Press any key", "Press any key", 13},
};

TEST(Description, TenLinesByteForByte) {
  const Recording run = RunProgram({.script = {{0, "x"}}, .passes = 0});
  ASSERT_EQ(run.lines.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(run.lines[i].size(), kHelp[i].length) << "line " << i + 1;
    EXPECT_EQ(run.lines[i], Cp866Reference(kHelp[i].text)) << "line " << i + 1;
    EXPECT_EQ(Cp866ToUtf8(run.lines[i]), kHelp[i].utf8) << "line " << i + 1;
  }
}

TEST(Description, FirstLineThenDelayThenTheRestThenOneKey) {
  const Recording run = RunProgram({.script = {{0, "x"}}, .passes = 1});
  ASSERT_EQ(run.lines_at_delay.size(), 3u);  // the screen's Delay, pass 1's, pass 2's (ends the run)
  EXPECT_EQ(run.lines_at_delay[0], 1u);
  EXPECT_EQ(run.lines_at_delay[1], 10u);
  EXPECT_EQ(run.delays[0], 10u);
}

TEST(Description, WaitsForTheKey) {
  // No key ever comes: the screen waits, no pass runs.
  const Recording run = RunProgram({.script = {}, .passes = 5});
  EXPECT_EQ(run.lines.size(), 10u);
  EXPECT_EQ(run.delays.size(), 1u);
  EXPECT_TRUE(run.segments.empty());
}

TEST(Description, InputEndedWhileWaitingIsAnErrorOfItsOwn) {
  const Recording run = RunProgram({.script = {}, .passes = 5, .input_ends = true});
  ASSERT_TRUE(run.status);
  EXPECT_NE(*run.status, 0);
  EXPECT_NE(*run.status, 201);
  EXPECT_EQ(run.window_closes, 1);
}

}  // namespace
