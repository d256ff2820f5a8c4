#include "platform/backend.h"
#include "tests/support/fakes.h"

namespace fake {
Console& ResetConsole();
namespace {
Size window_size;
int closes = 0;
}  // namespace

Console& Reset(Size window) {
  window_size = window;
  closes = 0;
  return ResetConsole();
}

int WindowCloses() { return closes; }

}  // namespace fake

Size WindowOpen() { return fake::window_size; }
void WindowClose() { ++fake::closes; }
