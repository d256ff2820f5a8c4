// Runs one rose executable in a pseudo-terminal on the X display in $DISPLAY, the way
// a user would, and measures it from outside. Prints "name value" lines.
//
//   rose_bench_drive PROGRAM --shim LIB [--server PID] [--seconds N] [--idle-seconds N]
//                    [--launches N] [--trials N]
//   rose_bench_drive --floor SECONDS
//
// The second form measures the machine instead: what a bare thread that sleeps 10 ms
// a hundred times a second costs and how late its sleeps end, the floor under the
// program's own pauses; and, on the X display in $DISPLAY if there is one, what a
// thread costs that wakes 60 times a second for one round trip to the server, the
// floor under a presenter (SDL waits for the server after every present).
//
// Passes and presents are counted exactly by the preloaded shim; CPU is each
// process's own CPU clock (all threads, those ended included). Launch: from the fork
// to the help text's last line read from the terminal, and to the window's MapNotify.
// Key to picture: from writing S (Delete's capital: a clear) to the terminal until
// seven full-width rows through the middle of the window, read from the X server
// every fraction of a millisecond, have lost three quarters of their lit pixels.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/counts.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

[[noreturn]] void Die(const std::string& why) {
  std::fprintf(stderr, "rose_bench_drive: %s\n", why.c_str());
  std::exit(2);
}

struct Options {
  std::string program, shim;
  pid_t server = 0;
  double seconds = 10, idle_seconds = 2, floor_seconds = 0;
  int launches = 1, trials = 0;
};

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Die("missing value after " + a);
      return argv[++i];
    };
    if (a == "--floor") o.floor_seconds = std::atof(value().c_str());
    else if (a == "--shim") o.shim = value();
    else if (a == "--server") o.server = pid_t(std::atoi(value().c_str()));
    else if (a == "--seconds") o.seconds = std::atof(value().c_str());
    else if (a == "--idle-seconds") o.idle_seconds = std::atof(value().c_str());
    else if (a == "--launches") o.launches = std::max(1, std::atoi(value().c_str()));
    else if (a == "--trials") o.trials = std::atoi(value().c_str());
    else if (o.program.empty()) o.program = a;
    else Die("unexpected argument " + a);
  }
  if (o.floor_seconds <= 0 && (o.program.empty() || o.shim.empty()))
    Die("usage: rose_bench_drive PROGRAM --shim LIB ... | --floor SECONDS");
  return o;
}

// CPU time of a whole process, all its threads, dead ones included; seconds.
double CpuSeconds(pid_t pid) {
  clockid_t clock;
  timespec t;
  if (pid > 0 && clock_getcpuclockid(pid, &clock) == 0 && clock_gettime(clock, &t) == 0)
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
  return -1;
}

// CPU time of the process's main thread (the drawing thread) alone; seconds.
double MainThreadCpuSeconds(pid_t pid) {
  std::ifstream schedstat("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                          "/schedstat");
  double ns = -1e9;
  schedstat >> ns;
  return ns * 1e-9;
}

long RssKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

BenchCounts* MapCounts(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || ftruncate(fd, sizeof(BenchCounts)) != 0) Die("cannot create " + path);
  void* p = mmap(nullptr, sizeof(BenchCounts), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (p == MAP_FAILED) Die("cannot map " + path);
  return static_cast<BenchCounts*>(p);
}

class Run {
 public:
  Run(Display* x, const Options& o, BenchCounts* counts, const std::string& counts_path)
      : x_(x), counts_(counts) {
    counts_->passes = counts_->presents = counts_->pixels = counts_->late_ns = 0;
    winsize ws = {25, 80, 0, 0};
    launched_ = Clock::now();
    pid_ = forkpty(&pty_, nullptr, nullptr, &ws);
    if (pid_ < 0) Die("forkpty failed");
    if (pid_ == 0) {
      setenv("LD_PRELOAD", o.shim.c_str(), 1);
      setenv("ROSE_BENCH_COUNTS", counts_path.c_str(), 1);
      setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);  // no session bus to start
      execl(o.program.c_str(), o.program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    fcntl(pty_, F_SETFL, fcntl(pty_, F_GETFL) | O_NONBLOCK);
  }
  ~Run() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(pty_);
  }

  pid_t pid() const { return pid_; }
  Window window() const { return window_; }

  // Until the help text is on the terminal and the window is mapped; ms since launch.
  bool WaitShown(double& help_ms, double& map_ms) {
    const auto deadline = launched_ + std::chrono::seconds(10);
    std::optional<Clock::time_point> help, mapped;
    while ((!help || !mapped) && Clock::now() < deadline) {
      Pump(help, mapped);
      if (help && mapped) break;
      pollfd p[2] = {{pty_, POLLIN, 0}, {ConnectionNumber(x_), POLLIN, 0}};
      poll(p, 2, 20);
    }
    if (!help || !mapped) return false;
    help_ms = Ms(*help - launched_);
    map_ms = Ms(*mapped - launched_);
    return true;
  }

  void Type(char c) {
    Drain();
    if (write(pty_, &c, 1) != 1) Die("cannot write to the terminal");
  }

  // Ends the program with End; its exit status, or -1 if it had to be killed.
  int End() {
    Type('O');
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
      Drain();
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(milliseconds(5));
    }
    return -1;
  }

  const std::string& output() const { return output_; }

 private:
  void Drain() {
    char buf[4096];
    for (ssize_t n; (n = read(pty_, buf, sizeof buf)) > 0;) output_.append(buf, std::size_t(n));
  }

  void Pump(std::optional<Clock::time_point>& help, std::optional<Clock::time_point>& mapped) {
    Drain();
    if (!help && output_.find("Press any key") != std::string::npos) help = Clock::now();
    while (XPending(x_)) {
      XEvent e;
      XNextEvent(x_, &e);
      if (e.type == MapNotify && !e.xmap.override_redirect && !mapped) {
        mapped = Clock::now();
        window_ = e.xmap.window;
      }
    }
  }

  Display* x_;
  BenchCounts* counts_;
  Clock::time_point launched_;
  pid_t pid_ = -1;
  int pty_ = -1;
  bool exited_ = false;
  Window window_ = 0;
  std::string output_;
};

