// The console on a POSIX terminal: raw mode taken once before main and given back
// on every way out; keys decoded from the bytes of standard input.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>

#include "platform/backend.h"
#include "platform/cp866.h"
#include "platform/keys.h"

namespace {

constexpr int kIn = STDIN_FILENO, kOut = STDOUT_FILENO;
constexpr int kEscTimeoutMs = 50;  // a sequence's bytes come closer together than this

// ---- Raw mode: the one place that changes the terminal --------------------------

termios saved;                     // as the user had it
volatile sig_atomic_t owned = 0;   // we changed the terminal and have not given it back
volatile sig_atomic_t raw_on = 0;  // it is in our mode right now

void EnterRaw() {
  termios t = saved;
  t.c_iflag &= ~tcflag_t(ICRNL | INLCR | IGNCR | IXON | ISTRIP | INPCK | BRKINT);
  t.c_lflag &= ~tcflag_t(ICANON | ECHO | IEXTEN);  // ISIG stays: Ctrl+C is a signal
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (tcsetattr(kIn, TCSANOW, &t) == 0) raw_on = 1;
}

void LeaveRaw() {
  if (raw_on) {
    tcsetattr(kIn, TCSANOW, &saved);
    raw_on = 0;
  }
}

bool InForeground() { return tcgetpgrp(kIn) == getpgrp(); }

// The signals that end us, and what handled them before: the default, or a
// sanitizer's or debugger's handler that must still get them.
constexpr int kFatal[] = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT, SIGSEGV,
                          SIGBUS,  SIGFPE,  SIGILL, SIGABRT};
struct sigaction before_us[std::size(kFatal)];

void OnFatalSignal(int sig, siginfo_t* info, void*) {
  const int saved_errno = errno;
  LeaveRaw();
  for (std::size_t i = 0; i < std::size(kFatal); ++i)
    if (kFatal[i] == sig) sigaction(sig, &before_us[i], nullptr);
  errno = saved_errno;
  // A fault the kernel raised comes back as the instruction runs again, so the earlier
  // handler sees its true address; a signal that was sent is sent again.
  const bool fault = sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE || sig == SIGILL;
  if (!fault || info->si_code <= 0) raise(sig);
}

void OnStop(int) {
  const int saved_errno = errno;
  LeaveRaw();
  signal(SIGTSTP, SIG_DFL);
  sigset_t tstp;
  sigemptyset(&tstp);
  sigaddset(&tstp, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
  raise(SIGTSTP);  // stopped here until SIGCONT
  struct sigaction again = {};
  again.sa_handler = OnStop;
  sigaction(SIGTSTP, &again, nullptr);
  if (owned && InForeground()) EnterRaw();
  errno = saved_errno;
}

void OnContinue(int) {
  const int saved_errno = errno;
  if (owned && !raw_on && InForeground()) EnterRaw();
  errno = saved_errno;
}

void RestoreAtExit() { ConsoleRestore(); }

struct TakeOver {
  TakeOver() {
    if (!isatty(kIn) || tcgetattr(kIn, &saved) != 0) return;
    struct sigaction fatal = {};
    fatal.sa_sigaction = OnFatalSignal;
    fatal.sa_flags = SA_SIGINFO;
    for (std::size_t i = 0; i < std::size(kFatal); ++i) {
      sigaction(kFatal[i], nullptr, &before_us[i]);
      if (before_us[i].sa_handler != SIG_IGN)  // ignored by whoever started us (nohup, &): stays so
        sigaction(kFatal[i], &fatal, nullptr);
    }
    struct sigaction stop = {};
    stop.sa_handler = OnStop;
    sigaction(SIGTSTP, &stop, nullptr);
    struct sigaction cont = {};
    cont.sa_handler = OnContinue;
    sigaction(SIGCONT, &cont, nullptr);
    std::atexit(RestoreAtExit);
    owned = 1;
    EnterRaw();
  }
} take_over;

// ---- Keys --------------------------------------------------------------------

KeyDecoder decoder;
bool ended = false;        // standard input has no more bytes
timespec last_byte = {};   // when the decoder last got one

long MsSince(const timespec& t) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (now.tv_sec - t.tv_sec) * 1000 + (now.tv_nsec - t.tv_nsec) / 1000000;
}

// Takes what standard input has, waiting up to `timeout_ms` (-1: for ever) for it.
void Take(std::string& codes, int timeout_ms) {
  pollfd p = {kIn, POLLIN, 0};
  const int ready = poll(&p, 1, timeout_ms);
  if (ready < 0) {
    if (errno != EINTR && errno != EAGAIN) ended = true;
  } else if (ready > 0) {
    unsigned char buf[256];
    const ssize_t n = read(kIn, buf, sizeof buf);
    if (n > 0) {
      for (ssize_t i = 0; i < n; ++i) decoder.Feed(buf[i], codes);
      clock_gettime(CLOCK_MONOTONIC, &last_byte);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      ended = true;
    }
  }
  if (decoder.Pending() && (ended || MsSince(last_byte) >= kEscTimeoutMs)) decoder.Flush(codes);
}

void WriteAll(const std::string& s) {
  for (std::size_t done = 0; done < s.size();) {
    const ssize_t n = write(kOut, s.data() + done, s.size() - done);
    if (n > 0)
      done += std::size_t(n);
    else if (n < 0 && errno != EINTR)
      return;  // nowhere to write to: the text is lost, the program goes on
  }
}

}  // namespace

void ConsoleWriteLine(std::string_view cp866) { WriteAll(Cp866ToUtf8(cp866) + "\r\n"); }

bool ConsoleReadKeys(std::string& codes, bool wait) {
  const std::size_t before = codes.size();
  if (!ended) Take(codes, 0);
  while (wait && codes.size() == before && !ended) {
    int timeout = -1;
    if (decoder.Pending()) timeout = int(std::max(0L, kEscTimeoutMs - MsSince(last_byte)));
    Take(codes, timeout);
  }
  return codes.size() > before || !ended;
}

void ConsoleDelay(unsigned ms) {
  // Linux lets a sleep end up to 50 us late by default, which alone keeps 10 ms pauses
  // under 99.5 a second; this thread's sleeps end on time instead.
  static const bool on_time = prctl(PR_SET_TIMERSLACK, 1UL) == 0;
  (void)on_time;
  timespec until;
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_sec += ms / 1000;
  until.tv_nsec += long(ms % 1000) * 1000000;
  if (until.tv_nsec >= 1000000000) until.tv_sec += 1, until.tv_nsec -= 1000000000;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

void ConsoleRestore() {
  owned = 0;
  LeaveRaw();
}
