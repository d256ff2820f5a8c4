// One run of the program as a user has it, and the reference following its picture.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/e2e/reference.h"

namespace e2e {

// Its own X server (or none), the terminal it runs in, and its window; the help
// screen is up when the constructor returns.
struct Rig {
  Rig(int width, int height);
  explicit Rig(std::nullptr_t);  // no X server at all

  WorkDir dir;
  std::optional<XServer> x;
  std::optional<Terminal> term;
  std::optional<Window> window;
};

// The ten lines of help alone, from the top of the terminal.
extern const char* const kHelp[10];
::testing::AssertionResult ShowsHelpOnly(const Terminal& term);

// `stty -g` the same before the program and after it.
::testing::AssertionResult TerminalRestored(const Terminal& term);

// Types keys and checks each still picture against the reference, which it keeps in
// step with the program: the program is either waiting for a key (the help screen,
// a pause) or drawing. Only the number of passes drawn between two keys is unknown,
// and each picture taken in a pause settles it.
class Follower {
 public:
  explicit Follower(Rig& rig);

  // One burst of keys while the program waits for a key: the first key ends the wait,
  // the rest are read one per pass, as they all arrive together. With `others_unknown`
  // the keys after the first are ones that name no command and make an unknown number
  // of codes. A burst ending in a pause leaves the program paused again.
  void Send(const std::vector<std::string>& keys, bool others_unknown = false);
  // While drawing: waits until the picture has grown by a good number of pixels.
  ::testing::AssertionResult DrawsOn();
  // While drawing: the key that pauses (Home or G).
  void Pause(const std::string& key);
  // In a pause: the picture on screen is the reference's after some number of passes.
  // If the last burst held a command, the same passes without it must not match.
  ::testing::AssertionResult Matches(const std::string& what);

  bool paused() const { return state_ == State::kPaused; }
  const ref::Rose& reference() const { return model_; }
  const Image& last() const { return last_; }

 private:
  enum class State { kWaiting, kPaused, kDrawing, kEnded };

  Rig& rig_;
  State state_ = State::kWaiting;  // the help screen
  ref::Rose model_;
  std::optional<ref::Rose> without_command_;
  long min_extra_ = 0;                // keyless passes before the pause, at least
  std::optional<long> exact_extra_;   // when known
  Clock::time_point since_;           // the last key that set it going
  Image last_;
};

}  // namespace e2e
