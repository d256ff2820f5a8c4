#include "platform/surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

std::array<Rgb, 256> MakePalette() {
  std::array<Rgb, 256> p{};
  const Rgb classic[16] = {
      {0, 0, 0},      {0, 0, 168},    {0, 168, 0},    {0, 168, 168},
      {168, 0, 0},    {168, 0, 168},  {168, 84, 0},   {168, 168, 168},
      {84, 84, 84},   {84, 84, 252},  {84, 252, 84},  {84, 252, 252},
      {252, 84, 84},  {252, 84, 252}, {252, 252, 84}, {252, 252, 252},
  };
  std::copy(std::begin(classic), std::end(classic), p.begin());
  for (int i = 0; i < 24; ++i) {  // 16-39: grey ramp
    const auto v = std::uint8_t(8 + i * 10);
    p[16 + i] = {v, v, v};
  }
  for (int i = 0; i < 216; ++i) {  // 40-255: colour cube
    constexpr std::uint8_t level[6] = {0, 51, 102, 153, 204, 255};
    p[40 + i] = {level[i / 36], level[i / 6 % 6], level[i % 6]};
  }
  return p;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Calls f(row, first, end) for every run of set flags within a row of tiles; memchr
// skips the clear ones many at a time, so the cost is the runs, hardly the surface.
template <typename F>
void ForEachRun(const std::vector<std::uint8_t>& flags, int across, F f) {
  const std::uint8_t* const at = flags.data();
  const std::size_t n = flags.size();
  for (std::size_t i = 0; i < n;) {
    const void* hit = std::memchr(at + i, 1, n - i);
    if (!hit) return;
    i = std::size_t(static_cast<const std::uint8_t*>(hit) - at);
    const int row = int(i / across), first = int(i % across);
    int end = first;
    for (; end < across && at[i]; ++end, ++i) {
    }
    f(row, first, end);
  }
}

}  // namespace

const std::array<Rgb, 256> kPalette = MakePalette();

Surface::Surface(int width, int height)
    : width_(width),
      height_(height),
      tiles_across_((width + kTile - 1) / kTile),
      pixels_(std::size_t(width) * height),
      changed_(std::size_t(tiles_across_) * ((height + kTile - 1) / kTile), 0),
      drawn_(changed_.size(), 0) {}

void Surface::Line(int x0, int y0, int x1, int y1, std::uint8_t colour) {
  if (width_ == 0 || height_ == 0) return;
  const bool x_major = std::abs(x1 - x0) >= std::abs(y1 - y0);
  // a: the major axis, b: the minor one.
  const std::int64_t a0 = x_major ? x0 : y0, a1 = x_major ? x1 : y1;
  const std::int64_t b0 = x_major ? y0 : x0, b1 = x_major ? y1 : x1;
  const std::int64_t a_max = (x_major ? width_ : height_) - 1;
  const std::int64_t b_max = (x_major ? height_ : width_) - 1;
  const std::int64_t D = std::abs(a1 - a0), d = std::abs(b1 - b0);
  const int sa = a1 >= a0 ? 1 : -1, sb = b1 >= b0 ? 1 : -1;

  // Steps whose major coordinate lies on the surface.
  std::int64_t lo = sa > 0 ? -a0 : a0 - a_max;
  std::int64_t hi = sa > 0 ? a_max - a0 : a0;
  // Minor offsets m that lie on the surface, then the steps that give them.
  const std::int64_t m_lo = sb > 0 ? -b0 : b0 - b_max;
  const std::int64_t m_hi = sb > 0 ? b_max - b0 : b0;
  if (d == 0) {
    if (m_lo > 0 || m_hi < 0) return;
  } else {
    // m(i) >= m_lo  <=>  2*i*d >= 2*D*m_lo - D;  m(i) <= m_hi  <=>  2*i*d <= 2*D*(m_hi+1) - D - 1
    lo = std::max(lo, -FloorDiv(-(2 * D * m_lo - D), 2 * d));
    hi = std::min(hi, FloorDiv(2 * D * (m_hi + 1) - D - 1, 2 * d));
  }
  lo = std::max<std::int64_t>(lo, 0);
  hi = std::min(hi, D);
  if (lo > hi) return;

  if (D == 0) {
    Plot(x0, y0, colour);
  } else {
    const std::int64_t two_D = 2 * D;
    std::int64_t num = 2 * lo * d + D;
    std::int64_t m = num / two_D, e = num % two_D;
    std::int64_t a = a0 + sa * lo;
    for (std::int64_t i = lo; i <= hi; ++i, a += sa) {
      const std::int64_t b = b0 + sb * m;
      if (x_major)
        Plot(int(a), int(b), colour);
      else
        Plot(int(b), int(a), colour);
      e += 2 * d;
      if (e >= two_D) e -= two_D, ++m;
    }
  }
  any_changed_ = true;
}

void Surface::FillTiles(int ty, int first, int end, std::uint8_t colour) {
  const int x = first * kTile, w = std::min(end * kTile, width_) - x;
  for (int y = ty * kTile; y < std::min((ty + 1) * kTile, height_); ++y)
    std::memset(&pixels_[std::size_t(y) * width_ + x], colour, std::size_t(w));
}

void Surface::Fill(std::uint8_t colour) {
  if (colour == fill_) {  // only the tiles drawn in hold anything else
    ForEachRun(drawn_, tiles_across_, [&](int ty, int first, int end) {
      FillTiles(ty, first, end, colour);
    });
  } else {
    std::fill(pixels_.begin(), pixels_.end(), colour);
    fill_ = colour;
  }
  std::fill(drawn_.begin(), drawn_.end(), 0);
  std::fill(changed_.begin(), changed_.end(), 1);
  any_changed_ = !pixels_.empty();
}

bool Surface::TakeChanged(Surface& into, std::vector<Rect>& areas) {
  if (!any_changed_) return false;
  // Where `into` may hold another fill colour, none of its tiles counts as plain.
  if (into.fill_ != fill_) std::fill(into.drawn_.begin(), into.drawn_.end(), 1);
  ForEachRun(changed_, tiles_across_, [&](int ty, int first, int end) {
    const std::size_t row = std::size_t(ty) * tiles_across_;
    Rect r{first * kTile, ty * kTile, 0, 0};
    r.w = std::min(end * kTile, width_) - r.x;
    r.h = std::min((ty + 1) * kTile, height_) - r.y;
    for (int tx = first; tx < end;) {
      if (!drawn_[row + tx] && !into.drawn_[row + tx]) {  // both plain: the same already
        ++tx;
        continue;
      }
      const int from = tx;
      for (; tx < end && (drawn_[row + tx] || into.drawn_[row + tx]); ++tx)
        into.drawn_[row + tx] = drawn_[row + tx];
      const int x = from * kTile, w = std::min(tx * kTile, width_) - x;
      for (int y = r.y; y < r.y + r.h; ++y) {
        const std::size_t at = std::size_t(y) * width_ + x;
        std::memcpy(&into.pixels_[at], &pixels_[at], std::size_t(w));
      }
    }
    std::memset(&changed_[row + first], 0, std::size_t(end - first));
    areas.push_back(r);
  });
  into.fill_ = fill_;
  any_changed_ = false;
  return true;
}
