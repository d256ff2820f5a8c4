#pragma once

// The instruction screen: the help text, then one key.
void DESCRIPTION();
