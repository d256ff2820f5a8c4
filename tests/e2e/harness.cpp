#include "tests/e2e/harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {

bool SendWmDelete(const std::string& display, unsigned long window);  // wm_close.cpp

namespace fs = std::filesystem;

bool WaitFor(const std::function<bool()>& done, Ms limit, Ms every) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    if (done()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(every);
  }
}

// ---- Processes -------------------------------------------------------------------

namespace {

// Ours, minus whatever would send a child to another display or terminal.
std::vector<std::string> Environment(const EnvChanges& changes) {
  std::vector<std::string> env;
  const auto drop = [](const std::string& entry, const std::string& name) {
    return entry.compare(0, name.size() + 1, name + "=") == 0 || entry == name;
  };
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool keep = true;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "TMUX", "TMUX_PANE",
                             "LANG", "LC_ALL", "LC_CTYPE", "SHELL", "DBUS_SESSION_BUS_ADDRESS"})
      if (drop(entry, name)) keep = false;
    if (keep) env.push_back(entry);
  }
  for (const char* fixed : {"LANG=C.UTF-8", "LC_ALL=C.UTF-8", "SHELL=/bin/sh",
                            "DBUS_SESSION_BUS_ADDRESS=disabled:"})
    env.emplace_back(fixed);
  for (const std::string& change : changes) {
    const std::string name = change.substr(0, change.find('='));
    std::erase_if(env, [&](const std::string& entry) { return drop(entry, name); });
    if (change.find('=') != std::string::npos) env.push_back(change);
  }
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> p;
  for (std::string& s : strings) p.push_back(s.data());
  p.push_back(nullptr);
  return p;
}

int Decode(int wstatus) {
  if (WIFEXITED(wstatus)) return WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) return 128 + WTERMSIG(wstatus);
  return -1;
}

// Standard input from /dev/null; `out_fd` (or /dev/null) as standard output.
pid_t Spawn(const std::vector<std::string>& argv, const EnvChanges& env, int out_fd,
            const fs::path& err_log, int fd3) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  if (out_fd >= 0)
    posix_spawn_file_actions_adddup2(&files, out_fd, 1);
  else
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  const std::string err = err_log.empty() ? "/dev/null" : err_log.string();
  posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd3 >= 0) posix_spawn_file_actions_adddup2(&files, fd3, 3);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);  // e.g. SIGPIPE, which we ignore
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> args = argv, envs = Environment(env);
  std::vector<char*> arg_p = Pointers(args), env_p = Pointers(envs);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, arg_p[0], &files, &attr, arg_p.data(), env_p.data());
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
  return pid;
}

struct IgnoreSigpipe {
  IgnoreSigpipe() { signal(SIGPIPE, SIG_IGN); }
} ignore_sigpipe;

}  // namespace

Result Run(const std::vector<std::string>& argv, const EnvChanges& env, Ms limit,
           const fs::path& err_log) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  const pid_t pid = Spawn(argv, env, out[1], err_log, -1);
  close(out[1]);
  Result r;
  const auto deadline = Clock::now() + limit;
  bool late = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
    if (left <= 0) {
      late = true;
      break;
    }
    pollfd p = {out[0], POLLIN, 0};
    const int ready = poll(&p, 1, int(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    char buf[65536];
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    r.out.append(buf, std::size_t(n));
  }
  close(out[0]);
  int wstatus = 0;
  if (late) {
    kill(pid, SIGKILL);
    waitpid(pid, &wstatus, 0);
    throw std::runtime_error(argv[0] + " did not finish in time");
  }
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  r.status = Decode(wstatus);
  return r;
}

Child::Child(const std::vector<std::string>& argv, const EnvChanges& env, const fs::path& log,
             int pass_fd_as_3)
    : pid_(Spawn(argv, env, -1, log, pass_fd_as_3)) {}

bool Child::Exited() {
  if (pid_ < 0) return true;
  int wstatus;
  if (waitpid(pid_, &wstatus, WNOHANG) == pid_) {
    pid_ = -1;
    return true;
  }
  return false;
}

