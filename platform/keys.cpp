#include "platform/keys.h"

#include <charconv>
#include <string_view>

#include "platform/cp866.h"
#include "platform/pc_keys.h"

namespace {

using namespace pc;

enum Mod : int { kShift = 1, kAlt = 2, kCtrl = 4, kMeta = 8 };

struct Sequence {
  std::string_view bytes;  // after Esc, modifier parameter removed
  KeyCodes key;
  int mods = 0;  // implied by the sequence itself
};

// What xterm, VTE, tmux, screen, rxvt/urxvt and the Linux console send.
constexpr Sequence kSequences[] = {
    {"[A", kUp}, {"[B", kDown}, {"[C", kRight}, {"[D", kLeft},
    {"[H", kHome}, {"[F", kEnd}, {"[E", kCentre}, {"[G", kCentre},
    {"[P", F(1)}, {"[Q", F(2)}, {"[R", F(3)}, {"[S", F(4)}, {"[Z", kBackTab},
    {"OA", kUp}, {"OB", kDown}, {"OC", kRight}, {"OD", kLeft},
    {"OH", kHome}, {"OF", kEnd}, {"OE", kCentre},
    {"OP", F(1)}, {"OQ", F(2)}, {"OR", F(3)}, {"OS", F(4)},
    {"[1~", kHome}, {"[2~", kIns}, {"[3~", kDel}, {"[4~", kEnd},
    {"[5~", kPgUp}, {"[6~", kPgDn}, {"[7~", kHome}, {"[8~", kEnd},
    {"[11~", F(1)}, {"[12~", F(2)}, {"[13~", F(3)}, {"[14~", F(4)}, {"[15~", F(5)},
    {"[17~", F(6)}, {"[18~", F(7)}, {"[19~", F(8)}, {"[20~", F(9)}, {"[21~", F(10)},
    {"[23~", F(11)}, {"[24~", F(12)},
    // rxvt: Shift+arrow, Ctrl+arrow
    {"[a", kUp, kShift}, {"[b", kDown, kShift}, {"[c", kRight, kShift}, {"[d", kLeft, kShift},
    {"Oa", kUp, kCtrl}, {"Ob", kDown, kCtrl}, {"Oc", kRight, kCtrl}, {"Od", kLeft, kCtrl},
    // Linux console F1-F5
    {"[[A", F(1)}, {"[[B", F(2)}, {"[[C", F(3)}, {"[[D", F(4)}, {"[[E", F(5)},
};

void Emit(std::string& codes, std::uint8_t code) {
  codes += '\0';
  codes += char(code);
}

void EmitKey(std::string& codes, const KeyCodes& key, int mods) {
  if (const std::uint8_t code = key.With(mods & kShift, mods & kCtrl, mods & (kAlt | kMeta)))
    Emit(codes, code);
}

void EmitAlt(std::string& codes, std::uint8_t byte) {  // Esc, then a character
  if (const std::uint8_t code = AltCode(char(byte))) Emit(codes, code);
}

// Splits "[1;5A" into the table's form "[A" and modifier 5 - 1; false for forms no key sends.
bool Normalise(std::string_view seq, std::string& key, int& mods) {
  const char intro = seq.front(), final = seq.back();
  std::string_view params = seq.substr(1, seq.size() - 2);
  if (intro == '[' && params.starts_with('[')) {  // "[[A"
    key = seq;
    return true;
  }
  int numbers[2] = {0, 0}, count = 0;
  while (!params.empty()) {
    if (count == 2) return false;
    const auto semi = params.find(';');
    const std::string_view p = params.substr(0, semi);
    if (!p.empty() && std::from_chars(p.data(), p.data() + p.size(), numbers[count]).ptr !=
                          p.data() + p.size())
      return false;
    ++count;
    params = semi == std::string_view::npos ? std::string_view{} : params.substr(semi + 1);
    if (semi != std::string_view::npos && params.empty()) return false;
  }
  const int modifier = count == 2 ? numbers[1] : (intro == 'O' && count == 1 ? numbers[0] : 1);
  if (modifier < 1 || modifier > 16) return false;
  mods = modifier - 1;
  key.assign(1, intro);
  if (final == '~' || final == '$' || final == '^' || final == '@') {
    if (intro != '[' || count == 0 || numbers[0] <= 0) return false;
    key += std::to_string(numbers[0]);
    key += '~';
    if (final == '$') mods |= kShift;
    if (final == '^') mods |= kCtrl;
    if (final == '@') mods |= kCtrl | kShift;
  } else {
    if (intro == '[' && count >= 1 && numbers[0] > 1) return false;
    key += final;
  }
  return true;
}

}  // namespace

