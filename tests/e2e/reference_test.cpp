// The reference itself, against numbers worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/e2e/reference.h"

namespace {

using ref::Point;

TEST(Reference, WorkedExampleOn640x480) {
  const Point expected[6] = {{158, -11}, {389, 86}, {119, 267}, {134, 25}, {307, 278}, {25, 325}};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(ref::CurvePoint(i + 1, 310, 5, 319, 239), expected[i]) << "ALFA = " << i + 1;
}

TEST(Reference, RoundsHalfToEven) {
  EXPECT_EQ(ref::RoundHalfEven(0.5L), 0);
  EXPECT_EQ(ref::RoundHalfEven(1.5L), 2);
  EXPECT_EQ(ref::RoundHalfEven(2.5L), 2);
  EXPECT_EQ(ref::RoundHalfEven(-0.5L), 0);
  EXPECT_EQ(ref::RoundHalfEven(-1.5L), -2);
  EXPECT_EQ(ref::RoundHalfEven(-2.4L), -2);
  EXPECT_EQ(ref::RoundHalfEven(2.6L), 3);
}

std::vector<Point> Lit(const ref::Picture& p) {
  std::vector<Point> lit;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (p.at(x, y)) lit.push_back({x, y});
  return lit;
}

TEST(Reference, LinePixels) {
  struct Case {
    Point from, to;
    std::vector<Point> lit;  // in row order
  } cases[] = {
      {{1, 1}, {1, 1}, {{1, 1}}},
      {{0, 0}, {4, 1}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}},  // offset floor((2i + 4) / 8)
      {{4, 1}, {0, 0}, {{2, 0}, {1, 0}, {0, 0}, {4, 1}, {3, 1}}},  // the other way the tie at i = 2 goes up
      {{0, 3}, {1, 0}, {{1, 0}, {1, 1}, {0, 2}, {0, 3}}},
      {{0, 0}, {2, 2}, {{0, 0}, {1, 1}, {2, 2}}},
      {{-3, 0}, {3, 0}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},  // clipped at the left edge
  };
  for (const Case& c : cases) {
    ref::Picture p(6, 4);
    ref::DrawLine(p, c.from, c.to, 15);
    std::vector<Point> want = c.lit;
    std::sort(want.begin(), want.end(), [](Point a, Point b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    EXPECT_EQ(Lit(p), want) << "(" << c.from.x << "," << c.from.y << ") to (" << c.to.x << "," << c.to.y << ")";
  }
}

TEST(Reference, FirstSegmentIsCutOffAtTheTopEdge) {
  ref::Rose r(640, 480);
  r.Pass();
  EXPECT_EQ(r.picture().Lit(), 8u);  // (0,0) ... (7,0) on the way to (158, -11)
  for (int x = 0; x < 8; ++x) EXPECT_EQ(r.picture().at(x, 0), 15);
}

TEST(Reference, CommandsAndTheirPasses) {
  ref::Rose r(640, 480);
  r.Pass('I');  // colour 14 from the next pass on
  EXPECT_EQ(r.colour(), 14);
  EXPECT_EQ(r.picture().at(0, 0), 15);
  r.Pass('M');  // K 6 and a clear: the segment starts at the corner again
  EXPECT_EQ(r.K(), 6);
  EXPECT_EQ(r.picture().at(0, 0), 14);
  r.Pass('Q');
  r.Pass('Q');  // 16 wraps to 0
  EXPECT_EQ(r.colour(), 0);
  r.Pass('I');  // -1 wraps to 15
  EXPECT_EQ(r.colour(), 15);
  r.Pass('H');
  r.Pass('P');
  r.Pass('P');
  EXPECT_EQ(r.A(), 309);
  r.Pass('S');
  EXPECT_EQ(r.passes(), 9);
  EXPECT_THROW(r.Pass('O'), std::logic_error);
}

TEST(Reference, PointsBeyondSixteenBitsAreAnError) {
  ref::Rose r(640, 480);
  EXPECT_THROW(
      for (int i = 0; i < 40000; ++i) r.Pass('H'), ref::OutOfRange);
}

}  // namespace
