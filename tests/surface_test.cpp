#include "platform/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels Lit(const Surface& s) {
  Pixels p;
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x)
      if (s.at(x, y)) p.insert({x, y});
  return p;
}

// The line's pixels straight from its definition, every step, no clipping.
Pixels Definition(int x0, int y0, int x1, int y1) {
  const bool x_major = std::abs(x1 - x0) >= std::abs(y1 - y0);
  const long long D = x_major ? std::abs(x1 - x0) : std::abs(y1 - y0);
  const long long d = x_major ? std::abs(y1 - y0) : std::abs(x1 - x0);
  const int sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
  Pixels p;
  for (long long i = 0; i <= D; ++i) {
    const long long m = D == 0 ? 0 : (2 * i * d + D) / (2 * D);
    p.insert(x_major ? std::pair{int(x0 + sx * i), int(y0 + sy * m)}
                     : std::pair{int(x0 + sx * m), int(y0 + sy * i)});
  }
  return p;
}

Pixels OnSurface(const Pixels& all, int w, int h) {
  Pixels p;
  for (auto [x, y] : all)
    if (x >= 0 && y >= 0 && x < w && y < h) p.insert({x, y});
  return p;
}

TEST(Palette, ClassicSixteenColours) {
  const Rgb expected[16] = {{0, 0, 0},     {0, 0, 168},    {0, 168, 0},    {0, 168, 168},
                            {168, 0, 0},   {168, 0, 168},  {168, 84, 0},   {168, 168, 168},
                            {84, 84, 84},  {84, 84, 252},  {84, 252, 84},  {84, 252, 252},
                            {252, 84, 84}, {252, 84, 252}, {252, 252, 84}, {252, 252, 252}};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(kPalette[i].r, expected[i].r) << i;
    EXPECT_EQ(kPalette[i].g, expected[i].g) << i;
    EXPECT_EQ(kPalette[i].b, expected[i].b) << i;
  }
}

struct Golden {
  int x0, y0, x1, y1;
  Pixels pixels;
};

