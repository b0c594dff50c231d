// Assembly of a record's label from the selected components.
#pragma once

#include <string>
#include <string_view>

#include "genbank/label_components.h"
#include "support/run_settings.h"
#include "support/failure.h"

// A character of the label list that is not a letter 'a' to 'z'.
class Selection_Error : public Failure {
 public:
  Selection_Error() : Failure("TARVELO.PRINT_LABEL.SELECTION_ERROR", "Invalid label component.") {}
};

// The label is the components named by Label_List, in its order, joined by
// Separator and, with Quote_Labels, enclosed in apostrophes. It is never
// cleaned: values were cleaned when they were stored.

// Throws Selection_Error when Label_List holds a character outside 'a'-'z'.
void Check_Label_List(const Run_Configuration& config);

// Hands the pieces of the label, in order, to Append (a callable taking a
// std::string_view). Label_List must have passed Check_Label_List.
template <class Append>
void For_Each_Label_Piece(const Run_Configuration& config, const Label_Components& components,
                          Append&& append) {
  const std::string_view quote = config.Quote_Labels ? "'" : "";
  const std::string_view separator(&config.Separator, 1);
  append(quote);
  for (std::size_t i = 0; i < config.Label_List.size(); ++i) {
    if (i > 0) append(separator);
    append(components[config.Label_List[i]]);
  }
  append(quote);
}

