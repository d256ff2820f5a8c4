#include "platform/system.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/fakes.h"

namespace {

TEST(Round, NearestTiesToEven) {
  struct Case {
    Extended x;
    int expected;
  };
  const Case cases[] = {{0.5L, 0},   {1.5L, 2},   {2.5L, 2},     {-0.5L, 0},  {-1.5L, -2},
                        {-2.5L, -2}, {2.4999L, 2}, {-2.5001L, -3}, {158.386L, 158}, {-11.14L, -11}};
  for (const Case& c : cases) EXPECT_EQ(Round(c.x), c.expected) << double(c.x);
}

TEST(Round, LimitsOfTheSixteenBitRange) {
  fake::Reset();
  EXPECT_EQ(Round(32767.0L), 32767);
  EXPECT_EQ(Round(32767.4L), 32767);
  EXPECT_EQ(Round(-32768.0L), -32768);
  EXPECT_EQ(Round(-32768.5L), -32768);  // the tie goes to the even -32768
  const Extended bad[] = {32767.5L, 32768.0L, -32768.6L, -32769.0L, 1e30L,
                          std::numeric_limits<Extended>::infinity(),
                          std::numeric_limits<Extended>::quiet_NaN()};
  for (Extended x : bad) {
    try {
      Round(x);
      ADD_FAILURE() << "no error for " << double(x);
    } catch (const fake::Exit& e) {
      EXPECT_EQ(e.status, 201) << double(x);
    }
  }
}

TEST(RunError, RestoresTheConsoleThenReportsThePlace) {
  fake::Console& console = fake::Reset();
  int line = 0;
  try {
    line = __LINE__ + 1;
    Round(1e6L);
  } catch (const fake::Exit& e) {
    EXPECT_EQ(e.status, 201);
  }
  ASSERT_EQ(console.lines.size(), 1u);
  EXPECT_EQ(console.lines[0], "Runtime error 201 at system_test.cpp:" + std::to_string(line) + ".");
  EXPECT_EQ(console.restores_before_line[0], 1);
  EXPECT_EQ(fake::WindowCloses(), 1);
}

TEST(Halt, RestoresClosesAndExitsWithItsCode) {
  fake::Console& console = fake::Reset();
  try {
    Halt(7);
  } catch (const fake::Exit& e) {
    EXPECT_EQ(e.status, 7);
  }
  EXPECT_EQ(console.restores, 1);
  EXPECT_EQ(fake::WindowCloses(), 1);
  EXPECT_TRUE(console.lines.empty());
}

TEST(Trigonometry, ExtendedPrecision) {
  // The worked example's first point needs more than double's 53 bits to be stable.
  EXPECT_NEAR(double(Cos(1.0L) * 310 * Sin(5.0L) + 319), 158.386211, 1e-6);
  EXPECT_EQ(std::numeric_limits<Extended>::digits, 64);
}

}  // namespace
