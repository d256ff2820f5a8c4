// The window on SDL2. One thread of ours owns SDL's video: it opens the window,
// answers its events and presents what the program drew; nothing else calls SDL.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <errno.h>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/backend.h"

namespace {

using Clock = std::chrono::steady_clock;

std::thread window_thread;
std::atomic<bool> stop{false};

// Start-up handshake: the thread reports the window's size, or failure.
std::mutex start_lock;
std::condition_variable started;
bool start_done = false;
Size start_size;

void Report(Size size) {
  std::lock_guard hold(start_lock);
  start_size = size;
  start_done = true;
  started.notify_one();
}

void Fail(const char* why) {
  std::fprintf(stderr, "%s: the graphics window could not be opened (%s); drawing goes on unseen\n",
               program_invocation_short_name, why);
  std::fflush(stderr);
}

class Presenter {
 public:
  Presenter(SDL_Window* window, Size size) : window_(window), frame_(size.width, size.height) {
    Refetch();
  }

  SDL_Window* window() const { return window_; }

  void Closed() {
    SDL_DestroyWindow(window_);
    window_ = nullptr;
  }

  // The window's own pixels changed size or were lost: paint all of them again.
  void Refetch() {
    target_ = window_ ? SDL_GetWindowSurface(window_) : nullptr;
    if (target_)
      for (int i = 0; i < 256; ++i)
        colours_[i] = SDL_MapRGB(target_->format, kPalette[i].r, kPalette[i].g, kPalette[i].b);
    repaint_ = true;
  }
  void Exposed() { repaint_ = true; }

  // Once per display frame.
  void Present() {
    areas_.clear();
    const bool changed = FrameTakeChanged(frame_, areas_);
    if (!target_) return;
    if (repaint_) {
      repaint_ = false;
      SDL_FillRect(target_, nullptr, colours_[0]);
      Convert({0, 0, frame_.width(), frame_.height()});
      SDL_UpdateWindowSurface(window_);
      return;
    }
    if (!changed) return;
    rects_.clear();
    for (const Rect& r : areas_) {
      const Rect c = Convert(r);
      if (c.w > 0 && c.h > 0) rects_.push_back({c.x, c.y, c.w, c.h});
    }
    if (!rects_.empty()) SDL_UpdateWindowSurfaceRects(window_, rects_.data(), int(rects_.size()));
  }

 private:
  // Palette indices of `r` into the window's pixels, cut to the window; returns what was done.
  Rect Convert(Rect r) {
    r.w = std::min(r.w, target_->w - r.x);
    r.h = std::min(r.h, target_->h - r.y);
    if (r.w <= 0 || r.h <= 0) return {};
    if (SDL_MUSTLOCK(target_)) SDL_LockSurface(target_);
    const int bpp = target_->format->BytesPerPixel;
    for (int y = r.y; y < r.y + r.h; ++y) {
      const std::uint8_t* from = frame_.row(y) + r.x;
      auto* to = static_cast<std::uint8_t*>(target_->pixels) + std::size_t(y) * target_->pitch;
      if (bpp == 4) {
        auto* out = reinterpret_cast<Uint32*>(to) + r.x;
        for (int x = 0; x < r.w; ++x) out[x] = colours_[from[x]];
      } else {
        for (int x = 0; x < r.w; ++x) std::memcpy(to + (r.x + x) * bpp, &colours_[from[x]], bpp);
      }
    }
    if (SDL_MUSTLOCK(target_)) SDL_UnlockSurface(target_);
    return r;
  }

  SDL_Window* window_;
  SDL_Surface* target_ = nullptr;
  Surface frame_;  // what the window shows, in palette indices
  Uint32 colours_[256] = {};
  bool repaint_ = true;
  std::vector<Rect> areas_;
  std::vector<SDL_Rect> rects_;
};

SDL_Window* CreateWindow(Size& size) {
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0 && SDL_GetDisplayBounds(0, &usable) != 0)
    return nullptr;
  SDL_Window* window = SDL_CreateWindow(program_invocation_short_name, usable.x, usable.y,
                                        usable.w, usable.h, SDL_WINDOW_SHOWN);
  if (!window) return nullptr;

