// Crt: console text output, delays and the keyboard.
#pragma once

#include "platform/shortstring.h"
#include "platform/system.h"

// Writes the code page 866 bytes of `S` and a line break (CR LF); on screen at return.
void WriteLn(const ShortString& S);

void Delay(Word MS);

// True while a code is waiting; never waits and takes nothing.
bool KeyPressed();

// One byte per call: a character, or 0 and then the scan code of a key without one.
char ReadKey();
