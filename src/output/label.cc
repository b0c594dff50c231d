#include "output/label.h"

void Check_Label_List(const Run_Configuration& config) {
  for (char letter : config.Label_List)
    if (!Label_Components::Is_Letter(letter)) throw Selection_Error();
}
