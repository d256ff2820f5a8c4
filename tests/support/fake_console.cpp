#include <algorithm>

#include "platform/backend.h"
#include "tests/support/fakes.h"

namespace fake {
namespace {
Console console;
std::size_t next_typing = 0;
}  // namespace

Console& TheConsole() { return console; }

Console& ResetConsole() {
  console = Console{};
  next_typing = 0;
  return console;
}

}  // namespace fake

using fake::console;
using fake::next_typing;

void ConsoleWriteLine(std::string_view cp866) {
  console.lines.emplace_back(cp866);
  console.restores_before_line.push_back(console.restores);
}

bool ConsoleReadKeys(std::string& codes, bool wait) {
  // Delay calls so far: one on the instruction screen, then one per pass.
  const int pass = int(console.delays.size()) - 1;
  const auto& script = console.script;
  const std::size_t before = codes.size();
  while (next_typing < script.size() && script[next_typing].pass <= pass)
    codes += script[next_typing++].codes;
  if (wait && codes.size() == before) {
    if (next_typing < script.size()) {
      codes += script[next_typing++].codes;  // time passes until the user types
    } else if (console.input_ends) {
      return false;
    } else {
      throw fake::ScriptEnd{};
    }
  }
  return true;
}

void ConsoleDelay(unsigned ms) {
  const int pass = int(console.delays.size());
  console.lines_at_delay.push_back(console.lines.size());
  if (console.on_delay) console.on_delay(pass);
  if (pass > console.max_passes) throw fake::ScriptEnd{};
  console.delays.push_back(ms);
  console.now_ms += ms;
}

void ConsoleRestore() { ++console.restores; }
