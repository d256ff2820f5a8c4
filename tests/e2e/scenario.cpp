#include "tests/e2e/scenario.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace e2e {

namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += "  |" + l + "\n";
  return s;
}

void StartProgram(Rig& rig) {
  rig.term.emplace(rig.dir, rig.x ? &*rig.x : nullptr);
  if (!rig.term->WaitForHelp())
    throw std::runtime_error("no help screen in the terminal; it shows:\n" +
                             Joined(rig.term->Screen()) + "standard error: " + rig.term->Stderr());
}

bool IsCommand(char c) { return std::string_view("HIKMPQS").find(c) != std::string_view::npos; }

// Advances a copy of `from` by min ... max keyless passes until its picture is `target`.
std::optional<ref::Rose> Find(const ref::Rose& from, const ref::Picture& target, long min, long max) {
  ref::Rose r = from;
  for (long n = 0;; ++n) {
    if (n >= min && r.picture() == target) return r;
    if (n >= max) return std::nullopt;
    r.Pass();
  }
}

}  // namespace

const char* const kHelp[10] = {
    "Если вы не можете выбрать ваш флимарский знак это пр. для вас !",
    "Управление : --------------------------------------------------",
    "< Home > - пауза.",
    "Стрелки вправо, влево - изменение формы.",
    "Стрелки вверх, вниз -  изменение размера.",
    "< Page Up >, < Page down > - измененме цвета.",
    "< delete > - очистка экрана.",
    "< End >  - выход.",
    "--------------------------------------------------------------",
    "Press any key",
};

