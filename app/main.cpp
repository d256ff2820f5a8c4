#include "app/description.h"
#include "platform/graph.h"
#include "rose/rose.h"

Integer GRDRIVER = Detect;
Integer GRMODE = 0;

int main() {
  InitGraph(GRDRIVER, GRMODE, "");
  DESCRIPTION();
  PAINT();
  return 0;
}
