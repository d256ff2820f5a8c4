#include <string>

#include "tests/support/wm_delete.h"

namespace e2e {

bool SendWmDelete(const std::string& display, unsigned long window) {
  ::Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  const bool sent = ::SendWmDelete(d, Window(window));
  XCloseDisplay(d);
  return sent;
}

}  // namespace e2e
