#include <cstdio>
#include <cstdlib>

#include "platform/backend.h"

void ProcessExit(int status) {
  std::fflush(nullptr);
  std::exit(status);
}