// Lit pixels on a few full-width rows through the middle of the window.
class Probe {
 public:
  Probe(Display* x, Window w) : x_(x), w_(w) {
    XWindowAttributes a;
    XGetWindowAttributes(x, w, &a);
    width_ = a.width;
    for (int i = -3; i <= 3; ++i) {
      const int y = a.height / 2 + i * std::min(a.height / 8, 90);
      if (y >= 0 && y < a.height) rows_.push_back(y);
    }
  }
  int Lit() const {
    int lit = 0;
    for (int y : rows_) {
      XImage* img = XGetImage(x_, w_, 0, y, unsigned(width_), 1, AllPlanes, ZPixmap);
      if (!img) continue;
      for (int x = 0; x < width_; ++x) lit += XGetPixel(img, x, 0) != 0;
      XDestroyImage(img);
    }
    return lit;
  }

 private:
  Display* x_;
  Window w_;
  int width_ = 0;
  std::vector<int> rows_;
};

double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void Print(const char* name, double value) { std::printf("%s %.3f\n", name, value); }

double ThreadCpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Sleeps `n` times to absolute deadlines `period` apart, as the program's pauses do
// (no timer slack), calling `then` after each; how late the sleeps ended, on average.
template <typename F>
double Sleeper(int n, std::chrono::nanoseconds period, F then) {
  prctl(PR_SET_TIMERSLACK, 1UL);
  double late_us = 0;
  for (int i = 0; i < n; ++i) {
    timespec until, now;
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_nsec += long(period.count());
    if (until.tv_nsec >= 1000000000) until.tv_sec += 1, until.tv_nsec -= 1000000000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
    clock_gettime(CLOCK_MONOTONIC, &now);
    late_us += double(now.tv_sec - until.tv_sec) * 1e6 + double(now.tv_nsec - until.tv_nsec) / 1e3;
    then();
  }
  return late_us / n;
}

