#include "platform/system.h"

#include <cmath>
#include <string>
#include <string_view>

#include "platform/backend.h"

Extended Sin(Extended x) { return std::sin(x); }
Extended Cos(Extended x) { return std::cos(x); }

Integer Round(Extended x, const char* file, unsigned line) {
  // nearbyint rounds in the current mode, which the program never leaves: to nearest, ties to even
  const Extended r = std::nearbyint(x);
  if (!(r >= -32768.0L && r <= 32767.0L)) RunError(201, file, line);
  return Integer(r);
}

void Halt(Word code) {
  ConsoleRestore();
  WindowClose();
  ProcessExit(code);
}

void RunError(Word code, const char* file, unsigned line) {
  std::string_view name = file;
  name.remove_prefix(name.find_last_of("/\\") + 1);  // npos + 1 == 0: no directory
  const std::string message = "Runtime error " + std::to_string(code) + " at " +
                              std::string(name) + ":" + std::to_string(line) + ".";
  ConsoleRestore();  // the message goes to a terminal in its usual state
  ConsoleWriteLine(message);
  WindowClose();
  ProcessExit(code);
}
