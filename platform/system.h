// The run-time: the program's numeric types, sine and cosine in extended precision,
// checked rounding, Halt and run-time errors.
#pragma once

#include <cstdint>
#include <source_location>

using Integer = std::int16_t;  // signed 16-bit
using Word = std::uint16_t;    // unsigned 16-bit
using Real = double;           // 64-bit floating point
using Extended = long double;  // 80-bit on x86-64 (GCC and MinGW)

Extended Sin(Extended x);
Extended Cos(Extended x);

// Nearest whole number, ties to even, stored into an Integer. A result outside
// -32768 ... 32767 (or no number at all) is run-time error 201 at the caller.
Integer Round(Extended x, std::source_location where = std::source_location::current());

// Ends the program with `code` as exit status: terminal restored, window closed.
[[noreturn]] void Halt(Word code);

// "Runtime error <code> at <place>" on standard output, then exit status `code`.
[[noreturn]] void RunError(Word code, std::source_location where = std::source_location::current());