::testing::AssertionResult ShowsHelpOnly(const Terminal& term) {
  const std::vector<std::string> screen = term.Screen();
  for (std::size_t i = 0; i < screen.size(); ++i) {
    const std::string want = i < 10 ? kHelp[i] : "";
    if (screen[i] != want)
      return ::testing::AssertionFailure() << "terminal line " << i + 1 << " is \"" << screen[i]
                                           << "\", not \"" << want << "\"";
  }
  if (screen.size() < 10) return ::testing::AssertionFailure() << "the terminal has too few lines";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult TerminalRestored(const Terminal& term) {
  const std::optional<std::string> before = term.SttyBefore(), after = term.SttyAfter();
  if (!before || before->empty() || !after)
    return ::testing::AssertionFailure() << "no stty -g from before and after";
  if (*before != *after)
    return ::testing::AssertionFailure() << "stty -g before: " << *before << "after: " << *after;
  return ::testing::AssertionSuccess();
}

Rig::Rig(int width, int height) {
  x.emplace(width, height, dir.path());
  StartProgram(*this);
  window = FindRoseWindow(*x);
  if (!window) throw std::runtime_error("no window named rose on " + x->display());
}

Rig::Rig(std::nullptr_t) { StartProgram(*this); }

Follower::Follower(Rig& rig)
    : rig_(rig), model_(rig.x->width(), rig.x->height()) {
  last_.width = rig.x->width();
  last_.height = rig.x->height();
  last_.pixels.assign(std::size_t(last_.width) * std::size_t(last_.height), ref::Rgb{0, 0, 0});
}

void Follower::Send(const std::vector<std::string>& keys, bool others_unknown) {
  if (state_ != State::kWaiting && state_ != State::kPaused)
    throw std::logic_error("keys sent in a burst only while the program waits for one");
  std::vector<char> codes;
  for (std::size_t i = 0; i < (others_unknown ? 1 : keys.size()); ++i)
    for (char c : CodesOf(keys[i])) codes.push_back(c);

  ref::Rose without = model_;
  bool command = false;
  if (state_ == State::kPaused) {  // the paused pass goes on and draws its segment
    model_.Pass();
    without.Pass();
  }
  state_ = State::kDrawing;
  exact_extra_.reset();
  min_extra_ = 0;
  for (std::size_t i = 1; i < codes.size(); ++i) {  // codes[0] ended the wait
    const bool last = i + 1 == codes.size();
    if (codes[i] == 'G' && last) {
      state_ = State::kPaused;
      exact_extra_ = 0;
    } else if (codes[i] == 'O' && last) {
      state_ = State::kEnded;
    } else if (codes[i] == 'G' || codes[i] == 'O') {
      throw std::logic_error("a pause or the end comes last in a burst");
    } else {
      model_.Pass(codes[i]);
      without.Pass(IsCommand(codes[i]) ? '\0' : codes[i]);
      command = command || IsCommand(codes[i]);
    }
  }
  if (command)
    without_command_ = std::move(without);
  else
    without_command_.reset();
  since_ = Clock::now();
  rig_.term->Keys(keys);
}

::testing::AssertionResult Follower::DrawsOn() {
  std::size_t differ = 0;
  const bool grown = WaitFor(
      [&] {
        const std::optional<Image> now = rig_.window->Shot();
        if (!now || now->pixels.size() != last_.pixels.size()) return false;
        differ = 0;
        for (std::size_t i = 0; i < now->pixels.size(); ++i) differ += !(now->pixels[i] == last_.pixels[i]);
        return differ >= 1500;
      },
      5s, 50ms);
  if (grown || differ > 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the picture did not change in 5 s: the program draws no more";
}

void Follower::Pause(const std::string& key) {
  if (state_ != State::kDrawing) throw std::logic_error("pausing while not drawing");
  const std::vector<char> codes = CodesOf(key);
  if (codes.back() != 'G') throw std::logic_error(key + " does not pause");
  min_extra_ = long(codes.size()) - 1;  // Home's 0 takes a pass of its own
  rig_.term->Keys({key});
  state_ = State::kPaused;
}

::testing::AssertionResult Follower::Matches(const std::string& what) {
  if (state_ != State::kPaused) throw std::logic_error("pictures are compared in a pause");
  const std::optional<Image> shot = rig_.window->StableShot();
  if (!shot) return ::testing::AssertionFailure() << what << ": the picture never stood still";
  if (shot->width != model_.picture().width || shot->height != model_.picture().height)
    return ::testing::AssertionFailure() << what << ": window " << shot->width << "x" << shot->height
                                         << ", screen " << model_.picture().width << "x"
                                         << model_.picture().height;
  // Every pass takes at least its 10 ms pause.
  const long elapsed = long(std::chrono::duration_cast<Ms>(Clock::now() - since_).count());
  const long min = exact_extra_.value_or(min_extra_);
  const long max = exact_extra_.value_or(elapsed / 10 + 5);
  const ref::Picture target = shot->Indices();

  const std::optional<ref::Rose> found = Find(model_, target, min, max);
  if (!found) {
    // The closest picture, for the report and a look.
    ref::Rose r = model_, best = model_;
    std::size_t best_diff = SIZE_MAX;
    for (long n = 0; n <= max; ++n, r.Pass()) {
      std::size_t diff = 0;
      for (std::size_t i = 0; i < target.pixels.size(); ++i) diff += target.pixels[i] != r.picture().pixels[i];
      if (n >= min && diff < best_diff) best_diff = diff, best = r;
    }
    SavePpm(*shot, rig_.dir / "shot.ppm");
    SavePpm(best.picture(), rig_.dir / "expected.ppm");
    auto failure = ::testing::AssertionFailure();
    failure << what << ": no reference picture after " << model_.passes() + min << " ... "
            << model_.passes() + max << " passes equals the window; the closest, after "
            << best.passes() << " passes, differs in " << best_diff << " pixels";
    for (int y = 0, shown = 0; y < target.height && shown < 5; ++y)
      for (int x = 0; x < target.width && shown < 5; ++x)
        if (target.at(x, y) != best.picture().at(x, y)) {
          const ref::Rgb s = shot->at(x, y);
          failure << "\n  (" << x << "," << y << "): window " << int(s.r) << "," << int(s.g) << ","
                  << int(s.b) << ", reference colour " << int(best.picture().at(x, y));
          ++shown;
        }
    return failure << "\n  (shot.ppm and expected.ppm in " << rig_.dir.path().string() << ")";
  }
  if (without_command_ && Find(*without_command_, target, min, max)) {
    return ::testing::AssertionFailure()
           << what << ": the picture would be the same without the command; it shows nothing of it";
  }
  model_ = *found;
  without_command_.reset();
  last_ = *shot;
  std::printf("  matched: %s, after %ld passes, %zu pixels lit\n", what.c_str(), model_.passes(),
              model_.picture().Lit());
  return ::testing::AssertionSuccess();
}

}  // namespace e2e
