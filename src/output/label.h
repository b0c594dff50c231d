// Assembly of a record's label from the selected components.
#pragma once

#include <string>

#include "driver/run_config.h"
#include "support/failure.h"

// A character of the label list that is not a letter 'a' to 'z'.
class Selection_Error : public Failure {
 public:
  Selection_Error() : Failure("TARVELO.PRINT_LABEL.SELECTION_ERROR", "Invalid label component.") {}
};

// The components named by Label_List, in its order, joined by Separator and,
// with Quote_Labels, enclosed in apostrophes. The label itself is never cleaned:
// values were cleaned when they were stored. Replaces Label; throws
// Selection_Error (Label is then unspecified).
void Build_Label(const Run_Configuration& config, const Label_Components& components,
                 std::string& label);
