// What the exit-path tests do to the program's window from outside, on $DISPLAY:
//   xwin find NAME MS     waits up to MS ms for a viewable top-level window NAME, prints its id
//   xwin lit ID           prints how many of its pixels are not black
//   xwin resize ID W H    asks for a new size, as a window manager would
//   xwin close ID         sends what a close button sends (WM_DELETE_WINDOW)
//   xwin gone ID MS       waits up to MS ms for the window to be destroyed
// Exit status 0 on success, 1 when the window is not (or no longer) there.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tests/support/wm_delete.h"

namespace {

using Clock = std::chrono::steady_clock;

bool x_error = false;
int OnError(Display*, XErrorEvent*) {  // a window that went away is an answer, not a crash
  x_error = true;
  return 0;
}

bool Viewable(Display* d, Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(d, w, &a) && !x_error && a.map_state == IsViewable;
}

Window Find(Display* d, const char* name) {
  Window root_back, parent, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root_back, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    char* title = nullptr;
    x_error = false;
    if (XFetchName(d, children[i], &title) && title) {
      if (!std::strcmp(title, name) && Viewable(d, children[i])) found = children[i];
      XFree(title);
    }
  }
  if (children) XFree(children);
  return found;
}

bool Exists(Display* d, Window w) {
  XWindowAttributes a;
  x_error = false;
  return XGetWindowAttributes(d, w, &a) && !x_error;
}

long Lit(Display* d, Window w) {
  XWindowAttributes a;
  x_error = false;
  if (!XGetWindowAttributes(d, w, &a) || x_error) return -1;
  XImage* img = XGetImage(d, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  XSync(d, False);
  if (!img || x_error) return -1;
  long lit = 0;
  for (int y = 0; y < img->height; ++y)
    for (int x = 0; x < img->width; ++x)
      if (XGetPixel(img, x, y) & 0xFFFFFFu) ++lit;
  XDestroyImage(img);
  return lit;
}

bool WaitUntil(long ms, auto done) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (done()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int Usage() {
  std::fputs("usage: xwin find NAME MS | lit ID | resize ID W H | close ID | gone ID MS\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string verb = argv[1];
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::fputs("xwin: no X display\n", stderr);
    return 2;
  }
  XSetErrorHandler(OnError);
  int status = 0;
  if (verb == "find" && argc == 4) {
    Window w = 0;
    WaitUntil(std::atol(argv[3]), [&] { return (w = Find(d, argv[2])) != 0; });
    if (w)
      std::printf("0x%lx\n", w);
    else
      status = 1;
  } else {
    const Window w = Window(std::strtoul(argv[2], nullptr, 0));
    if (verb == "lit" && argc == 3) {
      const long lit = Lit(d, w);
      if (lit >= 0)
        std::printf("%ld\n", lit);
      else
        status = 1;
    } else if (verb == "resize" && argc == 5) {
      x_error = false;
      XResizeWindow(d, w, unsigned(std::atoi(argv[3])), unsigned(std::atoi(argv[4])));
      XSync(d, False);
      status = x_error ? 1 : 0;
    } else if (verb == "close" && argc == 3) {
      x_error = false;
      SendWmDelete(d, w);
      status = x_error ? 1 : 0;
    } else if (verb == "gone" && argc == 4) {
      status = WaitUntil(std::atol(argv[3]), [&] { return !Exists(d, w); }) ? 0 : 1;
    } else {
      status = Usage();
    }
  }
  XCloseDisplay(d);
  return status;
}
