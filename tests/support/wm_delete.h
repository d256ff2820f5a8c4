// A window manager's close button, without a window manager: the WM_DELETE_WINDOW
// message of the X conventions. No command-line tool on the test machine sends it
// (xdotool's windowclose destroys the window instead).
#pragma once

#include <X11/Xlib.h>

inline bool SendWmDelete(Display* d, Window window) {
  XEvent e = {};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(d, window, False, NoEventMask, &e) != 0;
  XSync(d, False);
  return sent;
}
