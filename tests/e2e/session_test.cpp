// How the program ends, and the terminal it leaves behind.
#include <gtest/gtest.h>

#include <signal.h>

#include <regex>

#include "tests/e2e/scenario.h"

namespace e2e {
namespace {

enum class When { kHelp, kDrawing, kPaused };

struct Ending {
  const char* name;
  When when;
  const char* key;  // typed in the terminal, or
  int signal;       // sent to the program
  int status;       // 128 + the signal when it killed the program
};

void PrintTo(const Ending& e, std::ostream* os) { *os << e.name; }

class Exit : public ::testing::TestWithParam<Ending> {};

TEST_P(Exit, StatusAndTheTerminalAsItWas) {
  const Ending& e = GetParam();
  Rig rig(640, 480);
  Follower follow(rig);
  if (e.when != When::kHelp) {
    follow.Send({"x"});
    ASSERT_TRUE(follow.DrawsOn());
  }
  if (e.when == When::kPaused) {
    follow.Pause("Home");
    ASSERT_TRUE(follow.Matches("the pause"));
  }
  ASSERT_FALSE(rig.term->Ended());
  if (e.key) {
    rig.term->Keys({e.key});
  } else {
    const std::optional<pid_t> pid = rig.term->ProgramPid();
    ASSERT_TRUE(pid);
    ASSERT_EQ(kill(*pid, e.signal), 0);
  }
  const std::optional<int> status = rig.term->WaitForEnd(10s);
  ASSERT_TRUE(status) << "the program did not end";
  EXPECT_EQ(*status, e.status);
  EXPECT_TRUE(TerminalRestored(*rig.term));
  EXPECT_EQ(rig.term->Stderr(), "");
  EXPECT_TRUE(WaitFor([&] { return !rig.window->Exists(); }, 5s)) << "the window outlived the program";
}

INSTANTIATE_TEST_SUITE_P(
    Ways, Exit,
    ::testing::Values(Ending{"EndInTheHelp", When::kHelp, "End", 0, 0},
                      Ending{"EndWhileDrawing", When::kDrawing, "End", 0, 0},
                      Ending{"TypedOWhileDrawing", When::kDrawing, "O", 0, 0},
                      Ending{"EndInAPause", When::kPaused, "End", 0, 0},
                      Ending{"CtrlCInTheHelp", When::kHelp, "C-c", 0, 128 + SIGINT},
                      Ending{"CtrlCWhileDrawing", When::kDrawing, "C-c", 0, 128 + SIGINT},
                      Ending{"CtrlCInAPause", When::kPaused, "C-c", 0, 128 + SIGINT},
                      Ending{"SigtermInTheHelp", When::kHelp, nullptr, SIGTERM, 128 + SIGTERM},
                      Ending{"SigtermWhileDrawing", When::kDrawing, nullptr, SIGTERM, 128 + SIGTERM},
                      Ending{"SighupWhileDrawing", When::kDrawing, nullptr, SIGHUP, 128 + SIGHUP},
                      Ending{"SighupInAPause", When::kPaused, nullptr, SIGHUP, 128 + SIGHUP}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(NoDisplay, HelpStillShownAndEndStillEnds) {
  Rig rig(nullptr);
  EXPECT_TRUE(ShowsHelpOnly(*rig.term));
  rig.term->Keys({"x"});
  EXPECT_FALSE(WaitFor([&] { return rig.term->Ended(); }, 1s)) << "it stopped drawing unseen";
  rig.term->Keys({"End"});
  const std::optional<int> status = rig.term->WaitForEnd(5s);
  ASSERT_TRUE(status);
  EXPECT_EQ(*status, 0);
  EXPECT_TRUE(TerminalRestored(*rig.term));
  const std::string err = rig.term->Stderr();
  EXPECT_TRUE(!err.empty() && err.back() == '\n' && err.find('\n') == err.size() - 1)
      << "not one line on standard error: \"" << err << "\"";
}

// The size key held down until a point leaves the 16-bit range: tens of thousands of
// passes at 100 a second.
TEST(RunTimeError, HoldingTheSizeKeyEndsIn201) {
  Rig rig(640, 480);
  // Passes needed with one H read in every pass from the first on.
  long needed = 0;
  {
    double A = 310;
    for (long alfa = 1;; ++alfa) {
      A += 1;
      const ref::Point p = ref::CurvePoint(double(alfa), A, 5, 319, 239);
      if (p.x < -32768 || p.x > 32767 || p.y < -32768 || p.y > 32767) {
        needed = alfa;
        break;
      }
    }
  }
  // The letter that ends the help and the H's behind it, queued in tmux all at once so
  // the program never waits for one.
  std::string keys = "x";
  keys.append(std::size_t(needed), 'H');
  constexpr std::size_t kChunk = 4000;
  for (std::size_t at = 0; at < keys.size(); at += kChunk) rig.term->Type(keys.substr(at, kChunk));

  // About 100 passes a second; if the queue ran dry somewhere, keep holding the key.
  const auto start = Clock::now();
  const auto expected = Ms(needed * 10 * 13 / 10 + 30000);
  std::optional<int> status;
  while (!(status = rig.term->WaitForEnd(2s)) && Clock::now() - start < 14min)
    if (Clock::now() - start > expected) rig.term->Type(std::string(200, 'H'));
  ASSERT_TRUE(status) << "no run-time error after "
                      << std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count()
                      << " s";
  EXPECT_EQ(*status, 201);
  const std::regex message("Runtime error 201 at \\S.*");
  std::string shown;
  for (const std::string& line : rig.term->Screen(true))
    if (std::regex_match(line, message)) shown = line;
  EXPECT_NE(shown, "") << "no \"Runtime error 201 at ...\" in the terminal";
  EXPECT_TRUE(TerminalRestored(*rig.term));
  EXPECT_EQ(rig.term->Stderr(), "");
  std::printf("\"%s\" after %lld s, %ld passes needed\n", shown.c_str(),
              (long long)std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count(),
              needed);
}

}  // namespace
}  // namespace e2e
