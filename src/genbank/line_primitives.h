// The small operations the GenBank reader is built from: the record position
// and its test, the carriage-return check, and the cleaning of a value into a
// label component.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "support/run_settings.h"
#include "support/failure.h"

// Where the reader stands in a record: the last part it has passed.
enum class Position_Type { START, DEFINITION, ACCESSION, SOURCE, ORGANISM, AUTHORS, JOURNAL,
                           TAXON_ID, SEQUENCE, STOP };

inline constexpr std::array<std::string_view, 10> Position_Images = {
    "START", "DEFINITION", "ACCESSION", "SOURCE", "ORGANISM", "AUTHORS", "JOURNAL",
    "TAXON_ID", "SEQUENCE", "STOP"};
static_assert(Position_Images.size() == static_cast<std::size_t>(Position_Type::STOP) + 1);

constexpr std::string_view Image(Position_Type p) {
  return Position_Images[static_cast<std::size_t>(p)];
}

// A record keyword out of order. The message is "CURRENT vs. EXPECTED : LINE".
class Genbank_Format_Error : public Failure {
 public:
  Genbank_Format_Error(Position_Type current, Position_Type expected, std::string_view line);
};

// Throws Genbank_Format_Error (kept out of line: it is the rare path).
[[noreturn]] void Throw_Format_Error(Position_Type current, Position_Type expected, std::string_view line);

// Checks that Position is Expected (only when Format_Check is on; throws
// Genbank_Format_Error and leaves Position alone otherwise), then moves
// Position to the part after Expected (after STOP comes START).
inline void Test_Pos(Position_Type& position, Position_Type expected, bool format_check,
                     std::string_view line) {
  if (format_check && position != expected) [[unlikely]]
    Throw_Format_Error(position, expected, line);
  position = expected == Position_Type::STOP ? Position_Type::START
                                             : static_cast<Position_Type>(static_cast<int>(expected) + 1);
}

// Cleans Text into a component value: whitespace trimmed from both ends, then
// every apostrophe doubled (Quote_Labels) or every character translated
// through Replacement_Map. The result replaces Out.
void To_Lc(std::string_view text, const Run_Configuration& config, std::string& out);
std::string To_Lc(std::string_view text, const Run_Configuration& config);
