#include "platform/crt.h"
#include "platform/graph.h"
#include "rose/rose.h"

DAT DATA = {0, 0};

void PAINT() {
  const Real N = 1;
  Integer COLOR;
  Real ALFA;
  Integer X0, Y0, X, Y;
  char KEY;

  COLOR = 15;
  SetColor(COLOR);
  DATA.A = 310;
  DATA.K = 5;
  ALFA = 0;

  for (;;) {
    SetColor(COLOR);
    X0 = GetMaxX() / 2;
    Y0 = GetMaxY() / 2;
    Delay(10);
    if (KeyPressed()) {
      KEY = ReadKey();
      switch (KEY) {
        case 'G':  // Home: pause until any key, which is discarded
          ReadKey();
          break;
        case 'H':  // Up
          DATA.A = DATA.A + 1;
          break;
        case 'I':  // Page Up
          COLOR = COLOR - 1;
          break;
        case 'K':  // Left
          DATA.K = DATA.K - 1;
          ClearViewPort();
          break;
        case 'M':  // Right
          DATA.K = DATA.K + 1;
          ClearViewPort();
          break;
        case 'O':  // End
          Halt(0);
        case 'P':  // Down
          DATA.A = DATA.A - 1;
          break;
        case 'Q':  // Page Down
          COLOR = COLOR + 1;
          break;
        case 'S':  // Delete
          ClearViewPort();
          break;
      }
    }
    if (COLOR < 0) COLOR = 15;
    if (COLOR > 15) COLOR = 0;
    ALFA = ALFA + N;
    // Extended(ALFA) keeps the product ALFA * K in extended precision, like the rest
    X = Round(Cos(ALFA) * DATA.A * Sin(Extended(ALFA) * DATA.K) + X0);
    Y = Round(Sin(ALFA) * DATA.A * Sin(Extended(ALFA) * DATA.K) + Y0);
    LineTo(X, Y);
  }
}
