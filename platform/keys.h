// Terminal input bytes to PC key codes: a character is its code page 866 byte; a key
// without one is 0 followed by its scan code (Up: 0, 72).
#pragma once

#include <cstdint>
#include <string>

class KeyDecoder {
 public:
  // Appends to `codes` whatever `byte` completes. Bytes inside an escape
  // sequence produce nothing until it ends; unknown sequences produce nothing at all.
  void Feed(std::uint8_t byte, std::string& codes);

  // True while the bytes so far may still be the start of a longer sequence.
  bool Pending() const { return state_ != State::kGround; }

  // No more bytes came in time: a lone Esc is the Escape key, the rest is dropped.
  void Flush(std::string& codes);

 private:
  enum class State { kGround, kEsc, kEscEsc, kCsi, kCsiBracket, kSs3, kMouse, kUtf8 };

  void Finish(std::string& codes);
  void Utf8(std::string& codes);

  State state_ = State::kGround;
  bool alt_ = false;       // an extra Esc before the sequence
  std::string seq_;        // the sequence after Esc, or a partial UTF-8 character
  bool too_long_ = false;  // seq_ stopped growing; the sequence is unknown
  int mouse_left_ = 0;     // raw bytes still to skip in an X10 mouse report
};
