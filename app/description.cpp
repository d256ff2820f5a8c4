#include "app/description.h"

#include "platform/crt.h"

namespace {

constexpr ShortString LINES[10] = {
    Cp866(u8"Если вы не можете выбрать ваш флимарский знак это пр. для вас !"),
    Cp866(u8"Управление : --------------------------------------------------"),
    Cp866(u8"< Home > - пауза."),
    Cp866(u8"Стрелки вправо, влево - изменение формы."),
    Cp866(u8"Стрелки вверх, вниз -  изменение размера."),
    Cp866(u8"< Page Up >, < Page down > - измененме цвета."),
    Cp866(u8"< delete > - очистка экрана."),
    Cp866(u8"< End >  - выход."),
    Cp866(u8"--------------------------------------------------------------"),
    Cp866(u8"Press any key"),
};

}  // namespace

void DESCRIPTION() {
  WriteLn(LINES[0]);
  Delay(10);
  for (int i = 1; i < 10; ++i) WriteLn(LINES[i]);
  ReadKey();
}
