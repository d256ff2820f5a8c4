// Preloaded into rose (LD_PRELOAD) to count passes and presents exactly, at the cost
// of one atomic add each. The counters live in the file named by ROSE_BENCH_COUNTS.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "bench/counts.h"

namespace {

BenchCounts* Counts() {
  static BenchCounts* counts = [] () -> BenchCounts* {
    const char* path = std::getenv("ROSE_BENCH_COUNTS");
    if (!path) return nullptr;
    const int fd = open(path, O_RDWR);
    if (fd < 0) return nullptr;
    void* p = mmap(nullptr, sizeof(BenchCounts), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return p == MAP_FAILED ? nullptr : static_cast<BenchCounts*>(p);
  }();
  return counts;
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

void Count(std::atomic<std::uint64_t> BenchCounts::*which, std::uint64_t n = 1) {
  if (BenchCounts* c = Counts()) (c->*which).fetch_add(n, std::memory_order_relaxed);
}

}  // namespace

extern "C" int clock_nanosleep(clockid_t clock, int flags, const timespec* until, timespec* rest) {
  using Sleep = int (*)(clockid_t, int, const timespec*, timespec*);
  static const auto next = Next<Sleep>("clock_nanosleep");
  // A pass sleeps to an absolute deadline; a retry after a signal keeps the same one.
  thread_local timespec last = {};
  if (clock != CLOCK_MONOTONIC || !(flags & TIMER_ABSTIME) || !until)
    return next(clock, flags, until, rest);
  if (until->tv_sec != last.tv_sec || until->tv_nsec != last.tv_nsec) {
    last = *until;
    Count(&BenchCounts::passes);
  }
  const int result = next(clock, flags, until, rest);
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long long late =
      (now.tv_sec - until->tv_sec) * 1000000000LL + (now.tv_nsec - until->tv_nsec);
  if (result == 0 && late > 0) Count(&BenchCounts::late_ns, std::uint64_t(late));
  return result;
}

extern "C" int SDL_UpdateWindowSurface(SDL_Window* window) {
  static const auto next = Next<int (*)(SDL_Window*)>("SDL_UpdateWindowSurface");
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  Count(&BenchCounts::presents);
  Count(&BenchCounts::pixels, std::uint64_t(w) * std::uint64_t(h));
  return next(window);
}

extern "C" int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int n) {
  static const auto next =
      Next<int (*)(SDL_Window*, const SDL_Rect*, int)>("SDL_UpdateWindowSurfaceRects");
  std::uint64_t area = 0;
  for (int i = 0; i < n; ++i) area += std::uint64_t(rects[i].w) * std::uint64_t(rects[i].h);
  Count(&BenchCounts::presents);
  Count(&BenchCounts::pixels, area);
  return next(window, rects, n);
}