void Child::Stop() {
  if (pid_ < 0) return;
  kill(pid_, SIGTERM);
  if (!WaitFor([this] { return Exited(); }, 5s, 10ms)) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

WorkDir::WorkDir() {
  std::string name = (fs::temp_directory_path() / "rose-e2e-XXXXXX").string();
  if (!mkdtemp(name.data())) throw std::runtime_error("mkdtemp");
  path_ = name;
}

WorkDir::~WorkDir() {
  if (::testing::Test::HasFailure()) {
    std::fprintf(stderr, "files of the failed test kept in %s\n", path_.c_str());
    return;
  }
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::optional<std::string> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// ---- The X server ------------------------------------------------------------

XServer::XServer(int width, int height, const fs::path& dir) : width_(width), height_(height) {
  const std::string screen =
      std::to_string(width) + "x" + std::to_string(height) + "x24";
  for (int n = 30; n <= 39; ++n) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    // -displayfd: the number comes once the server takes connections; EOF if the display is taken
    Child server({"Xvfb", ":" + std::to_string(n), "-screen", "0", screen, "-nolisten", "tcp",
                  "-noreset", "-displayfd", "3"},
                 {}, dir / "xvfb.log", ready[1]);
    close(ready[1]);
    std::string got;
    const auto deadline = Clock::now() + 15s;
    while (got.find('\n') == std::string::npos && Clock::now() < deadline) {
      pollfd p = {ready[0], POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[32];
      const ssize_t k = read(ready[0], buf, sizeof buf);
      if (k <= 0) break;
      got.append(buf, std::size_t(k));
    }
    close(ready[0]);
    if (got.find('\n') != std::string::npos && std::atoi(got.c_str()) == n) {
      display_ = ":" + std::to_string(n);
      server_ = std::move(server);
      return;
    }
  }
  throw std::runtime_error("no X display free in :30 ... :39 (see xvfb.log)");
}

// ---- Screenshots ---------------------------------------------------------------

namespace {

std::uint32_t Be32(const std::string& s, std::size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) << 24 | std::uint32_t(std::uint8_t(s[at + 1])) << 16 |
         std::uint32_t(std::uint8_t(s[at + 2])) << 8 | std::uint32_t(std::uint8_t(s[at + 3]));
}

// xwd's file: a header of big-endian 32-bit fields, the colour map, then the pixels.
std::optional<Image> ParseXwd(const std::string& f) {
  if (f.size() < 100) return std::nullopt;
  const auto field = [&](int i) { return Be32(f, std::size_t(i) * 4); };
  const std::uint32_t header = field(0), format = field(2), width = field(4), height = field(5),
                      byte_order = field(7), bpp = field(11), stride = field(12),
                      masks[3] = {field(14), field(15), field(16)}, ncolours = field(19);
  if (format != 2 || (bpp != 32 && bpp != 24)) return std::nullopt;  // 2: ZPixmap
  for (std::uint32_t m : masks)
    if (m == 0 || (m >> std::countr_zero(m)) != 0xFF) return std::nullopt;
  const std::size_t start = std::size_t(header) + std::size_t(ncolours) * 12;
  if (f.size() < start + std::size_t(stride) * height) return std::nullopt;
  Image img;
  img.width = int(width);
  img.height = int(height);
  img.pixels.resize(std::size_t(width) * height);
  const std::size_t bytes = bpp / 8;
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::size_t at = start + std::size_t(y) * stride + x * bytes;
      std::uint32_t v = 0;
      for (std::size_t b = 0; b < bytes; ++b) {
        const std::uint32_t byte = std::uint8_t(f[at + b]);
        v |= byte_order == 0 ? byte << (8 * b) : byte << (8 * (bytes - 1 - b));
      }
      const auto channel = [&](int c) {
        return std::uint8_t((v & masks[c]) >> std::countr_zero(masks[c]));
      };
      img.pixels[std::size_t(y) * width + x] = {channel(0), channel(1), channel(2)};
    }
  return img;
}

}  // namespace

bool Image::AllBlack() const { return Lit() == 0; }

std::size_t Image::Lit() const {
  std::size_t n = 0;
  for (const ref::Rgb& p : pixels) n += (p.r | p.g | p.b) != 0;
  return n;
}

