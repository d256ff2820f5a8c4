// Every byte 0 ... 255 as the code ReadKey returns, in every state of the program:
// nine of them are commands while drawing; all others, and every byte on the
// instruction screen or in a pause, change nothing but what ends the wait.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/painter.h"

namespace {

constexpr int kPasses = 6;
constexpr int kKeyPass = 3;  // the pass whose KeyPressed first sees the byte

std::string Byte(int b) { return std::string(1, char(b)); }

::testing::AssertionResult SameRun(const Recording& got, const Recording& want) {
  if (got.status != want.status)
    return ::testing::AssertionFailure() << "exit status " << got.status.value_or(-1)
                                         << ", expected " << want.status.value_or(-1);
  if (got.segments.size() != want.segments.size())
    return ::testing::AssertionFailure() << got.segments.size() << " segments, expected "
                                         << want.segments.size();
  for (std::size_t i = 0; i < got.segments.size(); ++i) {
    const Segment &g = got.segments[i], &w = want.segments[i];
    if (g.colour != w.colour || g.from != w.from || g.to != w.to || g.A != w.A || g.K != w.K ||
        g.cleared != w.cleared)
      return ::testing::AssertionFailure() << "pass " << i + 1 << " differs";
  }
  if (!(got.picture == want.picture)) return ::testing::AssertionFailure() << "pictures differ";
  return ::testing::AssertionSuccess();
}

// What a command does to the pass that reads it (`at`) and the passes after it.
struct Command {
  char key;
  bool stops;  // its pass is not drawn: it waits for ever (G) or ends the program (O)
  std::optional<int> status;
  double A = 310, K = 5;
  int colour_next = 15;  // the colour from the pass after
  bool cleared = false;  // in the pass itself
};

const Command kCommands[] = {
    {'G', true, {}},
    {'H', false, {}, 311},
    {'I', false, {}, 310, 5, 14},
    {'K', false, {}, 310, 4, 15, true},
    {'M', false, {}, 310, 6, 15, true},
    {'O', true, 0},
    {'P', false, {}, 309},
    {'Q', false, {}, 310, 5, 0},
    {'S', false, {}, 310, 5, 15, true},
};

const Command* CommandOf(int b) {
  for (const Command& c : kCommands)
    if (c.key == char(b)) return &c;
  return nullptr;
}

::testing::AssertionResult Applied(const Recording& run, const Command& c, int at) {
  const std::size_t segments = c.stops ? std::size_t(at - 1) : kPasses;
  if (run.status != c.status)
    return ::testing::AssertionFailure() << "exit status " << run.status.value_or(-1);
  if (run.segments.size() != segments)
    return ::testing::AssertionFailure() << run.segments.size() << " segments, not " << segments;
  for (std::size_t i = 0; i < run.segments.size(); ++i) {
    const Segment& s = run.segments[i];
    const int pass = int(i) + 1;
    const bool after = pass >= at;
    const double A = after ? c.A : 310, K = after ? c.K : 5;
    const int colour = pass > at ? c.colour_next : 15;
    const bool cleared = pass == at && c.cleared;
    if (s.A != A || s.K != K || s.colour != colour || s.cleared != cleared)
      return ::testing::AssertionFailure()
             << "pass " << pass << ": A " << s.A << " K " << s.K << " colour " << s.colour
             << (s.cleared ? " cleared" : "");
  }
  if (!(run.picture == Replay(run))) return ::testing::AssertionFailure() << "picture not as drawn";
  return ::testing::AssertionSuccess();
}

TEST(EveryByte, WhileDrawing) {
  const Recording none = RunProgram({.script = {{0, " "}}, .passes = kPasses});
  for (int b = 0; b < 256; ++b) {
    const Recording run =
        RunProgram({.script = {{0, " "}, {kKeyPass, Byte(b)}}, .passes = kPasses});
    if (const Command* c = CommandOf(b))
      EXPECT_TRUE(Applied(run, *c, kKeyPass)) << "byte " << b;
    else
      EXPECT_TRUE(SameRun(run, none)) << "byte " << b;
  }
}

TEST(EveryByte, AsTheSecondCodeOfAKey) {
  // 0 first, which names nothing; the byte acts one pass later.
  const Recording none = RunProgram({.script = {{0, " "}}, .passes = kPasses});
  for (int b = 0; b < 256; ++b) {
    const Recording run =
        RunProgram({.script = {{0, " "}, {kKeyPass, '\0' + Byte(b)}}, .passes = kPasses});
    if (const Command* c = CommandOf(b))
      EXPECT_TRUE(Applied(run, *c, kKeyPass + 1)) << "byte " << b;
    else
      EXPECT_TRUE(SameRun(run, none)) << "byte " << b;
  }
}

TEST(EveryByte, InAPauseOnlyResumes) {
  const auto paused = [](const std::string& key) {
    return RunProgram(
        {.script = {{0, " "}, {kKeyPass, "G"}, {kKeyPass + 2, key}}, .passes = kPasses});
  };
  const Recording plain = paused("x");
  ASSERT_EQ(plain.segments.size(), std::size_t(kPasses));  // it did resume
  for (int b = 0; b < 256; ++b) EXPECT_TRUE(SameRun(paused(Byte(b)), plain)) << "byte " << b;
}

TEST(EveryByte, OnTheInstructionScreenOnlyEndsIt) {
  const Recording plain = RunProgram({.script = {{0, "x"}}, .passes = 3});
  ASSERT_EQ(plain.segments.size(), 3u);
  for (int b = 0; b < 256; ++b) {
    const Recording run = RunProgram({.script = {{0, Byte(b)}}, .passes = 3});
    EXPECT_TRUE(SameRun(run, plain)) << "byte " << b;
  }
}

}  // namespace
