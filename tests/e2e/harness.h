// Drives the built program from outside: a bare X server (Xvfb), a terminal (tmux)
// that types keys and shows the screen, and screenshots of the window (xwd).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/reference.h"

namespace e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

// Polls `done` every `every` until it holds or `limit` has passed; true if it held.
bool WaitFor(const std::function<bool()>& done, Ms limit, Ms every = 20ms);

// ---- Processes -------------------------------------------------------------------

// NAME=value entries; a bare NAME removes the variable.
using EnvChanges = std::vector<std::string>;

struct Result {
  int status = -1;  // exit status, or 128 + the signal that ended it
  std::string out;  // standard output
};

// Runs `argv` to its end, at most `limit`, standard error into `err_log` (or dropped).
Result Run(const std::vector<std::string>& argv, const EnvChanges& env = {}, Ms limit = 10s,
           const std::filesystem::path& err_log = {});

// A process left running until it is stopped or goes out of scope.
class Child {
 public:
  Child() = default;
  Child(const std::vector<std::string>& argv, const EnvChanges& env,
        const std::filesystem::path& log, int pass_fd_as_3 = -1);
  Child(Child&& o) noexcept : pid_(o.pid_) { o.pid_ = -1; }
  Child& operator=(Child&& o) noexcept {
    if (this != &o) {
      Stop();
      pid_ = o.pid_;
      o.pid_ = -1;
    }
    return *this;
  }
  ~Child() { Stop(); }

  pid_t pid() const { return pid_; }
  bool Exited();  // reaps it if so
  void Stop();    // SIGTERM, then SIGKILL if it lingers; waits for it

 private:
  pid_t pid_ = -1;
};

// A fresh directory for one test's files; kept, and named in the log, when the test failed.
class WorkDir {
 public:
  WorkDir();
  ~WorkDir();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::optional<std::string> ReadFile(const std::filesystem::path& p);

// ---- The X server ------------------------------------------------------------

class XServer {
 public:
  // A screen of width x height, 24-bit, on the first free display of :30 ... :39.
  XServer(int width, int height, const std::filesystem::path& dir);

  const std::string& display() const { return display_; }
  int width() const { return width_; }
  int height() const { return height_; }
  EnvChanges env() const { return {"DISPLAY=" + display_}; }

 private:
  int width_, height_;
  std::string display_;
  Child server_;
};

// Exact RGB pixels of a window, row by row.
struct Image {
  int width = 0, height = 0;
  std::vector<ref::Rgb> pixels;
  bool operator==(const Image&) const = default;
  ref::Rgb at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
  bool AllBlack() const;
  std::size_t Lit() const;
  // As colour indices; other colours become ref::kNotAColour.
  ref::Picture Indices() const;
};

// The program's window as X clients see it.
class Window {
 public:
  Window(const XServer& x, std::string id) : x_(&x), id_(std::move(id)) {}
  const std::string& id() const { return id_; }

  std::optional<Image> Shot() const;  // nothing when the window cannot be read (unmapped, gone)
  // A picture that stays the same over a few poll intervals.
  std::optional<Image> StableShot(Ms limit = 10s) const;
  std::string MapState() const;  // "IsViewable", "IsUnMapped", ... or "" when gone
  bool Exists() const;
  void Unmap() const;
  void Map() const;
  // What a window manager's close button sends: WM_PROTOCOLS / WM_DELETE_WINDOW.
  void RequestClose() const;

 private:
  const XServer* x_;
  std::string id_;
};

// Waits for the only top-level window named "rose".
std::optional<Window> FindRoseWindow(const XServer& x, Ms limit = 10s);

// ---- The terminal -------------------------------------------------------------------

// The program started by a shell in a tmux pane of 100 x 40 cells, between two
// `stty -g`, standard error to a file; DISPLAY as given, or none.
class Terminal {
 public:
  Terminal(const WorkDir& dir, const XServer* x);
  ~Terminal();

  void Keys(const std::vector<std::string>& tmux_keys) const;  // key names: Up, Home, C-c...
  void Type(const std::string& text) const;                    // literal characters
  std::vector<std::string> Screen(bool with_history = false) const;
  bool WaitForLine(const std::function<bool(const std::string&)>& match, Ms limit) const;
  bool WaitForHelp(Ms limit = 10s) const;

  std::optional<pid_t> ProgramPid() const;
  bool Ended() const;  // the program has ended and the shell has recorded everything
  std::optional<int> WaitForEnd(Ms limit) const;
  std::optional<std::string> SttyBefore() const;
  std::optional<std::string> SttyAfter() const;
  std::string Stderr() const;

 private:
  void Tmux(const std::vector<std::string>& args, std::string* out = nullptr) const;

  const WorkDir& dir_;
  std::string socket_;
};

// Key codes the program reads for a tmux key name, as far as commands go: navigation
// keys give 0 then their command letter; a one-character name is that character.
std::vector<char> CodesOf(const std::string& tmux_key);

// Writes `p` as a PPM picture, for a look at a failure.
void SavePpm(const Image& img, const std::filesystem::path& to);
void SavePpm(const ref::Picture& p, const std::filesystem::path& to);

}  // namespace e2e
