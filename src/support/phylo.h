// Character sets and label maps for phylogenetic file formats. Every map turns
// the characters a format cannot carry in a bare label into '_'.
#pragma once

#include "support/textutils.h"

namespace Phylo {

using Textutils::Character_Mapping;
using Textutils::Character_Set;

// Letters, digits and '_'; Word_Map turns everything else into '_'.
inline constexpr Character_Set Word_Set =
    Textutils::Letter_Set | Textutils::Decimal_Digit_Set | Textutils::To_Set("_");
inline constexpr Character_Mapping Word_Map = Textutils::Map_All(~Word_Set, '_');

// Printable characters a NEXUS word may hold without quoting.
inline constexpr Character_Set Nexus_Label_Set =
    Textutils::Graphic_Set - Textutils::To_Set(" ()[]{}/\\,;:=*'\"`+-<>");
inline constexpr Character_Mapping Nexus_Label_Map = Textutils::Map_All(~Nexus_Label_Set, '_');

// Printable characters a Newick label may hold without quoting. Square
// brackets are out too: every Newick reader takes "[...]" as a comment.
inline constexpr Character_Set Newick_Label_Set =
    Textutils::Graphic_Set - Textutils::To_Set(" (),;:'[]");
inline constexpr Character_Mapping Newick_Label_Map = Textutils::Map_All(~Newick_Label_Set, '_');

// Only the blank changes, to '_'.
inline constexpr Character_Mapping No_Space = Textutils::To_Mapping(" ", "_");

}  // namespace Phylo
