// The picture rose.exe should show, worked out here from first principles, not from
// the program's drawing code: the curve's points at whole radians, one-pixel lines
// between them, and what the command keys do to the drawing loop. It is compared
// with a screenshot, pass after pass, to learn after how many passes they agree.
//
//   rose_win_reference SHOT.ppm [PASS:KEY ...] [--nearest OUT.ppm]
//
// SHOT.ppm is the window's client area (binary PPM). PASS:KEY says that pass PASS
// (1 is the first segment's) read the command letter KEY (H P K M I Q S). Prints the
// number of passes that gives exactly the shot and exits 0; with none, or more than
// one in a row, exits 1 (and writes the nearest picture to OUT.ppm if asked).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

struct Rgb {
  int r, g, b;
};

// The 16 drawing colours, exact.
constexpr Rgb kColours[16] = {
    {0, 0, 0},      {0, 0, 168},    {0, 168, 0},    {0, 168, 168},
    {168, 0, 0},    {168, 0, 168},  {168, 84, 0},   {168, 168, 168},
    {84, 84, 84},   {84, 84, 252},  {84, 252, 84},  {84, 252, 252},
    {252, 84, 84},  {252, 84, 252}, {252, 252, 84}, {252, 252, 252},
};
constexpr int kNotAColour = -1;

int IndexOf(int r, int g, int b) {
  for (int i = 0; i < 16; ++i)
    if (kColours[i].r == r && kColours[i].g == g && kColours[i].b == b) return i;
  return kNotAColour;
}

struct Shot {
  int width = 0, height = 0;
  std::vector<int> pixels;  // colour indices
  long strangers = 0;       // pixels of no drawing colour
};

bool ReadPpm(const char* path, Shot& shot) {
  std::ifstream in(path, std::ios::binary);
  auto field = [&in]() {  // the next header field, past blanks and # comments
    std::string f;
    for (int c; (c = in.get()) != EOF;) {
      if (c == '#' && f.empty())
        while ((c = in.get()) != EOF && c != '\n') {}
      else if (std::isspace(c) && !f.empty())
        break;  // the one blank after the last field is consumed with it
      else if (!std::isspace(c))
        f += char(c);
    }
    return f;
  };
  const std::string magic = field();
  shot.width = std::atoi(field().c_str());
  shot.height = std::atoi(field().c_str());
  const int max = std::atoi(field().c_str());
  if (!in || magic != "P6" || max != 255 || shot.width <= 0 || shot.height <= 0) return false;
  std::vector<unsigned char> rgb(std::size_t(shot.width) * std::size_t(shot.height) * 3);
  if (!in.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size()))) return false;
  shot.pixels.resize(rgb.size() / 3);
  for (std::size_t i = 0; i < shot.pixels.size(); ++i) {
    shot.pixels[i] = IndexOf(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    if (shot.pixels[i] == kNotAColour) ++shot.strangers;
  }
  return true;
}

// The picture drawn so far, and how many of its pixels differ from the shot.
class Picture {
 public:
  explicit Picture(const Shot& shot) : shot_(shot), pixels_(shot.pixels.size(), 0) { Clear(); }

  void Clear() {
    std::fill(pixels_.begin(), pixels_.end(), 0);
    differ_ = 0;
    for (int s : shot_.pixels) differ_ += s != 0;
  }

  void Plot(long x, long y, int colour) {
    if (x < 0 || y < 0 || x >= shot_.width || y >= shot_.height) return;
    const std::size_t i = std::size_t(y) * std::size_t(shot_.width) + std::size_t(x);
    differ_ -= pixels_[i] != shot_.pixels[i];
    pixels_[i] = colour;
    differ_ += pixels_[i] != shot_.pixels[i];
  }

  // Both ends lit. Along the major axis, step i = 0 ... D; along the minor one
  // floor((2*i*d + D) / (2*D)) towards the end, d and D the two distances.
  void Line(long x0, long y0, long x1, long y1, int colour) {
    const long dx = std::labs(x1 - x0), dy = std::labs(y1 - y0);
    const long sx = x1 < x0 ? -1 : 1, sy = y1 < y0 ? -1 : 1;
    const long D = std::max(dx, dy), d = std::min(dx, dy);
    for (long i = 0; i <= D; ++i) {
      const long minor = D == 0 ? 0 : (2 * i * d + D) / (2 * D);
      if (dx >= dy)
        Plot(x0 + sx * i, y0 + sy * minor, colour);
      else
        Plot(x0 + sx * minor, y0 + sy * i, colour);
    }
  }

  long differ() const { return differ_; }