ref::Picture Image::Indices() const {
  ref::Picture p(width, height);
  for (std::size_t i = 0; i < pixels.size(); ++i) p.pixels[i] = ref::ColourIndex(pixels[i]);
  return p;
}

std::optional<Image> Window::Shot() const {
  const Result r = Run({"xwd", "-silent", "-id", id_}, x_->env());
  if (r.status != 0) return std::nullopt;
  return ParseXwd(r.out);
}

std::optional<Image> Window::StableShot(Ms limit) const {
  // Three alike over 300 ms: a few segments that happen to change nothing can pass for a pause.
  std::optional<Image> last = Shot(), now;
  int alike = 0;
  const bool stable = WaitFor(
      [&] {
        now = Shot();
        alike = now && last && *now == *last ? alike + 1 : 0;
        last = now;
        return alike == 2;
      },
      limit, 150ms);
  return stable ? now : std::nullopt;
}

std::string Window::MapState() const {
  const Result r = Run({"xwininfo", "-id", id_}, x_->env());
  if (r.status != 0) return "";
  const std::string key = "Map State: ";
  const std::size_t at = r.out.find(key);
  if (at == std::string::npos) return "";
  const std::size_t from = at + key.size();
  return r.out.substr(from, r.out.find('\n', from) - from);
}

bool Window::Exists() const { return Run({"xwininfo", "-id", id_}, x_->env()).status == 0; }

void Window::Unmap() const {
  if (Run({"xdotool", "windowunmap", id_}, x_->env()).status != 0)
    throw std::runtime_error("xdotool windowunmap failed");
}

void Window::Map() const {
  if (Run({"xdotool", "windowmap", id_}, x_->env()).status != 0)
    throw std::runtime_error("xdotool windowmap failed");
}

void Window::RequestClose() const {
  if (!SendWmDelete(x_->display(), std::stoul(id_, nullptr, 0)))
    throw std::runtime_error("cannot send WM_DELETE_WINDOW");
}

std::optional<Window> FindRoseWindow(const XServer& x, Ms limit) {
  std::string id;
  WaitFor(
      [&] {
        const Result r = Run({"xdotool", "search", "--maxdepth", "1", "--name", "^rose$"}, x.env());
        std::istringstream lines(r.out);
        std::vector<std::string> ids;
        for (std::string line; std::getline(lines, line);)
          if (!line.empty()) ids.push_back(line);
        if (ids.size() == 1) id = ids[0];
        return ids.size() == 1;
      },
      limit, 50ms);
  if (id.empty()) return std::nullopt;
  return Window(x, id);
}

// ---- The terminal ---------------------------------------------------------------

namespace {

std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::atomic<int> sockets{0};

}  // namespace

Terminal::Terminal(const WorkDir& dir, const XServer* x)
    : dir_(dir),
      socket_("rose-e2e-" + std::to_string(getpid()) + "-" + std::to_string(sockets++)) {
  std::ofstream script(dir / "run.sh");
  script << "# The shell outlives Ctrl+C to record the end; the program gets the signal as usual.\n"
            "trap : INT\n"
            "cd "
         << Quoted(dir.path().string())
         << " || exit 1\n"
            "unset SDL_VIDEODRIVER WAYLAND_DISPLAY\n"
            "export DBUS_SESSION_BUS_ADDRESS=disabled:\n"
         << (x ? "export DISPLAY=" + x->display() : std::string("unset DISPLAY")) << "\n"
         << "stty -g > stty.before\n"
            "sh -c 'echo $$ > pid; exec \"$0\" 2> stderr' "
         << Quoted(ROSE_BINARY)
         << "\n"
            "echo $? > status.new\n"
            "stty -g > stty.after\n"
            "mv status.new status\n"
            "exec sleep 900\n";
  script.close();
  Tmux({"new-session", "-d", "-s", "rose", "-x", "100", "-y", "40",
        "sh " + Quoted((dir / "run.sh").string())});
}

