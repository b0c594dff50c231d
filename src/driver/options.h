// Command-line options. The scan runs from the last argument to the first, so
// when two options set the same setting the leftmost wins, setting by setting.
#pragma once

#include <string>
#include <vector>

#include "genbank/label_components.h"
#include "support/run_settings.h"
#include "support/failure.h"

class Command_Line_Error : public Failure {
 public:
  Command_Line_Error()
      : Failure("TARVELO.PARSE_ARGUMENTS.COMMAND_LINE_ERROR", "Invalid argument.") {}
};

// Applies every option of Args to Config (and the -u value to component 'u')
// and removes it with its value; the input names stay, in their order. An
// option is an argument of exactly two characters "-X" with X one of l m o q r
// s t u; any other argument is an input name. An option's value is the
// argument after it once the options to its right are gone. Throws
// Command_Line_Error for a missing or bad value.
void Parse_Arguments(std::vector<std::string>& args, Run_Configuration& config,
                     Label_Components& components);
