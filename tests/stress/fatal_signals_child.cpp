// Runs on a pseudo-terminal with the POSIX console taking it over before main, then
// meets the ending named by its argument. Another handler (a sanitizer's, a debugger's)
// may be there before the console's: it is installed here before any static object.
#include <signal.h>
#include <sys/mman.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Say(const char* s) { (void)!write(STDOUT_FILENO, s, std::strlen(s)); }

void EarlierHandler(int) {
  Say("earlier handler\r\n");
  _exit(42);
}

const char* Ending() {  // argv[1], before main
  static char name[32];
  if (FILE* f = std::fopen("/proc/self/cmdline", "r")) {
    char all[256] = {};
    const std::size_t n = std::fread(all, 1, sizeof all - 1, f);
    std::fclose(f);
    const std::size_t first = std::strlen(all) + 1;
    if (first < n) std::snprintf(name, sizeof name, "%s", all + first);
  }
  return name;
}

__attribute__((constructor(101))) void BeforeStaticObjects() {
  const char* ending = Ending();
  if (!std::strcmp(ending, "segv-chained")) signal(SIGSEGV, EarlierHandler);
  if (!std::strcmp(ending, "int-ignored")) signal(SIGINT, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  termios t;
  if (tcgetattr(STDIN_FILENO, &t) != 0 || (t.c_lflag & ECHO)) {
    Say("not taken over\r\n");
    return 3;
  }
  Say("raw\r\n");
  const char* ending = argv[1];
  if (!std::strcmp(ending, "segv") || !std::strcmp(ending, "segv-chained")) {
    // A page that may not be touched: a fault of the hardware, not one a sanitizer foresees.
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return 6;
    std::printf("page at %p\r\n", page);
    std::fflush(stdout);
    return *static_cast<volatile char*>(page);
  }
  if (!std::strcmp(ending, "term")) raise(SIGTERM);
  if (!std::strcmp(ending, "abort")) std::abort();
  if (!std::strcmp(ending, "int-ignored")) {
    raise(SIGINT);
    Say("still here\r\n");
    return 0;
  }
  if (!std::strcmp(ending, "exit")) std::exit(5);
  return 4;
}
