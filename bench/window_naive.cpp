// The naive window, for comparison only: no thread of its own. Every pass the drawing
// thread converts the whole surface and sends all of it (see console_naive.cpp).
// Same SDL path as the real backend (window surface, shared memory on X11), so the
// difference measured is the presenting strategy alone.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <errno.h>
#include <vector>

#include "bench/naive.h"
#include "platform/backend.h"

namespace {

SDL_Window* window = nullptr;
SDL_Surface* target = nullptr;
Surface frame;
std::vector<Rect> areas;
Uint32 colours[256];

void Refetch() {
  target = SDL_GetWindowSurface(window);
  if (target)
    for (int i = 0; i < 256; ++i)
      colours[i] = SDL_MapRGB(target->format, kPalette[i].r, kPalette[i].g, kPalette[i].b);
}

Size Fail(const char* why) {
  std::fprintf(stderr, "%s: no naive window (%s)\n", program_invocation_short_name, why);
  if (window) SDL_DestroyWindow(window);
  window = nullptr;
  SDL_Quit();
  return {};
}

}  // namespace

Size WindowOpen() {
  if (window) return {frame.width(), frame.height()};
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return Fail(SDL_GetError());
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || !std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy"))
    return Fail("no display");
  if (!std::strcmp(driver, "x11")) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP, SDL_TEXTINPUT, SDL_TEXTEDITING, SDL_MOUSEMOTION})
    SDL_EventState(type, SDL_IGNORE);
  SDL_StopTextInput();

  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return Fail(SDL_GetError());
  window = SDL_CreateWindow(program_invocation_short_name, usable.x, usable.y, usable.w, usable.h,
                            SDL_WINDOW_SHOWN);
  if (!window) return Fail(SDL_GetError());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  for (SDL_Event e; std::chrono::steady_clock::now() < deadline;)
    if (SDL_WaitEventTimeout(&e, 20) && e.type == SDL_WINDOWEVENT &&
        e.window.event == SDL_WINDOWEVENT_EXPOSED)
      break;
  Refetch();
  if (!target) return Fail(SDL_GetError());
  Size size;
  SDL_GetWindowSize(window, &size.width, &size.height);
  frame = Surface(size.width, size.height);
  std::atexit(WindowClose);
  NaivePresent();
  return size;
}

void NaivePresent() {
  if (!window) return;
  for (SDL_Event e; SDL_PollEvent(&e);)
    if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) Refetch();
  areas.clear();
  FrameTakeChanged(frame, areas);  // brings `frame` up to date with the picture
  if (!target) return;
  const int w = std::min(frame.width(), target->w), h = std::min(frame.height(), target->h);
  const int bpp = target->format->BytesPerPixel;
  if (SDL_MUSTLOCK(target)) SDL_LockSurface(target);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* from = frame.row(y);
    auto* to = static_cast<std::uint8_t*>(target->pixels) + std::size_t(y) * target->pitch;
    if (bpp == 4) {
      auto* out = reinterpret_cast<Uint32*>(to);
      for (int x = 0; x < w; ++x) out[x] = colours[from[x]];
    } else {
      for (int x = 0; x < w; ++x) std::memcpy(to + x * bpp, &colours[from[x]], std::size_t(bpp));
    }
  }
  if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
  SDL_UpdateWindowSurface(window);
}

void WindowClose() {
  if (!window) return;
  SDL_DestroyWindow(window);
  window = nullptr;
  SDL_Quit();
}