TEST(Line, GoldenPixelsInEveryDirection) {
  const Golden cases[] = {
      {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
      {4, 2, 0, 0, {{4, 2}, {3, 1}, {2, 1}, {1, 0}, {0, 0}}},  // ties go away from the start
      {0, 0, 2, 4, {{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}}},
      {2, 4, 0, 0, {{2, 4}, {1, 3}, {1, 2}, {0, 1}, {0, 0}}},
      {0, 4, 4, 2, {{0, 4}, {1, 3}, {2, 3}, {3, 2}, {4, 2}}},
      {4, 0, 0, 2, {{4, 0}, {3, 1}, {2, 1}, {1, 2}, {0, 2}}},
      {1, 2, 5, 2, {{1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}}},
      {3, 5, 3, 1, {{3, 5}, {3, 4}, {3, 3}, {3, 2}, {3, 1}}},
      {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
      {3, 0, 0, 3, {{3, 0}, {2, 1}, {1, 2}, {0, 3}}},
      {3, 3, 3, 3, {{3, 3}}},
  };
  for (const Golden& c : cases) {
    Surface s(8, 8);
    s.Line(c.x0, c.y0, c.x1, c.y1, 15);
    EXPECT_EQ(Lit(s), c.pixels) << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1;
  }
}

TEST(Line, EndsLitStepsConnectedInAllOctants) {
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> coord(0, 63);
  for (int n = 0; n < 2000; ++n) {
    const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
    Surface s(64, 64);
    s.Line(x0, y0, x1, y1, 7);
    const Pixels lit = Lit(s);
    ASSERT_TRUE(lit.count({x0, y0}) && lit.count({x1, y1})) << x0 << "," << y0 << " " << x1 << "," << y1;
    ASSERT_EQ(lit.size(), std::size_t(std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1));
    ASSERT_EQ(lit, Definition(x0, y0, x1, y1));
  }
}

TEST(Line, ClippedEqualsDrawnLargerAndCropped) {
  constexpr int W = 100, H = 80, margin = 250;
  std::mt19937 rng(2);
  std::uniform_int_distribution<int> coord(-margin, W + margin - 1);
  for (int n = 0; n < 3000; ++n) {
    const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
    Surface small(W, H), large(W + 2 * margin, H + 2 * margin);
    small.Line(x0, y0, x1, y1, 15);
    large.Line(x0 + margin, y0 + margin, x1 + margin, y1 + margin, 15);
    Pixels cropped;
    for (auto [x, y] : Lit(large))
      if (x >= margin && y >= margin && x < W + margin && y < H + margin)
        cropped.insert({x - margin, y - margin});
    ASSERT_EQ(Lit(small), cropped) << x0 << "," << y0 << " -> " << x1 << "," << y1;
  }
}

TEST(Line, FarOffEndsDrawExactlyTheirVisiblePart) {
  struct Far {
    int x0, y0, x1, y1;
  };
  const Far cases[] = {
      {-32768, -32768, 32767, 32767}, {32767, -32768, -32768, 32767}, {-32768, 20, 32767, 25},
      {30, -32768, 33, 32767},        {-32768, 32767, 40, 10},        {-32000, -31000, 32767, 32000},
      {32767, 32767, 32767, 32767},   {-32768, 0, -32768, 47},        {0, 0, 32767, -32768},
  };
  for (const Far& c : cases) {
    Surface s(64, 48);
    s.Line(c.x0, c.y0, c.x1, c.y1, 15);
    EXPECT_EQ(Lit(s), OnSurface(Definition(c.x0, c.y0, c.x1, c.y1), 64, 48))
        << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1;
  }
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> any(-32768, 32767), near(-100, 160);
  for (int n = 0; n < 300; ++n) {  // one end far off, the other near or on the surface
    const int x0 = any(rng), y0 = any(rng), x1 = near(rng), y1 = near(rng);
    Surface s(64, 48);
    s.Line(x0, y0, x1, y1, 15);
    ASSERT_EQ(Lit(s), OnSurface(Definition(x0, y0, x1, y1), 64, 48))
        << x0 << "," << y0 << " -> " << x1 << "," << y1;
  }
}

TEST(Surface, TakeChangedCopiesExactlyWhatChanged) {
  Surface s(100, 70), frame(100, 70);
  std::vector<Rect> areas;
  EXPECT_FALSE(s.TakeChanged(frame, areas));

  s.Line(5, 5, 90, 60, 12);
  ASSERT_TRUE(s.TakeChanged(frame, areas));
  EXPECT_EQ(Lit(frame), Lit(s));
  for (const Rect& r : areas) {
    EXPECT_GE(r.x, 0);
    EXPECT_LE(r.x + r.w, 100);
    EXPECT_LE(r.y + r.h, 70);
  }
  areas.clear();
  EXPECT_FALSE(s.TakeChanged(frame, areas));
  EXPECT_TRUE(areas.empty());

  s.Line(-50, -50, -10, -10, 3);  // wholly off the surface: nothing to take
  EXPECT_FALSE(s.TakeChanged(frame, areas));

  s.Fill(0);
  ASSERT_TRUE(s.TakeChanged(frame, areas));
  long covered = 0;
  for (const Rect& r : areas) covered += long(r.w) * r.h;
  EXPECT_EQ(covered, 100 * 70);
  EXPECT_TRUE(Lit(frame).empty());
}

}  // namespace

namespace {

// Draws, fills and takes at random; after every take the frame must equal the surface,
// a fill must reach every pixel, and a plain tile must hold the fill colour alone.
TEST(Surface, TakesKeepTheFrameEqualThroughFillsOfAnyColour) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> coord(-40, 140), op(0, 9), colour(0, 255);
  Surface s(100, 70), frame(100, 70);
  std::vector<Rect> areas;
  bool filled = false;
  for (int step = 0; step < 3000; ++step) {
    const int what = op(random);
    if (what < 6) {
      s.Line(coord(random), coord(random), coord(random), coord(random),
             std::uint8_t(colour(random)));
    } else if (what < 8) {
      const auto c = std::uint8_t(what == 6 ? 0 : colour(random) % 3);  // mostly the same fill
      s.Fill(c);
      filled = true;
      for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
          ASSERT_EQ(s.at(x, y), c) << "step " << step << " at " << x << "," << y;
    } else {
      areas.clear();
      s.TakeChanged(frame, areas);
      ASSERT_TRUE(frame == s) << "step " << step;
      long covered = 0;
      for (const Rect& r : areas) covered += long(r.w) * r.h;
      if (filled) {
        EXPECT_EQ(covered, 100 * 70) << "a fill is taken as a change of everything";
      }
      filled = false;
    }
    for (int ty = 0; ty * Surface::kTile < s.height(); ++ty) {
      for (int tx = 0; tx * Surface::kTile < s.width(); ++tx) {
        if (!s.Plain(tx, ty)) continue;
        for (int y = ty * Surface::kTile; y < std::min(s.height(), (ty + 1) * Surface::kTile); ++y)
          for (int x = tx * Surface::kTile; x < std::min(s.width(), (tx + 1) * Surface::kTile); ++x)
            ASSERT_EQ(s.at(x, y), s.fill()) << "step " << step << " tile " << tx << "," << ty;
      }
    }
  }
}

}  // namespace
