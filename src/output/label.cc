#include "output/label.h"

void Build_Label(const Run_Configuration& config, const Label_Components& components,
                 std::string& label) {
  label.clear();
  if (config.Quote_Labels) label += '\'';
  bool first = true;
  for (char letter : config.Label_List) {
    if (!first) label += config.Separator;
    first = false;
    if (!Label_Components::Is_Letter(letter)) throw Selection_Error();
    label += components[letter];
  }
  if (config.Quote_Labels) label += '\'';
}
