#include "platform/backend.h"
#include "tests/support/fakes.h"

void ProcessExit(int status) { throw fake::Exit{status}; }
