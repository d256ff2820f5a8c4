#include <gtest/gtest.h>

#include "rose/rose.h"
#include "tests/support/painter.h"

namespace {

TEST(Paint, WorkedExampleOn640x480) {
  const Recording run = RunProgram({.script = {{0, " "}}, .passes = 6});
  ASSERT_EQ(run.segments.size(), 6u);
  const Point expected[6] = {{158, -11}, {389, 86}, {119, 267}, {134, 25}, {307, 278}, {25, 325}};
  Point from{0, 0};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(run.segments[i].from, from) << "pass " << i + 1;
    EXPECT_EQ(run.segments[i].to, expected[i]) << "pass " << i + 1;
    EXPECT_EQ(run.segments[i].colour, 15);
    from = expected[i];
  }
  EXPECT_EQ(run.picture, Replay(run));
}

TEST(Paint, FirstSegmentIsCutOffAtTheTopEdge) {
  const Recording run = RunProgram({.script = {{0, " "}}, .passes = 1});
  int lit = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (run.picture.at(x, y)) {
        ++lit;
        EXPECT_EQ(y, 0);
        EXPECT_LE(x, 7);
        EXPECT_EQ(run.picture.at(x, y), 15);
      }
  EXPECT_EQ(lit, 8);  // (0,0) ... (7,0): where the line towards (158, -11) is still on the surface
}

TEST(Paint, StartsFromTheFixedValues) {
  const Recording run = RunProgram({.script = {{0, " "}}, .passes = 3});
  EXPECT_EQ(DATA.A, 310.0);
  EXPECT_EQ(DATA.K, 5.0);
  for (const Segment& s : run.segments) EXPECT_EQ(s.colour, 15);
}

TEST(Paint, TenMillisecondsInEveryPassAndNoWaitWithoutKeys) {
  const Recording run = RunProgram({.script = {{0, " "}}, .passes = 50});
  EXPECT_EQ(run.segments.size(), 50u);   // no key: no pass waited for one
  EXPECT_EQ(run.delays.size(), 1u + 50);  // the screen's and one per pass
  for (unsigned d : run.delays) EXPECT_EQ(d, 10u);
  EXPECT_EQ(run.picture, Replay(run));
}

TEST(Paint, CentreFollowsTheSurface) {
  // An odd size: the centre is the integer half of the largest coordinate.
  const Recording run = RunProgram({.script = {{0, " "}}, .passes = 1, .window = {801, 601}});
  // GetMaxX = 800, GetMaxY = 600: centre (400, 300); cos(1)*310*sin(5) = -160.61...
  EXPECT_EQ(run.segments[0].to, (Point{400 - 161, 300 - 250}));
}

TEST(Paint, NoDisplayStillDraws) {
  const Recording run = RunProgram({.script = {{0, " "}}, .passes = 2, .window = {0, 0}});
  EXPECT_EQ(run.picture.width(), 640);
  EXPECT_EQ(run.picture.height(), 480);
  EXPECT_EQ(run.segments.size(), 2u);
}

}  // namespace
