// libFuzzer target for the terminal key decoder. An input is the bytes a terminal
// sent; where the console would flush (no byte for a while) and where its reads
// would split the bytes are drawn from a hash of the input, so every mutation
// tries other ones. Checked on every input:
//   - every 0 in the codes is followed by a non-zero code, within one Feed's output;
//   - a flush gives at most the pending Esc bytes, and nothing when nothing is pending;
//   - a command letter (G H I K M O P Q S) comes out only for a plain byte of that
//     letter outside any escape sequence, and every such byte does come out, as
//     told by the independent classifier below;
//   - the same bytes with the same flushes give the same codes however they are split.
// Crashes and undefined behaviour are left to the sanitizers the target is built with.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/keys.h"

namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::string_view kCommands = "GHIKMOPQS";

[[noreturn]] void Fail(const char* what, std::size_t at) {
  std::fprintf(stderr, "key decoder property broken: %s (input byte %zu)\n", what, at);
  std::abort();
}

// splitmix64: cheap, and the same split points for the same input on every run.
struct Random {
  std::uint64_t state;
  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  bool OneIn(unsigned n) { return Next() % n == 0; }
};

std::uint64_t Hash(const std::uint8_t* data, std::size_t size) {  // FNV-1a
  std::uint64_t h = 0xCBF29CE484222325u;
  for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 0x100000001B3u;
  return h;
}

// Which bytes are inside an escape sequence, from the grammar of what terminals
// send (ECMA-48 control sequences as keyboards use them) rather than from the
// decoder: Esc and the byte after it; Esc [ or Esc O, parameter and intermediate
// bytes (and stray controls) up to a final byte 0x40-0x7E, or '$' after Esc [
// (rxvt's Shift keys); Esc [ [ and one byte (Linux console F1-F5); Esc [ M and three
// raw bytes (X10 mouse). Another Esc starts a new sequence; a byte 0x80 and up, and a
// flush, end one without being part of it.
std::vector<bool> InsideSequences(std::string_view in, const std::vector<bool>& flush_after) {
  enum { kGround, kAfterEsc, kBody, kOneMore, kRaw } state = kGround;
  bool csi = false, first = false;
  int raw_left = 0;
  std::vector<bool> inside(in.size(), false);
  for (std::size_t i = 0; i < in.size(); ++i) {
    const auto b = std::uint8_t(in[i]);
    bool in_seq = true;
    switch (state) {
      case kGround:
        if (b == kEsc)
          state = kAfterEsc;
        else
          in_seq = false;
        break;
      case kAfterEsc:
        if (b == '[' || b == 'O') {
          state = kBody;
          csi = b == '[';
          first = true;
        } else if (b != kEsc) {
          state = kGround;
        }
        break;
      case kBody:
        if (b == kEsc) {
          state = kAfterEsc;
        } else if (b >= 0x80) {
          state = kGround;
          in_seq = false;
        } else if (csi && first && b == '[') {
          state = kOneMore;
        } else if (csi && first && b == 'M') {
          state = kRaw;
          raw_left = 3;
        } else if ((b >= 0x40 && b <= 0x7E) || (csi && b == '$')) {
          state = kGround;
        }
        first = false;
        break;
      case kOneMore:
        state = b == kEsc ? kAfterEsc : kGround;
        break;
      case kRaw:
        if (--raw_left == 0) state = kGround;
        break;
    }
    inside[i] = in_seq;
    if (flush_after[i]) state = kGround;
  }
  return inside;
}

// Checks the codes one call appended: whole keys only. Returns the plain characters.
std::string Characters(std::string_view codes, std::size_t at) {
  std::string chars;
  for (std::size_t j = 0; j < codes.size(); ++j) {
    if (codes[j] != '\0') {
      chars += codes[j];
    } else if (j + 1 == codes.size()) {
      Fail("a 0 without its code", at);
    } else if (codes[++j] == '\0') {
      Fail("a 0 followed by a code 0", at);
    }
  }
  return chars;
}

// All bytes, one decoder, with the given flushes and reads ending after the marked bytes.
std::string Decode(std::string_view in, const std::vector<bool>& flush_after,
                   const std::vector<bool>& read_ends_after) {
  KeyDecoder d;
  std::string all, read;
  for (std::size_t i = 0; i < in.size(); ++i) {
    d.Feed(std::uint8_t(in[i]), read);
    if (flush_after[i]) d.Flush(read);
    if (read_ends_after[i] || i + 1 == in.size()) {
      all += read;
      read.clear();  // the next read starts with an empty buffer
    }
  }
  return all;
}

void Check(std::string_view in, const std::vector<bool>& flush_after, Random& random) {
  const std::vector<bool> inside = InsideSequences(in, flush_after);
  KeyDecoder d;
  std::string all;
  for (std::size_t i = 0; i < in.size(); ++i) {
    std::string out;
    d.Feed(std::uint8_t(in[i]), out);
    const std::string chars = Characters(out, i);
    for (char c : chars) {
      if (kCommands.find(c) == std::string_view::npos) continue;
      if (c != in[i]) Fail("a command letter made from other bytes", i);
      if (inside[i]) Fail("a command letter from inside an escape sequence", i);
    }
    if (!inside[i] && kCommands.find(in[i]) != std::string_view::npos &&
        chars.find(in[i]) == std::string::npos)
      Fail("a typed command letter was lost", i);
    all += out;
    if (flush_after[i]) {
      const bool pending = d.Pending();
      std::string flushed;
      d.Flush(flushed);
      if (d.Pending()) Fail("still pending after a flush", i);
      if (!pending && !flushed.empty()) Fail("a flush with nothing pending gave codes", i);
      if (flushed.find_first_not_of(char(kEsc)) != std::string::npos || flushed.size() > 2)
        Fail("a flush gave more than the pending Esc", i);
      all += flushed;
    }
  }

  const std::vector<bool> one_read(in.size(), false), every_byte(in.size(), true);
  std::vector<bool> random_reads(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) random_reads[i] = random.OneIn(4);
  if (Decode(in, flush_after, one_read) != all) Fail("one read decodes differently", 0);
  if (Decode(in, flush_after, every_byte) != all) Fail("byte by byte decodes differently", 0);
  if (Decode(in, flush_after, random_reads) != all) Fail("split reads decode differently", 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  Random random{Hash(data, size)};
  // As a terminal delivers keys: flushed only once everything has come.
  std::vector<bool> flush_after(size, false);
  if (size) flush_after[size - 1] = true;
  Check(in, flush_after, random);
  // The console's timeout struck in between, anywhere.
  for (std::size_t i = 0; i < size; ++i) flush_after[i] = random.OneIn(8) || i + 1 == size;
  Check(in, flush_after, random);
  return 0;
}
