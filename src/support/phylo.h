// Character sets and label maps for phylogenetic file formats. Every map turns
// the characters a format cannot carry in a bare label into '_'.
#pragma once

#include "support/textutils.h"

namespace Phylo {

using Textutils::Character_Mapping;
using Textutils::Character_Set;

inline constexpr Character_Set Nuc_Set = Textutils::To_Set("acgt");
inline constexpr Character_Set Gapped_Nuc_Set = Textutils::To_Set("acgt-");
inline constexpr Character_Set Non_Nuc_Set = ~Nuc_Set;
inline constexpr Character_Set Non_Gapped_Nuc_Set = ~Gapped_Nuc_Set;
inline constexpr Character_Set Wide_Nuc_Set =
    Textutils::To_Set("acgtrymkswhbvdnACGTRYMKSWHBVDN?");
inline constexpr Character_Set Wide_Gapped_Nuc_Set =
    Textutils::To_Set("acgtrymkswhbvdnACGTRYMKSWHBVDN-?");
inline constexpr Character_Set Non_Wide_Nuc_Set = ~Wide_Nuc_Set;
inline constexpr Character_Set Non_Wide_Gapped_Nuc_Set = ~Wide_Gapped_Nuc_Set;
inline constexpr Character_Set Wide_Amino_Acid_Set =
    Textutils::To_Set("acdefghiklmnpqrstvwyACDEFGHIKLMNPQRSTVWY*-?");
inline constexpr Character_Set Non_Wide_Amino_Acid_Set = ~Wide_Amino_Acid_Set;
inline constexpr Character_Mapping Good_Gaps = Textutils::To_Mapping(".", "-");

// Letters, digits and '_'; everything else becomes '_' under Word_Map.
inline constexpr Character_Set Word_Set =
    Textutils::Letter_Set | Textutils::Decimal_Digit_Set | Textutils::To_Set("_");
inline constexpr Character_Set Non_Word_Set = ~Word_Set;
inline constexpr Character_Mapping Word_Map = Textutils::Map_All(Non_Word_Set, '_');

// Printable characters a NEXUS word may hold without quoting.
inline constexpr Character_Set Nexus_Label_Set =
    Textutils::Graphic_Set - Textutils::To_Set(" ()[]{}/\\,;:=*'\"`+-<>");
inline constexpr Character_Set Non_Nexus_Label_Set = ~Nexus_Label_Set;
inline constexpr Character_Mapping Nexus_Label_Map = Textutils::Map_All(Non_Nexus_Label_Set, '_');

// Printable characters a Newick label may hold without quoting. Square
// brackets are out too: every Newick reader takes "[...]" as a comment.
inline constexpr Character_Set Newick_Label_Set =
    Textutils::Graphic_Set - Textutils::To_Set(" (),;:'[]");
inline constexpr Character_Set Non_Newick_Label_Set = ~Newick_Label_Set;
inline constexpr Character_Mapping Newick_Label_Map =
    Textutils::Map_All(Non_Newick_Label_Set, '_');

inline constexpr Character_Set Blackspace = ~Textutils::Whitespace;

// Only the blank changes, to '_'.
inline constexpr Character_Mapping No_Space = Textutils::To_Mapping(" ", "_");
inline constexpr Character_Mapping Good_Comment = Textutils::To_Mapping("[]", "{}");

}  // namespace Phylo
