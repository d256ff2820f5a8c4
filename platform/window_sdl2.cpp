// The window on SDL2. One thread of ours owns SDL's video: it opens the window,
// answers its events and presents what the program drew; nothing else calls SDL.
#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>
#include <unistd.h>

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

// The thread's end, or its parking when the display is lost: what WindowClose waits for.
std::mutex end_lock;
std::condition_variable ended;
bool run_over = false, display_lost = false;

void Over(bool& what) {
  std::lock_guard hold(end_lock);
  what = true;
  ended.notify_all();
}

// ---- Xlib's verdicts -------------------------------------------------------------
// Xlib ends the process on any protocol error that no one handles, and SDL leaves
// some unhandled: its wake-up message to a window the server has just destroyed,
// reported when SDL_Quit closes its second connection (measured: a close request
// after a resize, a third of the runs). None is worth the drawing, and neither is
// the display itself: when it is lost, drawing goes on unseen.

int IgnoreXError(void*, void*) { return 0; }

int OnDisplayLost(void*) {
  std::fprintf(stderr, "%s: the connection to the display was lost; drawing goes on unseen\n",
               program_invocation_short_name);
  std::fflush(stderr);
  Over(display_lost);
  for (;;) pause();  // Xlib ends the process when this returns; nothing is left to do here
}

// Before SDL starts: SDL keeps the handler it finds and puts it back in SDL_Quit.
// libX11 is the one SDL loads for itself; loaded here, without a link of our own, and
// kept, so the handlers stay with it.
void KeepXlibFromEndingUs() {
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY);
  if (!xlib) return;
  using ErrorHandler = int (*)(void*, void*);
  using IOErrorHandler = int (*)(void*);
  using SetErrorHandler = ErrorHandler (*)(ErrorHandler);
  using SetIOErrorHandler = IOErrorHandler (*)(IOErrorHandler);
  if (auto set = reinterpret_cast<SetErrorHandler>(dlsym(xlib, "XSetErrorHandler")))
    set(IgnoreXError);
  if (auto set = reinterpret_cast<SetIOErrorHandler>(dlsym(xlib, "XSetIOErrorHandler")))
    set(OnDisplayLost);
}

class Presenter {
 public:
  // `black`: the server paints the window black by itself (see ServerPaintsBlack).
  Presenter(SDL_Window* window, Size size, bool black)
      : window_(window), frame_(size.width, size.height), black_(black),
        across_((size.width + Surface::kTile - 1) / Surface::kTile),
        shown_(std::size_t(across_) * ((size.height + Surface::kTile - 1) / Surface::kTile),
               black ? kShowsBlack : kUnknown) {
    Refetch();
    repaint_ = !black;  // when the server painted it, the window shows what frame_ holds
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
    rects_.clear();
    if (repaint_) {
      repaint_ = false;
      if (!black_) {
        // Black only where the picture does not reach: every page written costs.
        const int w = frame_.width(), h = frame_.height();
        const SDL_Rect right{w, 0, std::max(0, target_->w - w), target_->h};
        const SDL_Rect below{0, h, target_->w, std::max(0, target_->h - h)};
        if (right.w > 0) SDL_FillRect(target_, &right, colours_[0]);
        if (below.h > 0) SDL_FillRect(target_, &below, colours_[0]);
        Convert({0, 0, frame_.width(), frame_.height()});
        SDL_UpdateWindowSurface(window_);
        for (std::size_t i = 0; i < shown_.size(); ++i)
          shown_[i] = ShowsBlack(int(i % across_), int(i / across_)) ? kShowsBlack : kUnknown;
        return;
      }
      // What was lost the server painted black: black tiles are still right.
      for (auto& s : shown_)
        if (s != kShowsBlack) s = kUnknown;
      areas_.clear();
      for (int y = 0; y < frame_.height(); y += Surface::kTile)
        areas_.push_back({0, y, frame_.width(), std::min(Surface::kTile, frame_.height() - y)});
    } else if (!changed) {
      return;
    }
    for (const Rect& r : areas_) Update(r);
    if (!rects_.empty()) SDL_UpdateWindowSurfaceRects(window_, rects_.data(), int(rects_.size()));
  }

