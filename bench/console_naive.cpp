// The naive variant's console: the real POSIX one (compiled with its ConsoleDelay
// renamed), with the whole-surface present in front of every pass's pause.
#include "bench/naive.h"
#include "platform/backend.h"

void PosixConsoleDelay(unsigned ms);

void ConsoleDelay(unsigned ms) {
  NaivePresent();
  PosixConsoleDelay(ms);
}
