// Ten million passes of the real PAINT in virtual time, keys typed at random from a
// fixed seed. Alongside runs a reference loop of its own, written from what the
// program must do rather than from its code; at every pass the program's state must
// be the reference's, and at checkpoints so must the picture. Memory must stay flat:
// the process's resident size, the key queue Crt hands the console, and this harness.
//
// The console, window and exit below stand in for the native backends, like the
// ones in tests/support but with nothing that grows per pass.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/description.h"
#include "platform/backend.h"
#include "platform/graph.h"
#include "rose/rose.h"
#include "tests/support/fakes.h"

namespace {

constexpr Size kWindow{640, 480};
constexpr long kCheckpointEvery = 1L << 20;  // passes between two looks at the picture

long Passes() {
  const char* s = std::getenv("ROSE_SOAK_PASSES");
  return s ? std::atol(s) : 10'000'000L;
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// ---- The user at the keyboard ---------------------------------------------------

// Keys typed, each available from a pass on: letters, navigation keys (0 and a code),
// every other byte, bursts of several at once. Never End until the run is over; the
// size keys lean back towards 310 so that no point leaves the 16-bit range.
struct Typing {
  long pass;
  std::string codes;
};

class Typist {
 public:
  Typist(std::uint64_t seed, long end_at) : state_(seed), end_at_(end_at) {}

  std::optional<Typing> Next() {
    if (done_) return std::nullopt;
    if (pass_ == 0) {
      pass_ = 1;
      return Typing{0, " "};  // ends the instruction screen
    }
    pass_ += long(Random() % 16);
    if (pass_ >= end_at_) {
      done_ = true;
      return Typing{end_at_, std::string{'\0', 'O'}};  // End
    }
    std::string codes = Key();
    for (int more = Random() % 20 == 0 ? int(Random() % 4) : 0; more > 0; --more) codes += Key();
    return Typing{pass_, codes};
  }

 private:
  std::uint64_t Random() {  // splitmix64: the same keys on every machine
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }

  char Lean(char c) {  // H and Up grow, P and Down shrink
    if (c == 'H' || c == 'P') {
      if (size_ > 200) c = 'P';
      if (size_ < -200) c = 'H';
      size_ += c == 'H' ? 1 : -1;
    }
    return c;
  }

  std::string Key() {
    static constexpr char kLetters[] = "GHIKMPQS";           // O is the run's end
    static constexpr char kNavigation[] = "GHIKMPQS";       // Home Up PgUp Left Right Down PgDn Del
    const unsigned kind = unsigned(Random() % 100);
    if (kind < 30) return std::string(1, Lean(kLetters[Random() % 8]));
    if (kind < 60) return std::string{'\0', Lean(kNavigation[Random() % 8])};
    char any = char(1 + Random() % 255);
    if (any == 'O') any = 'o';
    if (kind < 85) return std::string(1, Lean(any));
    if (kind < 95) return std::string{'\0', Lean(any)};  // a key without a character
    return std::string(1, '\0');                         // its second code still to come
  }

  std::uint64_t state_;
  long end_at_;
  long pass_ = 0;
  long size_ = 0;  // H less P typed so far
  bool done_ = false;
};

constexpr std::uint64_t kSeed = 0x5eed'0f'2023'10'07u;

// ---- The reference loop ---------------------------------------------------------

// The codes typed and not yet read, in a fixed array: the harness must not allocate per pass.
class Codes {
 public:
  bool empty() const { return head_ == tail_; }
  std::size_t size() const { return tail_ - head_; }
  char front() const { return codes_[head_ % kSize]; }
  void pop_front() { ++head_; }
  void push_back(char c) {
    if (size() == kSize) std::abort();  // cannot happen unless keys pile up without bound
    codes_[tail_++ % kSize] = c;
  }

 private:
  static constexpr std::size_t kSize = 4096;
  char codes_[kSize] = {};
  std::size_t head_ = 0, tail_ = 0;
};

// One pass at a time, from the rules: the colour set at the start of a pass; at most
// one code read in it, if any has come; the nine commands; the wrap of the colour; the
// next point of r = A sin(K t) at whole radians, in extended precision; a line to it.
class Reference {
 public:
  explicit Reference(long end_at)
      : typist_(kSeed, end_at), picture_(kWindow.width, kWindow.height) {
    Take();  // the instruction screen waits for its key, which it discards
    queue_.pop_front();
  }

  // Up to the Delay of `pass`: the colour, and the codes that have come by then.
  void Begin(long pass) {
    pass_ = pass;
    drawing_colour_ = colour_;
    while (upcoming_ && upcoming_->pass <= pass) Take();
  }

  // The rest of the pass; false when the program ends (or waits for ever) in it.
  bool Finish() {
    if (!queue_.empty()) {
      const char key = queue_.front();
      queue_.pop_front();
      switch (key) {
        case 'G':  // waits for a code and drops it
          if (queue_.empty() && !Take()) return stuck_ = true, false;
          queue_.pop_front();
          break;
        case 'H': A_ += 1; break;
        case 'P': A_ -= 1; break;
        case 'I': colour_ -= 1; break;
        case 'Q': colour_ += 1; break;
        case 'K': K_ -= 1, Clear(); break;
        case 'M': K_ += 1, Clear(); break;
        case 'S': Clear(); break;
        case 'O': return ended_ = true, false;
        default: break;
      }
    }
    if (colour_ < 0) colour_ = 15;
    if (colour_ > 15) colour_ = 0;
    alfa_ += 1;
    const long double t = alfa_, r = std::sin(t * K_);
    const long double x = std::nearbyint(std::cos(t) * A_ * r + (kWindow.width - 1) / 2);
    const long double y = std::nearbyint(std::sin(t) * A_ * r + (kWindow.height - 1) / 2);
    if (x < -32768 || x > 32767 || y < -32768 || y > 32767) return overflow_ = true, false;
    picture_.Line(x_, y_, int(x), int(y), std::uint8_t(drawing_colour_));
    x_ = int(x), y_ = int(y);
    return true;
  }

  long pass() const { return pass_; }
  double A() const { return A_; }
  double K() const { return K_; }
  int colour() const { return drawing_colour_; }
  int x() const { return x_; }
  int y() const { return y_; }
  bool ended() const { return ended_; }
  bool stuck() const { return stuck_; }
  bool overflow() const { return overflow_; }
  const Surface& picture() const { return picture_; }
  std::size_t queued() const { return queue_.size(); }

 private:
  bool Take() {  // the next key typed, now
    if (!upcoming_) upcoming_ = typist_.Next();
    if (!upcoming_) return false;
    for (char c : upcoming_->codes) queue_.push_back(c);
    upcoming_ = typist_.Next();
    return true;
  }
  void Clear() {
    picture_.Fill(0);
    x_ = y_ = 0;
  }

  Typist typist_;
  std::optional<Typing> upcoming_;
  Codes queue_;
  long pass_ = 0;
  double A_ = 310, K_ = 5, alfa_ = 0;
  int colour_ = 15, drawing_colour_ = 15;
  int x_ = 0, y_ = 0;
  bool ended_ = false, stuck_ = false, overflow_ = false;
  Surface picture_;
};

// ---- The run --------------------------------------------------------------------

struct Soak {
  explicit Soak(long end_at) : typist(kSeed, end_at), reference(end_at) {
    frame.Fill(1);  // every page of it in memory from the start
    frame.Fill(0);
  }

  Typist typist;
  std::optional<Typing> upcoming;
  bool upcoming_fetched = false;
  long delays = 0;  // Delay calls: the instruction screen's, then one per pass
  Reference reference;
  Surface frame{kWindow.width, kWindow.height};  // what a window would show
  std::vector<Rect> areas;
  long frames_checked = 0;
  std::string mismatch;  // the first difference from the reference
  std::size_t most_codes = 0, most_capacity = 0, most_queued = 0;
  long resident_early = 0, resident_late = 0;  // after 100000 passes; at the last checkpoint
  int lines = 0, restores = 0;

  const std::optional<Typing>& Upcoming() {
    if (!upcoming_fetched) upcoming = typist.Next(), upcoming_fetched = true;
    return upcoming;
  }
  void Taken() { upcoming_fetched = false; }

  void Mismatch(const std::string& what) {
    if (mismatch.empty())
      mismatch = "pass " + std::to_string(reference.pass()) + ": " + what;
    throw fake::ScriptEnd{};
  }

  void CheckPicture() {
    areas.clear();
    FrameTakeChanged(frame, areas);
    ++frames_checked;
    if (!(frame == reference.picture())) Mismatch("picture differs from the reference");
  }

  // At the Delay of each pass: the one before it finished, this one has begun.
  void OnDelay() {
    const long pass = delays;  // 0: the instruction screen
    if (pass == 0) return;
    if (pass > 1 && !reference.Finish()) Mismatch("the program went on where the reference ended");
    reference.Begin(pass);
    if (GetColor() != reference.colour()) Mismatch("colour " + std::to_string(GetColor()));
    if (GetX() != reference.x() || GetY() != reference.y())
      Mismatch("position " + std::to_string(GetX()) + "," + std::to_string(GetY()));
    if (DATA.A != reference.A() || DATA.K != reference.K())
      Mismatch("A " + std::to_string(DATA.A) + ", K " + std::to_string(DATA.K));
    if (reference.queued() > most_queued) most_queued = reference.queued();
    if (pass % kCheckpointEvery == 0) {
      CheckPicture();
      resident_late = ResidentBytes();
    }
    if (pass == 100'000) resident_early = ResidentBytes();
  }
};

Soak* soak = nullptr;

}  // namespace

// ---- The backends --------------------------------------------------------------------

Size WindowOpen() { return kWindow; }
void WindowClose() {}

void ConsoleWriteLine(std::string_view) { ++soak->lines; }
void ConsoleRestore() { ++soak->restores; }

void ConsoleDelay(unsigned) {
  soak->OnDelay();
  ++soak->delays;
}

bool ConsoleReadKeys(std::string& codes, bool wait) {
  // Crt's own queue comes in here: its size and capacity are its memory.
  const long pass = soak->delays - 1;
  const std::size_t before = codes.size();
  while (soak->Upcoming() && soak->upcoming->pass <= pass) {
    codes += soak->upcoming->codes;
    soak->Taken();
  }
  if (wait && codes.size() == before) {
    if (!soak->Upcoming()) throw fake::ScriptEnd{};  // would wait for ever
    codes += soak->upcoming->codes;  // time passes until the next key
    soak->Taken();
  }
  if (codes.size() > soak->most_codes) soak->most_codes = codes.size();
  if (codes.capacity() > soak->most_capacity) soak->most_capacity = codes.capacity();
  return true;
}

namespace {

TEST(Soak, TenMillionPassesStayOnTheReference) {
  const long passes = Passes();
  Soak run(passes);
  soak = &run;
  std::optional<int> status;
  Integer driver = Detect, mode = 0;
  InitGraph(driver, mode, "");
  try {
    DESCRIPTION();
    PAINT();
  } catch (const fake::Exit& e) {
    status = e.status;
  } catch (const fake::ScriptEnd&) {
  }
  soak = nullptr;
  ASSERT_EQ(run.mismatch, "");
  // The program ended in the pass where the reference ends.
  const bool reference_ends = !run.reference.Finish();
  ASSERT_TRUE(reference_ends) << "the program ended, the reference did not";
  EXPECT_FALSE(run.reference.overflow());
  EXPECT_FALSE(run.reference.stuck());
  ASSERT_EQ(status, std::optional<int>(0));
  EXPECT_TRUE(run.reference.ended());
  EXPECT_GE(run.reference.pass(), passes - 100);  // End comes early when a pause takes it
  EXPECT_EQ(run.restores, 1);
  EXPECT_EQ(run.lines, 10);
  run.CheckPicture();
  EXPECT_EQ(run.mismatch, "");

  std::printf("%ld passes, %ld pictures compared; resident %ld KiB after 100000 passes, %ld KiB "
              "at the last checkpoint; longest Crt queue %zu codes (capacity %zu), reference "
              "queue %zu\n",
              run.reference.pass(), run.frames_checked, run.resident_early / 1024,
              run.resident_late / 1024, run.most_codes, run.most_capacity, run.most_queued);
  if (run.resident_early && run.resident_late) {
    EXPECT_LT(run.resident_late - run.resident_early, 256L << 10) << "resident size grew";
  }
  EXPECT_LE(run.most_capacity, 64u) << "Crt's key queue grew";
  EXPECT_LE(run.most_queued, 64u) << "keys piled up";
}

}  // namespace
