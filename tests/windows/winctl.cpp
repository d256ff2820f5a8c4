// What a user or Windows does to rose, from another program.
//   winctl run PROGRAM   runs PROGRAM on this console and exits with its status, or
//                        with 99 when it left the console's input mode changed
//   winctl minimize | restore | repaint | close | keys
// The rest handle the window named rose: minimize and restore check that it took the
// state (exit 3 if not); repaint has Windows ask for all of it again; keys types End,
// Home and the letters O and G into it, which must do nothing. Exit 1: no window.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

BOOL WINAPI StayOnCtrlC(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

int Run(char* program) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD before = 0, after = 0, status = 0;
  if (!GetConsoleMode(in, &before)) {
    std::fprintf(stderr, "winctl: standard input is not a console\n");
    return 2;
  }
  SetConsoleCtrlHandler(StayOnCtrlC, TRUE);  // Ctrl+C is for the program; not inherited
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(nullptr, program, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "winctl: cannot start %s\n", program);
    return 2;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &status);
  GetConsoleMode(in, &after);
  std::printf("console input mode: %#lx before, %#lx after; exit code %#lx\n", before, after, status);
  std::fflush(stdout);
  return before == after ? int(status) : 99;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && !std::strcmp(argv[1], "run")) return Run(argv[2]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: winctl run PROGRAM | minimize|restore|repaint|close|keys\n");
    return 2;
  }
  HWND window = FindWindowW(nullptr, L"rose");
  if (!window) {
    std::fprintf(stderr, "winctl: no window named rose\n");
    return 1;
  }
  const char* what = argv[1];
  if (!std::strcmp(what, "minimize")) {
    ShowWindow(window, SW_MINIMIZE);
    if (!IsIconic(window)) return 3;
  } else if (!std::strcmp(what, "restore")) {
    ShowWindow(window, SW_RESTORE);
    if (IsIconic(window)) return 3;
  } else if (!std::strcmp(what, "repaint")) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  } else if (!std::strcmp(what, "close")) {
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else if (!std::strcmp(what, "keys")) {
    SetForegroundWindow(window);
    const WPARAM keys[] = {VK_END, VK_HOME};
    for (WPARAM vk : keys) {
      PostMessageW(window, WM_KEYDOWN, vk, 1);
      PostMessageW(window, WM_KEYUP, vk, LPARAM(0xC0000001));
    }
    const wchar_t letters[] = {L'O', L'G'};
    for (wchar_t c : letters) PostMessageW(window, WM_CHAR, WPARAM(c), 1);
  } else {
    std::fprintf(stderr, "winctl: %s: unknown\n", what);
    return 2;
  }
  return 0;
}
