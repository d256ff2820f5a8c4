// The POSIX console on a pseudo-terminal, ended by fatal signals: the terminal comes
// back as it was, the signal still ends the program, and a handler that was there
// before the console's (a sanitizer's) still gets the fault, with its true address.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>

namespace {

struct Outcome {
  int wstatus = 0;
  bool ended = false;
  std::string out;
  bool same_terminal = false;
};

bool Same(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && !std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc);
}

Outcome RunOnTerminal(const char* ending) {
  Outcome o;
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return o;
  termios before;
  tcgetattr(slave, &before);
  const pid_t pid = fork();
  if (pid == 0) {
    close(master);
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    dup2(slave, 0), dup2(slave, 1), dup2(slave, 2);
    if (slave > 2) close(slave);
    execl(ROSE_SIGNALS_CHILD, ROSE_SIGNALS_CHILD, ending, static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    pollfd p = {master, POLLIN, 0};
    if (poll(&p, 1, 20) > 0) {
      char buf[512];
      const ssize_t n = read(master, buf, sizeof buf);
      if (n > 0) o.out.append(buf, std::size_t(n));
    }
    if (!o.ended && waitpid(pid, &o.wstatus, WNOHANG) == pid) {
      o.ended = true;
      continue;  // what is left to read
    }
    if (o.ended && poll(&p, 1, 0) <= 0) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &o.wstatus, 0);
      break;
    }
  }
  termios after;
  o.same_terminal = tcgetattr(slave, &after) == 0 && Same(before, after);
  close(master);
  close(slave);
  return o;
}

bool Killed(const Outcome& o, int sig) {
  return WIFSIGNALED(o.wstatus) && WTERMSIG(o.wstatus) == sig;
}
bool Exited(const Outcome& o, int status) {
  return WIFEXITED(o.wstatus) && WEXITSTATUS(o.wstatus) == status;
}

struct Case {
  const char* ending;
  int signal;  // that ends it, or
  int status;  // its exit status
  const char* says = nullptr;
};

TEST(FatalSignals, TerminalBackAndTheEndAsTheSignalWants) {
  const Case cases[] = {
      {"segv-chained", 0, 42, "earlier handler"},  // the earlier handler saw the real fault
      {"term", SIGTERM, 0},
      {"abort", SIGABRT, 0},
      {"int-ignored", 0, 0, "still here"},  // ignored by whoever started it: stays ignored
      {"exit", 0, 5},
  };
  for (const Case& c : cases) {
    const Outcome o = RunOnTerminal(c.ending);
    ASSERT_TRUE(o.ended) << c.ending << ": no end; said " << o.out;
    EXPECT_NE(o.out.find("raw"), std::string::npos) << c.ending << ": never took the terminal over";
    EXPECT_TRUE(o.same_terminal) << c.ending;
    if (c.signal) {
      EXPECT_TRUE(Killed(o, c.signal)) << c.ending << ": " << o.wstatus << ", said " << o.out;
    } else {
      EXPECT_TRUE(Exited(o, c.status)) << c.ending << ": " << o.wstatus << ", said " << o.out;
    }
    if (c.says) {
      EXPECT_NE(o.out.find(c.says), std::string::npos) << c.ending << ": said " << o.out;
    }
  }
}

TEST(FatalSignals, ACrashStaysACrashWithTheSanitizersReport) {
  const Outcome o = RunOnTerminal("segv");
  ASSERT_TRUE(o.ended) << o.out;
  EXPECT_TRUE(o.same_terminal);
  const std::size_t at = o.out.find("page at ");
  ASSERT_NE(at, std::string::npos) << o.out;
  const std::string page = o.out.substr(at + 8, o.out.find('\r', at) - at - 8);
  if (o.out.find("Sanitizer") != std::string::npos) {
    // Built with a sanitizer: its report names the address of the fault itself.
    EXPECT_NE(o.out.find("SEGV on unknown address " + page), std::string::npos) << o.out;
    EXPECT_FALSE(Exited(o, 0));
  } else {
    EXPECT_TRUE(Killed(o, SIGSEGV)) << "status " << o.wstatus << "; said " << o.out;
  }
}

}  // namespace
