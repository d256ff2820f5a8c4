#include "tests/e2e/reference.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace ref {

const Rgb kColours[16] = {
    {0, 0, 0},       {0, 0, 168},    {0, 168, 0},    {0, 168, 168},
    {168, 0, 0},     {168, 0, 168},  {168, 84, 0},   {168, 168, 168},
    {84, 84, 84},    {84, 84, 252},  {84, 252, 84},  {84, 252, 252},
    {252, 84, 84},   {252, 84, 252}, {252, 252, 84}, {252, 252, 252},
};

std::uint8_t ColourIndex(Rgb c) {
  for (int i = 0; i < 16; ++i)
    if (kColours[i] == c) return std::uint8_t(i);
  return kNotAColour;
}

long RoundHalfEven(long double v) {
  const long double below = std::floor(v);
  const long double rest = v - below;
  long r = long(below);
  if (rest > 0.5L || (rest == 0.5L && (r % 2 != 0))) ++r;
  return r;
}

Point CurvePoint(double alfa, double A, double K, int x0, int y0) {
  // Left to right in extended precision, from the 64-bit values.
  const long double a = alfa;
  const long double s = std::sin(a * (long double)K);
  const long double x = std::cos(a) * (long double)A * s + (long double)x0;
  const long double y = std::sin(a) * (long double)A * s + (long double)y0;
  return {RoundHalfEven(x), RoundHalfEven(y)};
}

std::size_t Picture::Lit() const {
  return std::size_t(std::count_if(pixels.begin(), pixels.end(), [](std::uint8_t c) { return c != 0; }));
}

void DrawLine(Picture& p, Point from, Point to, std::uint8_t colour) {
  const long dx = to.x - from.x, dy = to.y - from.y;
  const bool x_major = std::labs(dx) >= std::labs(dy);
  const long D = x_major ? std::labs(dx) : std::labs(dy);
  const long d = x_major ? std::labs(dy) : std::labs(dx);
  const long step_x = dx < 0 ? -1 : 1, step_y = dy < 0 ? -1 : 1;
  // Only the steps whose major coordinate is on the picture can light anything.
  const long start = x_major ? from.x : from.y, step = x_major ? step_x : step_y;
  const long size = x_major ? p.width : p.height;
  long first = 0, last = D;
  if (step > 0) {
    first = std::max(first, -start);
    last = std::min(last, size - 1 - start);
  } else {
    first = std::max(first, start - (size - 1));
    last = std::min(last, start);
  }
  for (long i = first; i <= last; ++i) {
    const long minor = D == 0 ? 0 : (2 * i * d + D) / (2 * D);  // all terms >= 0: division floors
    const long x = from.x + step_x * (x_major ? i : minor);
    const long y = from.y + step_y * (x_major ? minor : i);
    if (x >= 0 && y >= 0 && x < p.width && y < p.height)
      p.pixels[std::size_t(y) * std::size_t(p.width) + std::size_t(x)] = colour;
  }
}

Rose::Rose(int width, int height)
    : picture_(width, height), x0_((width - 1) / 2), y0_((height - 1) / 2) {}

void Rose::Clear() {
  std::fill(picture_.pixels.begin(), picture_.pixels.end(), std::uint8_t(0));
  at_ = {0, 0};
}

void Rose::Pass(char key) {
  if (key == 'O') throw std::logic_error("End leaves the loop: no pass follows");
  const int drawing = colour_;  // chosen at the start of the pass
  switch (key) {
    case 'H': A_ += 1; break;
    case 'P': A_ -= 1; break;
    case 'I': colour_ -= 1; break;
    case 'Q': colour_ += 1; break;
    case 'K': K_ -= 1; Clear(); break;
    case 'M': K_ += 1; Clear(); break;
    case 'S': Clear(); break;
    default: break;  // 'G' too: its pause is over by the time the segment is drawn
  }
  if (colour_ < 0) colour_ = 15;
  if (colour_ > 15) colour_ = 0;
  alfa_ += 1;
  const Point next = CurvePoint(alfa_, A_, K_, x0_, y0_);
  if (next.x < -32768 || next.x > 32767 || next.y < -32768 || next.y > 32767) throw OutOfRange();
  DrawLine(picture_, at_, next, std::uint8_t(drawing));
  at_ = next;
  ++passes_;
}

}  // namespace ref
