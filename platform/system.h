// The run-time: the program's numeric types, sine and cosine in extended precision,
// checked rounding, Halt and run-time errors.
#pragma once

#include <cstdint>

using Integer = std::int16_t;  // signed 16-bit
using Word = std::uint16_t;    // unsigned 16-bit
using Real = double;           // 64-bit floating point
using Extended = long double;  // 80-bit on x86-64 (GCC and MinGW)

Extended Sin(Extended x);
Extended Cos(Extended x);

// The caller's place comes from __builtin_FILE and __builtin_LINE as default
// arguments: std::source_location is not there with clang 14 and libstdc++ 12.

// Nearest whole number, ties to even, stored into an Integer. A result outside
// -32768 ... 32767 (or no number at all) is run-time error 201 at the caller.
Integer Round(Extended x, const char* file = __builtin_FILE(), unsigned line = __builtin_LINE());

// Ends the program with `code` as exit status: terminal restored, window closed.
[[noreturn]] void Halt(Word code);

// "Runtime error <code> at <place>" on standard output, then exit status `code`.
[[noreturn]] void RunError(Word code, const char* file = __builtin_FILE(),
                           unsigned line = __builtin_LINE());
