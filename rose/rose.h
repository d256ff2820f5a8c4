#pragma once

#include "platform/system.h"

struct DAT {
  Real A;  // size: centre to the tip of a petal, in pixels
  Real K;  // shape: the factor of the angle inside the sine
};

extern DAT DATA;

// Draws r = A sin(K t) for ever, one chord per pass; ends only through Halt or a run-time error.
[[noreturn]] void PAINT();
