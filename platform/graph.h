// Graph: the classic PC graphics operations over one window of 8-bit colour indices.
#pragma once

#include <string_view>

#include "platform/system.h"

constexpr Integer Detect = 0;  // let InitGraph choose driver and mode
constexpr Integer D8bit = 1;   // the one driver: 256 colours in a desktop window
constexpr Integer mDesktop = 0;  // its one mode: as large as the usable desktop

// Opens the window (or, with no display, a surface no one sees) and resets the
// drawing state: cleared, position (0, 0), colour 15, viewport = whole surface.
void InitGraph(Integer& GraphDriver, Integer& GraphMode, std::string_view PathToDriver);

Integer GetMaxX();
Integer GetMaxY();
Integer GetX();
Integer GetY();
void SetColor(Word Color);
Word GetColor();
Word GetPixel(Integer X, Integer Y);

// Line from the current position to (X, Y), both ends, clipped; (X, Y) becomes current.
void LineTo(Integer X, Integer Y);

// Fills the viewport with black and moves the current position to (0, 0).
void ClearViewPort();
