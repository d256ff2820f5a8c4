// Test doubles linked in place of the native backends: a scripted console with a
// virtual clock, a window that is only memory, and an exit that throws.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace fake {

// Thrown by ProcessExit instead of ending the test.
struct Exit {
  int status;
};
// Thrown when the script has nothing more to give: the run under test is over.
struct ScriptEnd {};

struct Typing {
  int pass;           // available from this pass's KeyPressed on (0: the instruction screen)
  std::string codes;  // key codes as ReadKey returns them
};

struct Console {
  std::vector<Typing> script;
  bool input_ends = false;  // after the script, input ends instead of the run stopping
  int max_passes = 1000;    // the Delay of pass max_passes + 1 ends the run
  std::function<void(int pass)> on_delay;  // before each Delay; pass 0 is the instruction screen

  // What the program did.
  std::vector<std::string> lines;  // code page 866 bytes
  std::vector<int> restores_before_line;
  std::vector<unsigned> delays;    // ms
  std::vector<std::size_t> lines_at_delay;  // lines written before each Delay
  long now_ms = 0;                 // the virtual clock
  int restores = 0;
};

// Fresh console and window for one run; `window` {0, 0} means no display.
Console& Reset(Size window = {640, 480});
Console& TheConsole();
int WindowCloses();

}  // namespace fake
