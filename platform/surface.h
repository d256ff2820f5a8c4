// The picture: 8-bit colour indices, one-pixel lines clipped to the surface, and a
// record of which tiles changed since the window last took them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct Rgb {
  std::uint8_t r, g, b;
};

// 0-15 are the classic 16 colours; the rest are a grey ramp and a 6x6x6 cube.
extern const std::array<Rgb, 256> kPalette;

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Rect&) const = default;
};

class Surface {
 public:
  static constexpr int kTile = 32;

  Surface() = default;
  Surface(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  std::uint8_t at(int x, int y) const { return pixels_[std::size_t(y) * width_ + x]; }
  const std::uint8_t* row(int y) const { return &pixels_[std::size_t(y) * width_]; }

  // Pixels of the Bresenham line from (x0, y0) to (x1, y1), both ends lit: along
  // the major axis step i (0 ... D) the minor offset is floor((2*i*d + D) / (2*D)),
  // d and D the minor and major distances. Only the part on the surface is
  // visited, so far-off ends cost nothing.
  // Same size and pixels; what changed since the last take does not count.
  bool operator==(const Surface& o) const {
    return width_ == o.width_ && height_ == o.height_ && pixels_ == o.pixels_;
  }

  void Line(int x0, int y0, int x1, int y1, std::uint8_t colour);
  void Fill(std::uint8_t colour);

  // Copies every changed tile into `into` (a surface of the same size), appends
  // the areas copied to `areas` and forgets the changes. False when none.
  bool TakeChanged(Surface& into, std::vector<Rect>& areas);

 private:
  void Plot(int x, int y, std::uint8_t colour) {
    pixels_[std::size_t(y) * width_ + x] = colour;
    changed_[std::size_t(y / kTile) * tiles_across_ + x / kTile] = 1;
  }

  int width_ = 0, height_ = 0, tiles_across_ = 0;
  std::vector<std::uint8_t> pixels_;
  std::vector<std::uint8_t> changed_;  // one flag per tile
  bool any_changed_ = false;
};
