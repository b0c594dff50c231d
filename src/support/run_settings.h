// The run configuration: the run-wide settings that options fill and that the
// reader and the writer only read, and the run's constants. It sits below
// every layer that reads it.
#pragma once

#include <string>
#include <string_view>

#include "support/phylo.h"
#include "support/textutils-m4utils.h"
#include "support/textutils.h"

using Textutils::M4utils::Quote_Type;

struct Run_Configuration {
  std::string Label_List = "oa";  // one letter per label component, kept verbatim
  char Separator = '_';
  Textutils::Character_Mapping Replacement_Map = Phylo::No_Space;
  bool Quote_Labels = false;
  bool Tab_Separated = false;
  bool M4_Mode = false;
  std::string M4_File_Name;
  Quote_Type Macro_Quotes = Quote_Type::DOUBLE;
  bool Format_Check = true;
  bool Taxon_Prefix = false;  // set after option parsing: -m and a list that begins with 'i'
};

// The value of a component that a record does not provide.
inline constexpr std::string_view Unknown_Text = "UNKNOWN";
// The file-name component of standard input.
inline constexpr std::string_view Stdin_Name = "STDIN";
// Removed from accession values: the underscore and all whitespace.
inline constexpr Textutils::Character_Set Strip_Set =
    Textutils::To_Set("_") | Textutils::Whitespace;
// Removed from sequence lines: everything that is not a letter.
inline constexpr Textutils::Character_Set Non_Letters = ~Textutils::Letter_Set;
