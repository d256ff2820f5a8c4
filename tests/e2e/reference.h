// What the window should show, worked out here from first principles and not from
// the program's own drawing code: the curve's points, one-pixel lines clipped to the
// picture, and the effect of each key on the drawing loop.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace ref {

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// The 16 drawing colours, by index.
extern const Rgb kColours[16];
constexpr std::uint8_t kNotAColour = 0xFF;
// Index of an exact colour, or kNotAColour.
std::uint8_t ColourIndex(Rgb c);

struct Point {
  long x, y;
  bool operator==(const Point&) const = default;
};

// Ties go to the even neighbour.
long RoundHalfEven(long double v);

// The point of the curve at angle `alfa` around the centre (x0, y0); coordinates may
// fall outside any picture, and outside 16 bits.
Point CurvePoint(double alfa, double A, double K, int x0, int y0);

// Colour indices, row by row.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;

  Picture() = default;
  Picture(int w, int h) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), 0) {}
  std::uint8_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
  bool operator==(const Picture&) const = default;
  std::size_t Lit() const;  // pixels that are not black
};

// Lights the pixels of the line from (x0, y0) to (x1, y1) that fall on the picture: D and
// d are the distances along the major and the minor axis; step i = 0 ... D along the
// major one moves floor((2*i*d + D) / (2*D)) along the minor one, towards the end.
void DrawLine(Picture& p, Point from, Point to, std::uint8_t colour);

// A coordinate left the 16-bit range: the program must stop with run-time error 201.
struct OutOfRange : std::runtime_error {
  OutOfRange() : std::runtime_error("a point left the 16-bit range") {}
};

// The drawing loop, one pass at a time, as the program runs it on a window of the
// given size. A pass that reads no key, or a key that names no command, is Pass(0).
class Rose {
 public:
  Rose(int width, int height);

  // One pass that has read `key` (a character; 0 for none or for no command). 'G'
  // stands for the pass whose pause has already ended. 'O' must not be passed.
  void Pass(char key = 0);

  const Picture& picture() const { return picture_; }
  long passes() const { return passes_; }
  double A() const { return A_; }
  double K() const { return K_; }
  int colour() const { return colour_; }

 private:
  void Clear();

  Picture picture_;
  int x0_, y0_;
  double A_ = 310, K_ = 5, alfa_ = 0;
  int colour_ = 15;
  Point at_{0, 0};
  long passes_ = 0;
};

}  // namespace ref
