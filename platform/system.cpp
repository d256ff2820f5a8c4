#include "platform/system.h"

#include <cmath>
#include <string>
#include <string_view>

#include "platform/backend.h"

Extended Sin(Extended x) { return std::sin(x); }
Extended Cos(Extended x) { return std::cos(x); }

Integer Round(Extended x, std::source_location where) {
  // nearbyint rounds in the current mode, which the program never leaves: to nearest, ties to even
  const Extended r = std::nearbyint(x);
  if (!(r >= -32768.0L && r <= 32767.0L)) RunError(201, where);
  return Integer(r);
}

void Halt(Word code) {
  ConsoleRestore();
  WindowClose();
  ProcessExit(code);
}

void RunError(Word code, std::source_location where) {
  std::string_view file = where.file_name();
  file.remove_prefix(file.find_last_of("/\\") + 1);  // npos + 1 == 0: no directory
  const std::string message = "Runtime error " + std::to_string(code) + " at " +
                              std::string(file) + ":" + std::to_string(where.line()) + ".";
  ConsoleRestore();  // the message goes to a terminal in its usual state
  ConsoleWriteLine(message);
  WindowClose();
  ProcessExit(code);
}
