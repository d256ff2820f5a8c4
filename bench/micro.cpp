// Costs of the drawing thread's work: a line (clipped or not) and the window's
// per-frame take of what changed. The window here is memory of a chosen size.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "platform/backend.h"
#include "platform/graph.h"
#include "platform/surface.h"

namespace {

Size window_size{640, 480};

void Open(Size size) {
  window_size = size;
  Integer driver = Detect, mode = 0;
  InitGraph(driver, mode, "");
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

struct Chord {
  int x0, y0, x1, y1;
};
// Across the rose at 640x480: its points for angles 3 and 2.
constexpr Chord kTypical{119, 267, 389, 86};
// The same slope through the top-left corner, both ends near the 16-bit limits: what
// the surface shows of it is exactly kVisible.
constexpr Chord kFar{-32670, 22082, 32670, -21720};
constexpr Chord kVisible{0, 181, 270, 0};
constexpr Chord kChords[] = {kTypical, kFar, kVisible};
const char* const kChordNames[] = {"typical", "far", "visible"};

// Surface::Line alone.
void BM_SurfaceLine(benchmark::State& state) {
  const Chord c = kChords[state.range(0)];
  Surface s(640, 480);
  for (auto _ : state) {
    s.Line(c.x0, c.y0, c.x1, c.y1, 15);
    benchmark::ClobberMemory();
  }
  state.SetLabel(kChordNames[state.range(0)]);
}
BENCHMARK(BM_SurfaceLine)->DenseRange(0, 2);

// LineTo as the program calls it, lock included; there and back, reported per chord.
void BM_LineTo(benchmark::State& state) {
  const Chord c = kChords[state.range(0)];
  Open({640, 480});
  LineTo(Integer(c.x0), Integer(c.y0));
  for (auto _ : state) {
    LineTo(Integer(c.x1), Integer(c.y1));
    LineTo(Integer(c.x0), Integer(c.y0));
  }
  state.SetItemsProcessed(2 * state.iterations());
  state.SetLabel(kChordNames[state.range(0)]);
}
BENCHMARK(BM_LineTo)->DenseRange(0, 2);

// The rose's own points on a surface of the given size, as PAINT computes them.
std::vector<Chord> RoseChords(Size size, int n) {
  std::vector<Chord> chords;
  const int cx = (size.width - 1) / 2, cy = (size.height - 1) / 2;
  int x = 0, y = 0;
  for (int i = 1; i <= n; ++i) {
    const double a = i, r = 310 * std::sin(a * 5);
    const int nx = int(std::lround(std::cos(a) * r + cx));
    const int ny = int(std::lround(std::sin(a) * r + cy));
    chords.push_back({x, y, nx, ny});
    x = nx, y = ny;
  }
  return chords;
}

// The rose's own chords, one after another, at each size: the same pixels drawn, on
// surfaces of different widths (the rose is cut at 640x480).
void BM_RoseChord(benchmark::State& state) {
  const Size size{int(state.range(0)), int(state.range(1))};
  Open(size);
  const std::vector<Chord> chords = RoseChords(size, 3000);
  std::size_t next = 0;
  for (auto _ : state) {
    LineTo(Integer(chords[next].x1), Integer(chords[next].y1));
    next = (next + 1) % chords.size();
  }
}
BENCHMARK(BM_RoseChord)->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160});

// One display frame's take while drawing: about 100/60 chords changed since the last.
// Only the take is timed.
void BM_FrameTakeChanged(benchmark::State& state) {
  const Size size{int(state.range(0)), int(state.range(1))};
  Open(size);
  const std::vector<Chord> chords = RoseChords(size, 3000);
  Surface frame(size.width, size.height);
  std::vector<Rect> areas;
  std::size_t next = 0;
  long frames = 0;
  for (auto _ : state) {
    const int n = ++frames % 3 == 0 ? 1 : 2;  // 5 chords per 3 frames
    for (int i = 0; i < n; ++i, next = (next + 1) % chords.size())
      LineTo(Integer(chords[next].x1), Integer(chords[next].y1));
    areas.clear();
    const auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(FrameTakeChanged(frame, areas));
    state.SetIterationTime(Seconds(std::chrono::steady_clock::now() - t0));
  }
}
BENCHMARK(BM_FrameTakeChanged)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->UseManualTime();

// A clear after the rose has grown for 5 s: ClearViewPort in the drawing thread, then
// the window's take of it. Both timed; they should cost what was drawn, not the surface.
void BM_ClearAndTake(benchmark::State& state) {
  const Size size{int(state.range(0)), int(state.range(1))};
  Open(size);
  const std::vector<Chord> chords = RoseChords(size, 500);
  Surface frame(size.width, size.height);
  std::vector<Rect> areas;
  for (auto _ : state) {
    for (const Chord& c : chords) LineTo(Integer(c.x1), Integer(c.y1));
    areas.clear();
    FrameTakeChanged(frame, areas);
    const auto t0 = std::chrono::steady_clock::now();
    ClearViewPort();
    areas.clear();
    benchmark::DoNotOptimize(FrameTakeChanged(frame, areas));
    state.SetIterationTime(Seconds(std::chrono::steady_clock::now() - t0));
  }
}
BENCHMARK(BM_ClearAndTake)->Args({1920, 1080})->Args({3840, 2160})->UseManualTime();

}  // namespace

// The memory window: only a size.
Size WindowOpen() { return window_size; }
void WindowClose() {}

BENCHMARK_MAIN();
