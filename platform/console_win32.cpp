// The console on Windows: key records from the console input buffer, lines written
// as UTF-16, the input mode taken once before main and given back on every way out.
// With standard input not a console, its bytes are decoded as on a POSIX terminal.
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/backend.h"
#include "platform/cp866.h"
#include "platform/keyrecords.h"
#include "platform/keys.h"

namespace {

constexpr DWORD kEscTimeoutMs = 50;  // a sequence's bytes come closer together than this
constexpr DWORD kControlCExit = 0xC000013A;  // STATUS_CONTROL_C_EXIT, as Windows' own handler

HANDLE in = INVALID_HANDLE_VALUE, out = INVALID_HANDLE_VALUE;
bool in_console = false, out_console = false;

// ---- The input mode: the one thing changed in the console --------------------------

DWORD saved_mode = 0;
std::atomic<bool> owned{false};  // we changed the mode and have not given it back

BOOL WINAPI OnControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      ConsoleRestore();
      ExitProcess(kControlCExit);  // no exit handlers, as a signal ends a POSIX process
  }
  return FALSE;
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS*) {
  ConsoleRestore();
  return EXCEPTION_CONTINUE_SEARCH;
}

void AtExit() {
  ConsoleRestore();
  timeEndPeriod(1);
}

struct TakeOver {
  TakeOver() {
    in = GetStdHandle(STD_INPUT_HANDLE);
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    out_console = out != INVALID_HANDLE_VALUE && out && GetConsoleMode(out, &mode);
    in_console = in != INVALID_HANDLE_VALUE && in && GetConsoleMode(in, &saved_mode);
    timeBeginPeriod(1);  // Sleep(10) sleeps 10 ms, not a 15.6 ms tick
    SetConsoleCtrlHandler(OnControl, TRUE);
    SetUnhandledExceptionFilter(OnCrash);
    std::atexit(AtExit);
    if (!in_console) return;
    // Keys one at a time, unechoed, as records; Ctrl+C stays a control event.
    DWORD keys = saved_mode & ~DWORD(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_MOUSE_INPUT |
                                     ENABLE_WINDOW_INPUT | ENABLE_VIRTUAL_TERMINAL_INPUT);
    keys |= ENABLE_PROCESSED_INPUT;
    if (SetConsoleMode(in, keys)) owned = true;
  }
} take_over;

// ---- Keys from the console ------------------------------------------------------

bool ended = false;  // input has no more keys

void TakeRecords(std::string& codes) {
  DWORD available = 0;
  if (!GetNumberOfConsoleInputEvents(in, &available)) {
    ended = true;
    return;
  }
  INPUT_RECORD records[64];
  while (available > 0) {
    DWORD got = 0;
    if (!ReadConsoleInputW(in, records, std::min<DWORD>(available, 64), &got) || got == 0) {
      ended = true;
      return;
    }
    available -= std::min(available, got);
    for (DWORD i = 0; i < got; ++i) {
      if (records[i].EventType != KEY_EVENT) continue;
      const KEY_EVENT_RECORD& k = records[i].Event.KeyEvent;
      AppendKeyCodes({k.bKeyDown != FALSE, k.wRepeatCount, k.wVirtualKeyCode,
                      char16_t(k.uChar.UnicodeChar), k.dwControlKeyState},
                     codes);
    }
  }
}

void ReadRecords(std::string& codes, bool wait, std::size_t before) {
  TakeRecords(codes);
  while (wait && codes.size() == before && !ended) {
    if (WaitForSingleObject(in, INFINITE) != WAIT_OBJECT_0) ended = true;
    else TakeRecords(codes);
  }
}

// ---- Bytes from a pipe or a file ------------------------------------------------

KeyDecoder decoder;
ULONGLONG last_byte = 0;  // when the decoder last got one

// How many bytes can be read at once without waiting; 1 for a file, which never waits.
DWORD BytesReady() {
  if (GetFileType(in) != FILE_TYPE_PIPE) return 1;
  DWORD ready = 0;
  if (!PeekNamedPipe(in, nullptr, 0, nullptr, &ready, nullptr)) return 1;  // ReadFile tells why
  return ready;
}

void ReadBytes(std::string& codes) {
  char buf[256];
  DWORD got = 0;
  if (!ReadFile(in, buf, sizeof buf, &got, nullptr) || got == 0) {
    ended = true;
  } else {
    for (DWORD i = 0; i < got; ++i) decoder.Feed(std::uint8_t(buf[i]), codes);
    last_byte = GetTickCount64();
  }
}

void ReadStream(std::string& codes, bool wait, std::size_t before) {
  for (;;) {
    if (!ended && BytesReady() > 0) ReadBytes(codes);
    if (decoder.Pending() && (ended || GetTickCount64() - last_byte >= kEscTimeoutMs))
      decoder.Flush(codes);
    if (!wait || codes.size() > before || ended) return;
    if (decoder.Pending())
      Sleep(1);  // a pipe cannot be waited on with a timeout: look again shortly
    else
      ReadBytes(codes);  // blocks until bytes or the end come
  }
}

void WriteAll(const char* data, DWORD size) {
  while (size > 0) {
    DWORD done = 0;
    if (!WriteFile(out, data, size, &done, nullptr) || done == 0) return;  // the text is lost
    data += done;
    size -= done;
  }
}

}  // namespace

void ConsoleWriteLine(std::string_view cp866) {
  if (out_console) {
    const std::u16string text = Cp866ToUtf16(cp866) + u"\r\n";
    const wchar_t* at = reinterpret_cast<const wchar_t*>(text.data());
    for (DWORD left = DWORD(text.size()); left > 0;) {
      DWORD done = 0;
      if (!WriteConsoleW(out, at, left, &done, nullptr) || done == 0) return;
      at += done;
      left -= done;
    }
  } else {
    const std::string text = Cp866ToUtf8(cp866) + "\r\n";
    WriteAll(text.data(), DWORD(text.size()));
  }
}

bool ConsoleReadKeys(std::string& codes, bool wait) {
  const std::size_t before = codes.size();
  if (in_console)
    ReadRecords(codes, wait, before);
  else
    ReadStream(codes, wait, before);
  return codes.size() > before || !ended;
}

void ConsoleDelay(unsigned ms) { Sleep(ms); }

void ConsoleRestore() {
  if (owned.exchange(false)) SetConsoleMode(in, saved_mode);
}
