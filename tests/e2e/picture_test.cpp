// The window as a user sees it: the help in the terminal, the rose against the
// reference, the keys that steer it, and the window covered, hidden and closed.
#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

#include "tests/e2e/scenario.h"

namespace e2e {
namespace {

::testing::AssertionResult EndsWithZero(const Rig& rig) {
  const std::optional<int> status = rig.term->WaitForEnd(5s);
  if (!status) return ::testing::AssertionFailure() << "the program did not end";
  if (*status != 0) return ::testing::AssertionFailure() << "exit status " << *status;
  if (auto restored = TerminalRestored(*rig.term); !restored) return restored;
  if (!rig.term->Stderr().empty())
    return ::testing::AssertionFailure() << "standard error: " << rig.term->Stderr();
  return ::testing::AssertionSuccess();
}

struct ScreenSize {
  int width, height;
};

void PrintTo(const ScreenSize& s, std::ostream* os) { *os << s.width << "x" << s.height; }

class FirstPicture : public ::testing::TestWithParam<ScreenSize> {};

TEST_P(FirstPicture, HelpInTheTerminalBlackWindowThenTheRose) {
  const int width = GetParam().width, height = GetParam().height;
  Rig rig(width, height);
  EXPECT_TRUE(ShowsHelpOnly(*rig.term));

  // The window fills the screen, is on view and stays black while the help waits.
  EXPECT_EQ(rig.window->MapState(), "IsViewable");
  for (int i = 0; i < 5; ++i) {
    if (i) std::this_thread::sleep_for(200ms);
    const std::optional<Image> shot = rig.window->Shot();
    ASSERT_TRUE(shot);
    ASSERT_EQ(shot->width, width);
    ASSERT_EQ(shot->height, height);
    EXPECT_TRUE(shot->AllBlack()) << shot->Lit() << " pixels lit before the first key";
  }

  Follower follow(rig);
  follow.Send({"x"});
  ASSERT_TRUE(WaitFor(
      [&] {
        const std::optional<Image> shot = rig.window->Shot();
        return shot && shot->Lit() >= std::size_t(width) * std::size_t(height) / 15;
      },
      20s, 100ms))
      << "the rose does not grow";
  follow.Pause("G");
  ASSERT_TRUE(follow.Matches("the rose so far"));
  EXPECT_GE(follow.reference().passes(), 20);
  EXPECT_TRUE(ShowsHelpOnly(*rig.term)) << "drawing writes nothing to the terminal";

  follow.Send({"End"});
  EXPECT_TRUE(EndsWithZero(rig));
}

INSTANTIATE_TEST_SUITE_P(Screens, FirstPicture,
                         ::testing::Values(ScreenSize{640, 480}, ScreenSize{1024, 768}),
                         [](const auto& param_info) {
                           return std::to_string(param_info.param.width) + "x" + std::to_string(param_info.param.height);
                         });

// One burst of keys in a pause, then drawing until the pause key, then a check.
struct Step {
  const char* what;
  std::vector<std::string> keys;  // tmux key names; a burst that ends in a pause needs no `pause`
  const char* pause = nullptr;
  bool others_unknown = false;  // keys after the first that name no command
};

void Steps(Follower& follow, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    follow.Send(s.keys, s.others_unknown);
    if (s.pause) {
      ASSERT_TRUE(follow.DrawsOn());
      follow.Pause(s.pause);
    }
    ASSERT_TRUE(follow.Matches(s.what));
  }
}

TEST(Commands, NavigationKeysAsTheTerminalSendsThem) {
  Rig rig(640, 480);
  Follower follow(rig);
  Steps(follow, {
                    {"Right ends the help and changes the shape before the first segment", {"Right"}, "Home"},
                    {"Up: one pixel larger", {"Up"}, "G"},
                    {"Down: one pixel smaller", {"Down"}, "Home"},
                    {"Left: one petal factor less, and a clear", {"Left"}, "G"},
                    {"Right: one more, and a clear", {"Right"}, "Home"},
                    {"Page Up: the previous colour, yellow", {"PPage"}, "G"},
                    {"Page Down: back to white", {"NPage"}, "Home"},
                    {"Page Down past white: black", {"NPage"}, "G"},
                    {"Page Up before black: white", {"PPage"}, "Home"},
                    {"Delete: a clear", {"DC"}, "G"},
                    {"Home resumes and pauses again one segment later", {"Home"}},
                    {"Shift+Up as Up", {"S-Up"}, "Home"},
                    {"Shift+Left as Left, then Shift+Home as Home", {"S-Left"}, "S-Home"},
                    {"keys that are no commands",
                     {"x", "h", "C-Up", "M-Up", "C-Home", "F1", "F4", "Insert", "Escape", "1"},
                     "G",
                     true},
                });
  EXPECT_EQ(follow.reference().K(), 5);
  EXPECT_EQ(follow.reference().A(), 311);
  follow.Send({"End"});
  EXPECT_TRUE(EndsWithZero(rig));
}

TEST(Commands, TypedCapitalLetters) {
  Rig rig(1024, 768);
  Follower follow(rig);
  Steps(follow, {
                    {"a letter ends the help", {"x"}, "G"},
                    {"H: larger", {"x", "H"}, "G"},
                    {"P: smaller", {"x", "P"}, "Home"},
                    {"P again", {"x", "P"}, "G"},
                    {"M: more petals, and a clear", {"x", "M"}, "Home"},
                    {"K: fewer, and a clear", {"x", "K"}, "G"},
                    {"K again: four petals times two", {"x", "K"}, "Home"},
                    {"I: the previous colour", {"x", "I"}, "G"},
                    {"Q: the next", {"x", "Q"}, "Home"},
                    {"S: a clear", {"x", "S"}, "G"},
                    {"Q past white: black", {"x", "Q"}, "Home"},
                    {"G right after a resume pauses one segment later", {"x", "G"}},
                    {"small letters are no commands", {"x", "h", "p", "m", "k", "i", "q", "s", "g", "o"}, "G"},
                });
  EXPECT_EQ(follow.reference().A(), 309);
  EXPECT_EQ(follow.reference().K(), 4);
  // O while drawing ends it.
  follow.Send({"x"});
  ASSERT_TRUE(follow.DrawsOn());
  rig.term->Keys({"O"});
  EXPECT_TRUE(EndsWithZero(rig));
}

TEST(Window, PictureComesBackAndClosingItDoesNotEndTheProgram) {
  Rig rig(640, 480);
  Follower follow(rig);
  follow.Send({"x"});
  ASSERT_TRUE(follow.DrawsOn());
  follow.Pause("G");
  ASSERT_TRUE(follow.Matches("the picture before"));
  const Image before = follow.last();
  const auto shows_it = [&] {
    const std::optional<Image> shot = rig.window->Shot();
    return shot && *shot == before;
  };

  {  // Covered by another window the size of the screen, then uncovered.
    Child cover({"xlogo", "-geometry", "640x480+0+0"}, rig.x->env(), rig.dir / "xlogo.log");
    ASSERT_TRUE(WaitFor([&] { return !shows_it(); }, 10s, 50ms)) << "the other window never covered it";
    cover.Stop();
  }
  EXPECT_TRUE(WaitFor(shows_it, 5s, 50ms)) << "the picture did not come back once uncovered";

  rig.window->Unmap();
  ASSERT_TRUE(WaitFor([&] { return rig.window->MapState() == "IsUnMapped"; }, 5s));
  rig.window->Map();
  ASSERT_TRUE(WaitFor([&] { return rig.window->MapState() == "IsViewable"; }, 5s));
  EXPECT_TRUE(WaitFor(shows_it, 5s, 50ms)) << "the picture did not come back once mapped again";

  // Drawing goes on from where it was.
  follow.Send({"Up"});
  ASSERT_TRUE(follow.DrawsOn());
  follow.Pause("Home");
  ASSERT_TRUE(follow.Matches("drawing after the window came back"));

  // Closed as by a window manager's close button: the window goes, the program stays.
  rig.window->RequestClose();
  EXPECT_TRUE(WaitFor([&] { return !rig.window->Exists(); }, 5s)) << "the window is still there";
  follow.Send({"x"});
  EXPECT_FALSE(WaitFor([&] { return rig.term->Ended(); }, 1s)) << "the program ended with its window";
  const std::optional<pid_t> pid = rig.term->ProgramPid();
  ASSERT_TRUE(pid);
  EXPECT_EQ(kill(*pid, 0), 0);
  rig.term->Keys({"End"});
  EXPECT_TRUE(EndsWithZero(rig));
}

}  // namespace
}  // namespace e2e