void Floor(double seconds) {
  int n = std::max(1, int(seconds * 100));
  double c0 = ThreadCpuSeconds();
  auto t0 = Clock::now();
  const double late = Sleeper(n, std::chrono::milliseconds(10), [] {});
  double secs = Ms(Clock::now() - t0) / 1000;
  Print("floor_sleeps_per_s", n / secs);
  Print("floor_late_us", late);
  Print("floor_cpu_pct", 100 * (ThreadCpuSeconds() - c0) / secs);
  Display* x = XOpenDisplay(nullptr);
  if (!x) return;
  n = std::max(1, int(seconds * 60));
  c0 = ThreadCpuSeconds();
  t0 = Clock::now();
  Sleeper(n, std::chrono::microseconds(16667), [x] { XSync(x, False); });
  secs = Ms(Clock::now() - t0) / 1000;
  Print("floor_x_round_trips_cpu_pct", 100 * (ThreadCpuSeconds() - c0) / secs);
  XCloseDisplay(x);
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = Parse(argc, argv);
  if (o.floor_seconds > 0) {
    Floor(o.floor_seconds);
    return 0;
  }
  Display* x = XOpenDisplay(nullptr);
  if (!x) Die("no X display");
  XSelectInput(x, DefaultRootWindow(x), SubstructureNotifyMask);
  XSync(x, False);
  const std::string counts_path =
      "/tmp/rose-bench-counts." + std::to_string(getpid());
  BenchCounts* counts = MapCounts(counts_path);

  // The server's own idle CPU, to tell apart what presenting costs it.
  if (o.idle_seconds > 0) {
    const double s0 = CpuSeconds(o.server);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(o.idle_seconds));
    const double s1 = CpuSeconds(o.server);
    if (s0 >= 0) Print("server_idle_cpu_pct", 100 * (s1 - s0) / (Ms(Clock::now() - t0) / 1000));
  }

  std::vector<double> help_ms, map_ms;
  for (int i = 1; i < o.launches; ++i) {  // launches that only start and end
    Run run(x, o, counts, counts_path);
    double h, m;
    if (!run.WaitShown(h, m)) Die("the program did not show its help text and window");
    help_ms.push_back(h), map_ms.push_back(m);
    run.Type('x');
    std::this_thread::sleep_for(milliseconds(100));
    if (run.End() != 0) Die("the program did not end with status 0 on End");
    XSync(x, True);  // forget its events
  }

  Run run(x, o, counts, counts_path);
  double h, m;
  if (!run.WaitShown(h, m)) Die("the program did not show its help text and window");
  help_ms.push_back(h), map_ms.push_back(m);
  Print("launch_help_ms_median", Median(help_ms));
  Print("launch_help_ms_max", *std::max_element(help_ms.begin(), help_ms.end()));
  Print("launch_map_ms_median", Median(map_ms));
  Print("launch_map_ms_max", *std::max_element(map_ms.begin(), map_ms.end()));
  const long rss_help = RssKb(run.pid());

  run.Type('x');  // ends the help screen: drawing starts
  const auto started = Clock::now();
  while (counts->passes < 50 && Clock::now() - started < std::chrono::seconds(5))
    std::this_thread::sleep_for(milliseconds(10));
  if (counts->passes < 50) Die("the program does not draw");
  std::this_thread::sleep_for(milliseconds(500));

  struct Snapshot {
    Clock::time_point at;
    std::uint64_t passes, presents, pixels, late_ns;
    double cpu, main_cpu, server_cpu;
    long rss;
  };
  auto snap = [&] {
    return Snapshot{Clock::now(), counts->passes.load(), counts->presents.load(),
                    counts->pixels.load(), counts->late_ns.load(), CpuSeconds(run.pid()),
                    MainThreadCpuSeconds(run.pid()), CpuSeconds(o.server),
                    RssKb(run.pid())};
  };
  const Snapshot a = snap();
  std::this_thread::sleep_for(std::chrono::duration<double>(o.seconds));
  const Snapshot b = snap();
  const double secs = Ms(b.at - a.at) / 1000;
  Print("seconds", secs);
  Print("passes_per_s", double(b.passes - a.passes) / secs);
  const double passes = double(b.passes - a.passes);
  Print("pass_ms", passes > 0 ? 1000 * secs / passes : 0);
  Print("pass_late_us", passes > 0 ? double(b.late_ns - a.late_ns) / passes / 1000 : 0);
  Print("presents_per_s", double(b.presents - a.presents) / secs);
  const double presents = double(b.presents - a.presents);
  Print("pixels_per_present", presents > 0 ? double(b.pixels - a.pixels) / presents : 0);
  Print("cpu_pct", 100 * (b.cpu - a.cpu) / secs);
  Print("cpu_main_thread_pct", 100 * (b.main_cpu - a.main_cpu) / secs);
  if (o.server > 0) Print("server_cpu_pct", 100 * (b.server_cpu - a.server_cpu) / secs);
  Print("rss_help_kb", double(rss_help));
  Print("rss_start_kb", double(a.rss));
  Print("rss_end_kb", double(b.rss));
  Print("passes_total", double(b.passes));

  // Key to visible: Delete's capital clears the window; seen when the probe rows go dark.
  if (o.trials > 0) {
    Probe probe(x, run.window());
    std::vector<double> latencies;
    std::mt19937 random(12345);
    int missed = 0;
    for (int t = 0; t < o.trials; ++t) {
      // Let the rose grow back over the rows.
      int before = 0;
      const auto grow_until = Clock::now() + std::chrono::seconds(10);
      std::this_thread::sleep_for(milliseconds(1200));
      while ((before = probe.Lit()) < 200 && Clock::now() < grow_until)
        std::this_thread::sleep_for(milliseconds(100));
      if (before < 200) Die("the rose does not reach the probe rows");
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
      const auto typed = Clock::now();
      run.Type('S');
      std::optional<Clock::time_point> seen;
      while (!seen && Clock::now() - typed < std::chrono::seconds(1)) {
        if (probe.Lit() * 4 <= before) seen = Clock::now();
        else std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      if (seen) latencies.push_back(Ms(*seen - typed));
      else ++missed;
    }
    Print("latency_ms_median", Median(latencies));
    const auto [low, high] = std::minmax_element(latencies.begin(), latencies.end());
    Print("latency_ms_max", latencies.empty() ? -1 : *high);
    Print("latency_ms_min", latencies.empty() ? -1 : *low);
    Print("latency_missed", missed);
    std::printf("latency_ms_each");  // in the order measured
    for (double l : latencies) std::printf(" %.1f", l);
    std::printf("\n");
  }
  Print("rss_final_kb", double(RssKb(run.pid())));
  const int status = run.End();
  Print("exit_status", status);
  munmap(counts, sizeof(BenchCounts));
  unlink(counts_path.c_str());
  XCloseDisplay(x);
  return status == 0 ? 0 : 1;
}
