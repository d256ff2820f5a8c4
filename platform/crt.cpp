#include "platform/crt.h"

#include <cstdio>
#include <string>

#include "platform/backend.h"

namespace {

// Codes read from the console; those before `taken` are gone to ReadKey.
std::string waiting;
std::size_t taken = 0;

bool NoneWaiting() { return taken == waiting.size(); }

[[noreturn]] void InputEnded() {
  ConsoleRestore();
  std::fputs("Input ended while the program was waiting for a key.\n", stderr);
  std::fflush(stderr);
  WindowClose();
  ProcessExit(1);
}

// Asks the console for more once everything read so far is taken.
void Refill(bool wait) {
  if (!NoneWaiting()) return;
  waiting.clear();
  taken = 0;
  do {
    if (!ConsoleReadKeys(waiting, wait) && wait) InputEnded();
  } while (wait && NoneWaiting());
}

}  // namespace

void WriteLn(const ShortString& S) { ConsoleWriteLine(S.view()); }

void Delay(Word MS) { ConsoleDelay(MS); }

bool KeyPressed() {
  Refill(false);
  return !NoneWaiting();
}

char ReadKey() {
  Refill(true);
  return waiting[taken++];
}
