#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "rose/rose.h"
#include "tests/support/painter.h"

namespace {

std::string K(int scan) { return std::string{'\0', char(scan)}; }  // a navigation key

// What must hold for the segment of one pass.
struct Expect {
  int pass;
  std::optional<double> A = {}, K = {};
  std::optional<int> colour = {};
  std::optional<bool> cleared = {};
  std::optional<Point> from = {}, to = {};
};

struct Scenario {
  const char* name;
  std::vector<fake::Typing> script;
  int passes;
  std::vector<Expect> expect;
  std::optional<int> status = {};  // the program ended with it; none: still running
  int segments = -1;               // -1: one per pass
};

const Point kCentre{319, 239};

const Scenario kScenarios[] = {
    // size
    {"H adds 1 to A in its own pass", {{0, " "}, {3, "H"}}, 5,
     {{.pass = 2, .A = 310}, {.pass = 3, .A = 311, .cleared = false}, {.pass = 4, .A = 311}}},
    {"Up acts one pass later", {{0, " "}, {3, K(72)}}, 5, {{.pass = 3, .A = 310}, {.pass = 4, .A = 311}}},
    {"P takes 1 from A", {{0, " "}, {3, "P"}}, 4, {{.pass = 3, .A = 309, .cleared = false}}},
    {"Down", {{0, " "}, {3, K(80)}}, 5, {{.pass = 4, .A = 309}}},
    // shape, with a clear
    {"M adds 1 to K and clears", {{0, " "}, {3, "M"}}, 5,
     {{.pass = 2, .K = 5, .cleared = false},
      {.pass = 3, .K = 6, .cleared = true, .from = Point{0, 0}},
      {.pass = 4, .K = 6, .cleared = false}}},
    {"Right", {{0, " "}, {3, K(77)}}, 5, {{.pass = 3, .K = 5}, {.pass = 4, .K = 6, .cleared = true, .from = Point{0, 0}}}},
    {"K takes 1 from K and clears", {{0, " "}, {3, "K"}}, 4, {{.pass = 3, .K = 4, .cleared = true}}},
    {"Left", {{0, " "}, {3, K(75)}}, 5, {{.pass = 4, .K = 4, .cleared = true, .from = Point{0, 0}}}},
    {"S clears only", {{0, " "}, {3, "S"}}, 4,
     {{.pass = 3, .A = 310, .K = 5, .colour = 15, .cleared = true, .from = Point{0, 0}}}},
    {"Delete", {{0, " "}, {3, K(83)}}, 5, {{.pass = 3, .cleared = false}, {.pass = 4, .cleared = true}}},
    // colour: chosen in one pass, used from the next
    {"Q at 15 wraps to 0 from the next pass", {{0, " "}, {3, "Q"}}, 5,
     {{.pass = 3, .colour = 15}, {.pass = 4, .colour = 0}, {.pass = 5, .colour = 0}}},
    {"I", {{0, " "}, {3, "I"}}, 5, {{.pass = 3, .colour = 15}, {.pass = 4, .colour = 14}}},
    {"I at 0 wraps to 15", {{0, " "}, {2, "Q"}, {4, "I"}}, 6,
     {{.pass = 3, .colour = 0}, {.pass = 4, .colour = 0}, {.pass = 5, .colour = 15}}},
    {"Page Down", {{0, " "}, {3, K(81)}}, 6, {{.pass = 4, .colour = 15}, {.pass = 5, .colour = 0}}},
    {"Page Up", {{0, " "}, {3, K(73)}}, 6, {{.pass = 4, .colour = 15}, {.pass = 5, .colour = 14}}},
    {"a full turn of colours", {{0, " "}, {2, "QQQQQQQQQQQQQQQQ"}}, 20,
     {{.pass = 3, .colour = 0}, {.pass = 4, .colour = 1}, {.pass = 17, .colour = 14}, {.pass = 18, .colour = 15}, {.pass = 19, .colour = 15}}},
    // end
    {"O ends at once with 0, nothing drawn in its pass", {{0, " "}, {3, "O"}}, 10, {}, 0, 2},
    {"End draws its first pass, ends in the next", {{0, " "}, {3, K(79)}}, 10, {}, 0, 3},
    {"End on the instruction screen ends before drawing", {{0, K(79)}}, 10, {}, 0, 0},
    // keys left from the instruction screen
    {"arrow on the instruction screen acts in pass 1", {{0, K(77)}}, 3,
     {{.pass = 1, .K = 6, .cleared = true, .from = Point{0, 0}}, {.pass = 2, .K = 6, .cleared = false}}},
    {"the screen takes one key, pass 1 the next", {{0, "xH"}}, 3, {{.pass = 1, .A = 311}, {.pass = 2, .A = 311}}},
    {"one key per pass", {{0, " "}, {2, "HHH"}}, 6,
     {{.pass = 1, .A = 310}, {.pass = 2, .A = 311}, {.pass = 3, .A = 312}, {.pass = 4, .A = 313}, {.pass = 5, .A = 313}}},
    // pause
    {"G waits for a key, discards it, draws", {{0, " "}, {3, "G"}, {9, "H"}}, 5,
     {{.pass = 3, .A = 310}, {.pass = 4, .A = 310}, {.pass = 5, .A = 310}}},
    {"G waits for ever without a key", {{0, " "}, {3, "G"}}, 10, {}, {}, 2},
    {"Home pauses one pass later", {{0, " "}, {3, K(71)}}, 10, {}, {}, 3},
    {"resuming with Home pauses again a segment later", {{0, " "}, {3, "G"}, {4, K(71)}}, 10, {}, {}, 3},
    {"resuming with an arrow applies it", {{0, " "}, {3, "G"}, {4, K(72)}}, 6,
     {{.pass = 3, .A = 310}, {.pass = 4, .A = 311}, {.pass = 5, .A = 311}}},
    {"resuming with End ends", {{0, " "}, {3, "G"}, {4, K(79)}}, 10, {}, 0, 3},
    // nothing else is a command
    {"small letters", {{0, " "}, {2, "ghikmopqs"}}, 12,
     {{.pass = 11, .A = 310, .K = 5, .colour = 15, .cleared = false}}, {}, 12},
    {"digits, space, Enter, Esc, 0", {{0, " "}, {2, std::string("0123456789 \r\x1b\b\t") + '\0'}}, 20,
     {{.pass = 19, .A = 310, .K = 5, .colour = 15}}},
    {"Ctrl and Alt navigation keys, function keys, Insert",
     {{0, " "}, {2, K(141) + K(145) + K(115) + K(116) + K(119) + K(117) + K(132) + K(118) + K(147) +
                        K(152) + K(160) + K(155) + K(157) + K(151) + K(159) + K(153) + K(161) + K(163) +
                        K(59) + K(62) + K(84) + K(93) + K(82)}},
     50, {{.pass = 49, .A = 310, .K = 5, .colour = 15, .cleared = false}}},
    // no bounds on A and K
    {"K through zero: every point at the centre", {{0, " "}, {2, "KKKKKK"}}, 9,
     {{.pass = 6, .K = 0, .cleared = true, .to = kCentre}, {.pass = 7, .K = -1}}},
};

class Commands : public testing::TestWithParam<Scenario> {};

TEST_P(Commands, Scenario) {
  const Scenario& sc = GetParam();
  const Recording run = RunProgram({.script = sc.script, .passes = sc.passes});
  EXPECT_EQ(run.status, sc.status);
  EXPECT_EQ(int(run.segments.size()), sc.segments < 0 ? sc.passes : sc.segments);
  for (const Expect& e : sc.expect) {
    ASSERT_LE(std::size_t(e.pass), run.segments.size()) << "pass " << e.pass;
    const Segment& s = run.segments[e.pass - 1];
    if (e.A) {
      EXPECT_EQ(s.A, *e.A) << "pass " << e.pass;
    }
    if (e.K) {
      EXPECT_EQ(s.K, *e.K) << "pass " << e.pass;
    }
    if (e.colour) {
      EXPECT_EQ(s.colour, *e.colour) << "pass " << e.pass;
    }
    if (e.cleared) {
      EXPECT_EQ(s.cleared, *e.cleared) << "pass " << e.pass;
    }
    if (e.from) {
      EXPECT_EQ(s.from, *e.from) << "pass " << e.pass;
    }
    if (e.to) {
      EXPECT_EQ(s.to, *e.to) << "pass " << e.pass;
    }
  }
  EXPECT_EQ(run.picture, Replay(run));  // what the records say is what was drawn
  if (run.status) {
    EXPECT_EQ(run.window_closes, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Keys, Commands, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& param) {
                           std::string name;
                           for (const char* c = param.param.name; *c; ++c)
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           return name;
                         });

TEST(CommandsSize, ThroughZeroAndBeyond) {
  // 310 presses of Down: A = 0 draws at the centre; below zero the reflection.
  const Recording run = RunProgram({.script = {{0, " "}, {2, std::string(312, 'P')}}, .passes = 320});
  ASSERT_EQ(run.segments.size(), 320u);
  const Segment& zero = run.segments[310];  // pass 311
  EXPECT_EQ(zero.A, 0.0);
  EXPECT_EQ(zero.to, kCentre);
  const Segment& minus2 = run.segments[312];  // pass 313, A = -2
  EXPECT_EQ(minus2.A, -2.0);
  const double r = std::sin(313.0 * 5) * -2;
  EXPECT_EQ(minus2.to, (Point{319 + int(std::nearbyint(std::cos(313.0) * r)),
                              239 + int(std::nearbyint(std::sin(313.0) * r))}));
  EXPECT_EQ(run.picture, Replay(run));
}

TEST(CommandsSize, EnoughPressesReachRuntimeError201) {
  const Recording run =
      RunProgram({.script = {{0, " "}, {1, std::string(60000, 'H')}}, .passes = 60000});
  ASSERT_EQ(run.status, 201);
  // The first pass whose point leaves the 16-bit range, found from the formula itself.
  std::size_t expected = 0;
  for (int pass = 1; pass <= 60000 && !expected; ++pass) {
    const Extended A = 310 + pass, t = Extended(double(pass));
    const Extended x = std::nearbyint(std::cos(t) * A * std::sin(t * 5) + 319);
    const Extended y = std::nearbyint(std::sin(t) * A * std::sin(t * 5) + 239);
    if (x < -32768 || x > 32767 || y < -32768 || y > 32767) expected = std::size_t(pass);
  }
  ASSERT_NE(expected, 0u);
  EXPECT_EQ(run.segments.size(), expected - 1);  // its own segment is never drawn
  ASSERT_EQ(run.lines.size(), 11u);
  EXPECT_EQ(run.lines.back().rfind("Runtime error 201 at paint.cpp:", 0), 0u) << run.lines.back();
  EXPECT_EQ(run.restores_before_line.back(), 1);  // the terminal first, then the message
  EXPECT_EQ(run.window_closes, 1);
}

}  // namespace