  bool Save(const char* path) const {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << shot_.width << ' ' << shot_.height << "\n255\n";
    for (int p : pixels_) {
      const Rgb c = kColours[p];
      out.put(char(c.r)).put(char(c.g)).put(char(c.b));
    }
    return bool(out);
  }

 private:
  const Shot& shot_;
  std::vector<int> pixels_;
  long differ_ = 0;
};

// To the nearest integer, ties to the even one.
long RoundEven(long double v) {
  const long double low = std::floor(v), frac = v - low;
  long r = long(low);
  if (frac > 0.5L || (frac == 0.5L && r % 2 != 0)) ++r;
  return r;
}

struct Outcome {
  long first_match = 0, last_match = 0;  // the passes that give the shot, in a row
  long best = 0, best_pass = 0;          // or the nearest
  long limit = 0;
};

// Runs the drawing loop on the shot's size, comparing after each pass from
// `last_key` on; stops after pass `save_at` to write that picture to `save_path`.
Outcome Simulate(const Shot& shot, const std::map<long, char>& keys, long last_key,
                 long save_at = 0, const char* save_path = nullptr) {
  Outcome o;
  Picture picture(shot);
  const long x0 = (shot.width - 1) / 2, y0 = (shot.height - 1) / 2;
  double A = 310, K = 5, alfa = 0;
  int colour = 15;
  long at_x = 0, at_y = 0;
  o.best = picture.differ();
  o.limit = last_key + 100000;
  for (long pass = 1; pass <= o.limit; ++pass) {
    const int drawing = colour;  // chosen at the start of the pass
    if (auto k = keys.find(pass); k != keys.end()) {
      switch (k->second) {
        case 'H': A += 1; break;
        case 'P': A -= 1; break;
        case 'I': colour -= 1; break;
        case 'Q': colour += 1; break;
        case 'K': K -= 1; picture.Clear(); at_x = at_y = 0; break;
        case 'M': K += 1; picture.Clear(); at_x = at_y = 0; break;
        case 'S': picture.Clear(); at_x = at_y = 0; break;
      }
    }
    if (colour < 0) colour = 15;
    if (colour > 15) colour = 0;
    alfa += 1;
    const long double a = alfa, size = A, factor = K;
    const long x = RoundEven(std::cos(a) * size * std::sin(a * factor) + x0);
    const long y = RoundEven(std::sin(a) * size * std::sin(a * factor) + y0);
    if (x < -32768 || x > 32767 || y < -32768 || y > 32767) {
      std::cerr << "pass " << pass << " leaves the 16-bit range\n";
      break;
    }
    picture.Line(at_x, at_y, x, y, drawing);
    at_x = x, at_y = y;
    if (pass == save_at) {
      picture.Save(save_path);
      break;
    }
    if (pass < last_key) continue;
    if (picture.differ() == 0) {
      if (!o.first_match) o.first_match = pass;
      o.last_match = pass;
    } else if (o.first_match) {
      break;
    }
    if (picture.differ() < o.best) o.best = picture.differ(), o.best_pass = pass;
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: " << argv[0] << " SHOT.ppm [PASS:KEY ...] [--nearest OUT.ppm]\n";
    return 2;
  }
  Shot shot;
  if (!ReadPpm(argv[1], shot)) {
    std::cerr << argv[1] << ": not a binary PPM picture\n";
    return 2;
  }
  std::map<long, char> keys;
  const char* nearest_out = nullptr;
  long last_key = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--nearest" && i + 1 < argc) {
      nearest_out = argv[++i];
      continue;
    }
    const auto colon = a.find(':');
    if (colon == std::string::npos || colon + 2 != a.size()) {
      std::cerr << a << ": expected PASS:KEY\n";
      return 2;
    }
    const long pass = std::atol(a.c_str());
    keys[pass] = a[colon + 1];
    last_key = std::max(last_key, pass);
  }
  if (shot.strangers > 0) {
    std::cerr << shot.strangers << " pixels of the shot are none of the 16 colours\n";
    return 1;
  }

  Outcome found = Simulate(shot, keys, last_key);
  if (!found.first_match && nearest_out) Simulate(shot, keys, last_key, found.best_pass, nearest_out);
  const long first_match = found.first_match, last_match = found.last_match;
  if (first_match && first_match == last_match) {
    std::cout << first_match << "\n";
    return 0;
  }
  if (first_match)
    std::cerr << "passes " << first_match << " to " << last_match << " all give the shot\n";
  else
    std::cerr << "no pass up to " << found.limit << " gives the shot; nearest: pass "
              << found.best_pass << ", " << found.best << " pixels differ\n";
  return 1;
}