Terminal::~Terminal() {
  const std::optional<pid_t> pid = ProgramPid();
  try {
    Tmux({"kill-server"});
  } catch (const std::exception&) {
  }
  // The hang-up ends the program; make sure of it.
  if (pid && !Ended() && !WaitFor([&] { return kill(*pid, 0) != 0; }, 3s)) kill(*pid, SIGKILL);
}

void Terminal::Tmux(const std::vector<std::string>& args, std::string* out) const {
  std::vector<std::string> argv = {"tmux", "-u", "-f", "/dev/null", "-L", socket_};
  argv.insert(argv.end(), args.begin(), args.end());
  const Result r = Run(argv, {}, 10s, dir_ / "tmux.log");
  if (r.status != 0) throw std::runtime_error("tmux " + args[0] + " failed");
  if (out) *out = r.out;
}

void Terminal::Keys(const std::vector<std::string>& tmux_keys) const {
  std::vector<std::string> args = {"send-keys", "-t", "rose"};
  args.insert(args.end(), tmux_keys.begin(), tmux_keys.end());
  Tmux(args);
}

void Terminal::Type(const std::string& text) const { Tmux({"send-keys", "-t", "rose", "-l", text}); }

std::vector<std::string> Terminal::Screen(bool with_history) const {
  std::string out;
  std::vector<std::string> args = {"capture-pane", "-p", "-t", "rose"};
  if (with_history) args.insert(args.end(), {"-S", "-"});
  Tmux(args, &out);
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Terminal::WaitForLine(const std::function<bool(const std::string&)>& match, Ms limit) const {
  return WaitFor(
      [&] {
        for (const std::string& line : Screen())
          if (match(line)) return true;
        return false;
      },
      limit, 50ms);
}

bool Terminal::WaitForHelp(Ms limit) const {
  return WaitForLine([](const std::string& l) { return l == "Press any key"; }, limit) &&
         WaitFor([&] { return ProgramPid().has_value(); }, 5s);
}

std::optional<pid_t> Terminal::ProgramPid() const {
  const std::optional<std::string> s = ReadFile(dir_ / "pid");
  if (!s || s->empty() || s->back() != '\n') return std::nullopt;
  return pid_t(std::atoi(s->c_str()));
}

bool Terminal::Ended() const { return fs::exists(dir_ / "status"); }

std::optional<int> Terminal::WaitForEnd(Ms limit) const {
  if (!WaitFor([&] { return Ended(); }, limit)) return std::nullopt;
  return std::atoi(ReadFile(dir_ / "status").value_or("-1").c_str());
}

std::optional<std::string> Terminal::SttyBefore() const { return ReadFile(dir_ / "stty.before"); }
std::optional<std::string> Terminal::SttyAfter() const { return ReadFile(dir_ / "stty.after"); }
std::string Terminal::Stderr() const { return ReadFile(dir_ / "stderr").value_or(""); }

std::vector<char> CodesOf(const std::string& key) {
  static const std::pair<const char*, char> nav[] = {
      {"Home", 'G'}, {"Up", 'H'},  {"PPage", 'I'}, {"Left", 'K'}, {"Right", 'M'},
      {"End", 'O'},  {"Down", 'P'}, {"NPage", 'Q'}, {"DC", 'S'},
      {"S-Up", 'H'}, {"S-Home", 'G'}, {"S-Left", 'K'}};
  for (const auto& [name, letter] : nav)
    if (key == name) return {0, letter};
  if (key.size() == 1) return {key[0]};
  throw std::logic_error("no codes known for key " + key);
}

void SavePpm(const Image& img, const fs::path& to) {
  std::ofstream out(to, std::ios::binary);
  out << "P6\n" << img.width << " " << img.height << "\n255\n";
  for (const ref::Rgb& p : img.pixels) out.put(char(p.r)).put(char(p.g)).put(char(p.b));
}

void SavePpm(const ref::Picture& p, const fs::path& to) {
  Image img;
  img.width = p.width;
  img.height = p.height;
  for (std::uint8_t c : p.pixels) img.pixels.push_back(c < 16 ? ref::kColours[c] : ref::Rgb{255, 0, 255});
  SavePpm(img, to);
}

}  // namespace e2e
