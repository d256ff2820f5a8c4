#include "platform/graph.h"

#include <mutex>

#include "platform/backend.h"

namespace {

// The window's thread reads the surface while the program draws into it.
std::mutex surface_lock;
Surface surface;

// Drawing state; only the program's thread touches it.
Integer current_x = 0, current_y = 0;
Word color = 15;

constexpr Size kUnseenSize{640, 480};  // no display: a VGA-sized surface no one sees

}  // namespace

bool FrameTakeChanged(Surface& frame, std::vector<Rect>& areas) {
  std::lock_guard hold(surface_lock);
  if (frame.width() != surface.width() || frame.height() != surface.height()) return false;
  return surface.TakeChanged(frame, areas);
}

void InitGraph(Integer& GraphDriver, Integer& GraphMode, std::string_view) {
  Size size = WindowOpen();
  if (size.width <= 0 || size.height <= 0) size = kUnseenSize;
  {
    std::lock_guard hold(surface_lock);
    surface = Surface(size.width, size.height);  // black, like the window it stands for
  }
  current_x = current_y = 0;
  color = 15;
  GraphDriver = D8bit;
  GraphMode = mDesktop;
}

Integer GetMaxX() { return Integer(surface.width() - 1); }
Integer GetMaxY() { return Integer(surface.height() - 1); }
Integer GetX() { return current_x; }
Integer GetY() { return current_y; }
void SetColor(Word Color) { color = Color; }
Word GetColor() { return color; }

Word GetPixel(Integer X, Integer Y) {
  std::lock_guard hold(surface_lock);
  if (X < 0 || Y < 0 || X >= surface.width() || Y >= surface.height()) return 0;
  return surface.at(X, Y);
}

void LineTo(Integer X, Integer Y) {
  {
    std::lock_guard hold(surface_lock);
    surface.Line(current_x, current_y, X, Y, std::uint8_t(color));
  }
  current_x = X;
  current_y = Y;
}

void ClearViewPort() {
  {
    std::lock_guard hold(surface_lock);
    surface.Fill(0);
  }
  current_x = current_y = 0;
}