void KeyDecoder::Finish(std::string& codes) {
  std::string key;
  int mods = 0;
  if (!too_long_ && Normalise(seq_, key, mods)) {
    for (const Sequence& s : kSequences) {
      if (s.bytes == key) {
        EmitKey(codes, s.key, mods | s.mods | (alt_ ? kAlt : 0));
        break;
      }
    }
  }
  state_ = State::kGround;
  alt_ = too_long_ = false;
  seq_.clear();
}

void KeyDecoder::Utf8(std::string& codes) {
  char32_t c;
  const int n = DecodeUtf8(seq_, c);
  if (n == 0) {
    state_ = State::kUtf8;
    return;
  }
  if (n > 0) {
    const int cp866 = UnicodeToCp866(c);
    if (cp866 >= 0) codes += char(cp866);  // characters code page 866 lacks are no keys here
  }
  state_ = State::kGround;
  seq_.clear();
}

void KeyDecoder::Feed(std::uint8_t byte, std::string& codes) {
  constexpr std::uint8_t kEscape = 0x1B;
  constexpr std::size_t kLongest = 16;  // no key's sequence is longer; longer ones are skipped

  switch (state_) {
    case State::kGround:
      if (byte == kEscape) {
        state_ = State::kEsc;
      } else if (byte == 0x00) {
        Emit(codes, 3);  // Ctrl+@
      } else if (byte == 0x7F) {
        codes += '\b';  // the Backspace key
      } else if (byte < 0x80) {
        codes += char(byte);
      } else {
        seq_.assign(1, char(byte));
        Utf8(codes);
      }
      return;

    case State::kUtf8:
      if ((byte & 0xC0) != 0x80) {  // not a continuation: drop the part, start again
        state_ = State::kGround;
        seq_.clear();
        Feed(byte, codes);
        return;
      }
      seq_ += char(byte);
      Utf8(codes);
      return;

    case State::kEsc:
    case State::kEscEsc:
      if (byte == '[' || byte == 'O') {
        alt_ = state_ == State::kEscEsc;
        seq_.assign(1, char(byte));
        state_ = byte == '[' ? State::kCsi : State::kSs3;
      } else if (state_ == State::kEsc && byte == kEscape) {
        state_ = State::kEscEsc;
      } else if (state_ == State::kEscEsc) {  // the first Esc was a key of its own
        codes += char(kEscape);
        state_ = State::kEsc;
        Feed(byte, codes);
      } else {
        EmitAlt(codes, byte);
        state_ = State::kGround;
      }
      return;

    case State::kCsi:
    case State::kSs3:
      if (byte == kEscape) {  // cut short: drop it, a new sequence begins
        seq_.clear();
        alt_ = too_long_ = false;
        state_ = State::kEsc;
      } else if (state_ == State::kCsi && seq_ == "[" && byte == '[') {
        seq_ += '[';
        state_ = State::kCsiBracket;
      } else if (state_ == State::kCsi && seq_ == "[" && byte == 'M') {
        mouse_left_ = 3;  // X10 mouse report: three raw bytes follow
        state_ = State::kMouse;
        seq_.clear();
        alt_ = false;
      } else if ((byte >= 0x40 && byte <= 0x7E) || (state_ == State::kCsi && byte == '$')) {
        seq_ += char(byte);
        Finish(codes);
      } else if (byte >= 0x80) {  // not part of any sequence
        seq_.clear();
        alt_ = too_long_ = false;
        state_ = State::kGround;
        Feed(byte, codes);
      } else if (seq_.size() < kLongest) {
        // Parameters and intermediates; a stray control too, which makes the sequence
        // no key's (and "[" no longer fresh: Esc [ ^@ [ Q is not the Linux console's F-key form).
        seq_ += char(byte);
      } else {
        too_long_ = true;
      }
      return;

    case State::kCsiBracket:
      if (byte == kEscape) {
        state_ = State::kEsc;
        seq_.clear();
        alt_ = false;
      } else {
        seq_ += char(byte);
        if (byte >= 0x40 && byte <= 0x7E)
          Finish(codes);
        else
          state_ = State::kGround, seq_.clear(), alt_ = false;
      }
      return;

    case State::kMouse:
      if (--mouse_left_ == 0) state_ = State::kGround;
      return;
  }
}

void KeyDecoder::Flush(std::string& codes) {
  if (state_ == State::kEsc) codes += '\x1b';
  if (state_ == State::kEscEsc) codes += "\x1b\x1b";
  state_ = State::kGround;
  seq_.clear();
  alt_ = too_long_ = false;
  mouse_left_ = 0;
}
