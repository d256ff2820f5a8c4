// The soak variant's console: the real program and window, no terminal and no pause,
// so 10^6 passes take seconds instead of hours (the window still presents 60 times a
// second, so each present carries many passes' chords). Resident memory is sampled
// every tenth of the run, once the picture has reached its extent, and written to
// standard output as "soak_rss_kb PASSES KB" lines, then "soak_seconds S".
// ROSE_SOAK_PASSES sets the number of passes.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/backend.h"

namespace {

long RssKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long long passes = -1;  // the instruction screen's Delay comes first
const long long kPasses = [] {
  const char* n = std::getenv("ROSE_SOAK_PASSES");
  return n ? std::atoll(n) : 1000000LL;
}();
std::chrono::steady_clock::time_point start;

}  // namespace

void ConsoleWriteLine(std::string_view) {}

bool ConsoleReadKeys(std::string& codes, bool wait) {
  if (wait) codes += 'x';  // the instruction screen's key
  return true;
}

void ConsoleDelay(unsigned) {
  if (++passes == 0) start = std::chrono::steady_clock::now();
  if (passes > 0 && passes % std::max(1LL, kPasses / 10) == 0)
    std::printf("soak_rss_kb %lld %ld\n", passes, RssKb());
  if (passes < kPasses) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("soak_seconds %.2f\n", seconds);
  WindowClose();
  ProcessExit(0);
}

void ConsoleRestore() {}
