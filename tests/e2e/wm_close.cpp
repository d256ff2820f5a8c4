// A window manager's close button, without a window manager: the WM_DELETE_WINDOW
// message of the X conventions. No command-line tool on the test machine sends it
// (xdotool's windowclose destroys the window instead).
#include <X11/Xlib.h>

#include <string>

namespace e2e {

bool SendWmDelete(const std::string& display, unsigned long window) {
  ::Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  XEvent e = {};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(d, window, False, NoEventMask, &e) != 0;
  XSync(d, False);
  XCloseDisplay(d);
  return sent;
}

}  // namespace e2e