 private:
  // What the window shows in a tile, as far as known.
  static constexpr std::uint8_t kUnknown = 0, kShowsBlack = 1;

  // The tile of frame_ is black all over, known without looking at its pixels.
  bool ShowsBlack(int tx, int ty) const {
    return frame_.Plain(tx, ty) && colours_[frame_.fill()] == colours_[0];
  }

  // Converts and lists the tiles of `r`, one row of tiles, that the window does not
  // show already: a tile of black where it shows black needs nothing.
  void Update(const Rect& r) {
    const int ty = r.y / Surface::kTile;
    int from = -1;  // first tile of the run to send
    auto send = [&](int end) {
      const int x = from * Surface::kTile;
      const Rect c = Convert({x, r.y, std::min(end * Surface::kTile, r.x + r.w) - x, r.h});
      if (c.w > 0 && c.h > 0) rects_.push_back({c.x, c.y, c.w, c.h});
      from = -1;
    };
    const int first = r.x / Surface::kTile, end = (r.x + r.w + Surface::kTile - 1) / Surface::kTile;
    for (int tx = first; tx < end; ++tx) {
      const bool black = ShowsBlack(tx, ty);
      std::uint8_t& shown = shown_[std::size_t(ty) * across_ + tx];
      if (black && shown == kShowsBlack) {
        if (from >= 0) send(tx);
        continue;
      }
      shown = black ? kShowsBlack : kUnknown;
      if (from < 0) from = tx;
    }
    if (from >= 0) send(end);
  }

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
  const bool black_;
  const int across_;
  std::vector<std::uint8_t> shown_;  // per tile of frame_: kShowsBlack, or kUnknown
  Uint32 colours_[256] = {};
  bool repaint_ = true;
  std::vector<Rect> areas_;
  std::vector<SDL_Rect> rects_;
};

// On X11 the server paints the window black by itself, when it is mapped and whenever
// it is uncovered, so showing it black costs none of our pixels: painting them is 33 MB
// written and sent at 3840x2160, half a second before the help text (measured). False
// where the server cannot, or Xlib is not at hand; the window must then be painted.
bool ServerPaintsBlack(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);  // the one SDL loaded
  if (!xlib) return false;
  using SetBackground = int (*)(Display*, ::Window, unsigned long);
  const auto set = reinterpret_cast<SetBackground>(dlsym(xlib, "XSetWindowBackground"));
  Display* display = info.info.x11.display;
  if (set) set(display, info.info.x11.window, BlackPixel(display, DefaultScreen(display)));
  dlclose(xlib);
  return set != nullptr;
}

SDL_Window* CreateWindow(Size& size, bool& black) {
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0 && SDL_GetDisplayBounds(0, &usable) != 0)
    return nullptr;
  SDL_Window* window = SDL_CreateWindow(program_invocation_short_name, usable.x, usable.y,
                                        usable.w, usable.h, SDL_WINDOW_HIDDEN);
  if (!window) return nullptr;
  black = ServerPaintsBlack(window);  // before it is mapped, so that the map paints it
  SDL_ShowWindow(window);

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
  if (std::getenv("DISPLAY")) KeepXlibFromEndingUs();
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
  bool black = false;
  SDL_Window* window = CreateWindow(size, black);
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

  Presenter presenter(window, size, black);
  presenter.Present();  // black before InitGraph returns, unless the server painted it so
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
  window_thread = std::thread([] {
    Run();
    Over(run_over);
  });
  std::atexit(WindowClose);
  std::unique_lock hold(start_lock);
  started.wait(hold, [] { return start_done; });
  return start_size;
}

void WindowClose() {
  if (!window_thread.joinable()) return;
  if (window_thread.get_id() == std::this_thread::get_id()) {
    window_thread.detach();  // exit called from inside SDL: a joinable thread would abort it
    return;
  }
  stop = true;
  std::unique_lock hold(end_lock);
  ended.wait(hold, [] { return run_over || display_lost; });
  if (run_over)
    window_thread.join();
  else
    window_thread.detach();  // parked for good inside Xlib
}
