// The picture: 8-bit colour indices, one-pixel lines clipped to the surface, and a
// record of which tiles changed since the window last took them.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
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

// Memory that calloc hands out zeroed and that is not written again on creation: the
// pages of a large surface cost time and memory only where something is drawn. For
// storage made at its size and never grown in place.
template <typename T>
struct ZeroedAllocator {
  using value_type = T;
  ZeroedAllocator() = default;
  template <typename U>
  ZeroedAllocator(const ZeroedAllocator<U>&) {}
  T* allocate(std::size_t n) {
    if (void* p = std::calloc(n, sizeof(T))) return static_cast<T*>(p);
    throw std::bad_alloc();
  }
  void deallocate(T* p, std::size_t) { std::free(p); }
  template <typename U>
  void construct(U*) {}  // zero already
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  bool operator==(const ZeroedAllocator&) const = default;
};

class Surface {
 public:
  // A chord changes a thin band: smaller tiles send fewer untouched pixels along with it.
  static constexpr int kTile = 16;

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
  // the areas copied to `areas` and forgets the changes. False when none. A tile
  // that is plain in both (see Plain) is listed but not copied: a clear costs what
  // had been drawn, not the size of the surface.
  bool TakeChanged(Surface& into, std::vector<Rect>& areas);

  // A tile nothing was drawn in since the last Fill holds fill() alone.
  bool Plain(int tx, int ty) const { return !drawn_[std::size_t(ty) * tiles_across_ + tx]; }
  std::uint8_t fill() const { return fill_; }

 private:
  void Plot(int x, int y, std::uint8_t colour) {
    pixels_[std::size_t(y) * width_ + x] = colour;
    const std::size_t tile = std::size_t(y / kTile) * tiles_across_ + x / kTile;
    changed_[tile] = 1;
    drawn_[tile] = 1;
  }
  void FillTiles(int ty, int first, int end, std::uint8_t colour);

  int width_ = 0, height_ = 0, tiles_across_ = 0;
  std::vector<std::uint8_t, ZeroedAllocator<std::uint8_t>> pixels_;
  std::vector<std::uint8_t> changed_;  // per tile: not yet taken
  std::vector<std::uint8_t> drawn_;    // per tile: drawn in since the last Fill
  std::uint8_t fill_ = 0;              // what the other tiles hold
  bool any_changed_ = false;
};
