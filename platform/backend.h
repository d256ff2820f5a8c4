// What every backend provides. One file per backend, chosen by the build:
//   window:  window_sdl2.cpp (Linux), window_win32.cpp (Windows), the tests' memory window
//   console: console_posix.cpp, console_win32.cpp, the tests' scripted console
//   process: process.cpp (both systems), the tests' version that throws
// The portable layer (graph.cpp, crt.cpp, system.cpp) calls nothing else of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/surface.h"

struct Size {
  int width = 0, height = 0;
};

// ---- Window ----------------------------------------------------------------
// Opens the window as large as the usable desktop allows, shows it painted black
// and returns its size; from then on the backend keeps it painted by itself,
// taking what the program drew with FrameTakeChanged at most once per display
// frame. Returns {0, 0}, after one line on standard error, when no window can be had.
Size WindowOpen();
// Stops the window's thread and lets the window go. Idempotent; safe when never opened.
void WindowClose();

// Provided to window backends by graph.cpp: copies what changed since the last
// call into `frame` (a surface of the window's size) and lists the areas copied.
// Holds up the drawing thread only for the copy.
bool FrameTakeChanged(Surface& frame, std::vector<Rect>& areas);

// ---- Console -----------------------------------------------------------------
// The backend takes the console over before main runs (keys unechoed, one at a
// time, Ctrl+C still a signal) and gives it back on every way out.

// Writes code page 866 bytes as the console's own text, then CR LF, flushed.
void ConsoleWriteLine(std::string_view cp866);
// Appends the key codes that have arrived (see keys.h for their form). With
// `wait`, blocks until at least one is there. False when input has ended for good
// and nothing was appended.
bool ConsoleReadKeys(std::string& codes, bool wait);
// Sleeps `ms` milliseconds of monotonic time, whatever signals arrive.
void ConsoleDelay(unsigned ms);
// Gives the console back as it was found. Idempotent; async-signal-safe on POSIX.
void ConsoleRestore();

// ---- Process -----------------------------------------------------------------
[[noreturn]] void ProcessExit(int status);
