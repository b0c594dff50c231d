#include "output/label.h"

void Check_Label_List(const Run_Configuration& config) {
  for (char letter : config.Label_List)
    if (!Label_Components::Is_Letter(letter)) throw Selection_Error();
}

void Build_Label(const Run_Configuration& config, const Label_Components& components,
                 std::string& label) {
  Check_Label_List(config);
  label.clear();
  For_Each_Label_Piece(config, components, [&label](std::string_view piece) { label += piece; });
}