  // Borders are known only once a window manager has framed the window.
  const auto deadline = Clock::now() + std::chrono::milliseconds(500);
  bool exposed = false;
  while (!exposed && Clock::now() < deadline) {
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, 20) && e.type == SDL_WINDOWEVENT &&
        e.window.event == SDL_WINDOWEVENT_EXPOSED)
      exposed = true;
  }
  size = {usable.w, usable.h};
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0 &&
      (top | left | bottom | right) != 0) {
    size = {usable.w - left - right, usable.h - top - bottom};
    SDL_SetWindowPosition(window, usable.x + left, usable.y + top);
  } else {
    // A manager that does not tell its borders: judge them from where it put the window,
    // taking the right and bottom borders as wide as the left one.
    int x = 0, y = 0;
    SDL_GetWindowPosition(window, &x, &y);
    const int side = std::max(0, x - usable.x);
    if (x + size.width > usable.x + usable.w) size.width = usable.x + usable.w - x - side;
    if (y + size.height > usable.y + usable.h) size.height = usable.y + usable.h - y - side;
  }
  if (size.width < 1 || size.height < 1) size = {usable.w, usable.h};
  if (size.width != usable.w || size.height != usable.h) {
    SDL_SetWindowSize(window, size.width, size.height);
    SDL_SetWindowPosition(window, usable.x, usable.y);  // the frame's corner, for most managers
  }
  return window;
}

void Run() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // Ctrl+C belongs to the terminal
  if (!std::getenv("SDL_VIDEODRIVER")) {
    const bool wayland = std::getenv("WAYLAND_DISPLAY"), x = std::getenv("DISPLAY");
    if (!wayland && !x) {  // SDL would settle for an off-screen driver, or complain itself
      Fail("no display");
      Report({});
      return;
    }
    if (!wayland) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");  // no probe of a Wayland that is not there
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    Fail(SDL_GetError());
    Report({});
    return;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || !std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy")) {
    Fail("no display");
    SDL_Quit();
    Report({});
    return;
  }
  // On X11 this keeps presentation on shared memory instead of a hidden OpenGL texture.
  const bool x11 = !std::strcmp(driver, "x11");
  if (x11) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP, SDL_TEXTINPUT, SDL_TEXTEDITING, SDL_MOUSEMOTION})
    SDL_EventState(type, SDL_IGNORE);  // keys come from the terminal only
  SDL_StopTextInput();

  Size size;
  SDL_Window* window = CreateWindow(size);
  if (window && !SDL_GetWindowSurface(window) && x11) {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1");
    SDL_GetWindowSurface(window);
  }
  if (!window || !SDL_GetWindowSurface(window)) {
    Fail(SDL_GetError());
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
    Report({});
    return;
  }

  Presenter presenter(window, size);
  presenter.Present();  // black, before InitGraph returns
  Report(size);

  SDL_DisplayMode mode;
  const int hz = SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0
                     ? std::min(mode.refresh_rate, 60)
                     : 60;
  const auto period = std::chrono::microseconds(1000000 / hz);
  auto next = Clock::now() + period;

  while (!stop.load()) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
    SDL_Event e;
    for (bool got = SDL_WaitEventTimeout(&e, int(std::max<long long>(wait, 0))); got;
         got = SDL_PollEvent(&e)) {
      if (e.type != SDL_WINDOWEVENT || !presenter.window()) continue;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
          presenter.Exposed();
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          presenter.Refetch();
          break;
        case SDL_WINDOWEVENT_CLOSE:  // the program goes on; so does drawing, unseen
          presenter.Closed();
          presenter.Refetch();
          break;
      }
    }  // SDL_QUIT after the close button is ignored
    const auto now = Clock::now();
    if (now >= next) {
      presenter.Present();
      next += period;
      if (next < now) next = now + period;
    }
  }
  if (presenter.window()) SDL_DestroyWindow(presenter.window());
  SDL_Quit();
}

}  // namespace

Size WindowOpen() {
  if (window_thread.joinable()) return start_size;
  window_thread = std::thread(Run);
  std::atexit(WindowClose);
  std::unique_lock hold(start_lock);
  started.wait(hold, [] { return start_done; });
  return start_size;
}

void WindowClose() {
  if (!window_thread.joinable() || window_thread.get_id() == std::this_thread::get_id()) return;
  stop = true;
  window_thread.join();
}
