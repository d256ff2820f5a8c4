// Counters the preloaded shim keeps in a file the driver maps too.
#pragma once

#include <atomic>
#include <cstdint>

struct BenchCounts {
  std::atomic<std::uint64_t> passes;    // ConsoleDelay's absolute sleeps: one per pass
  std::atomic<std::uint64_t> presents;  // SDL_UpdateWindowSurface(Rects) calls
  std::atomic<std::uint64_t> pixels;    // pixels those presents sent
  std::atomic<std::uint64_t> late_ns;   // how far past their deadlines those sleeps woke
};
static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
