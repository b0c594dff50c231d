#include "genbank/line_primitives.h"

#include "support/textutils.h"

namespace {

std::string Format_Message(Position_Type current, Position_Type expected, std::string_view line) {
  std::string m(Image(current));
  m += " vs. ";
  m += Image(expected);
  m += " : ";
  m += line;
  return m;
}

}  // namespace

Genbank_Format_Error::Genbank_Format_Error(Position_Type current, Position_Type expected,
                                           std::string_view line)
    : Failure("TARVELO.GENBANK_FORMAT_ERROR", Format_Message(current, expected, line)) {}

void Throw_Format_Error(Position_Type current, Position_Type expected, std::string_view line) {
  throw Genbank_Format_Error(current, expected, line);
}

void To_Lc(std::string_view text, const Run_Configuration& config, std::string& out) {
  const std::string_view trimmed =
      Textutils::Trim(text, Textutils::Whitespace, Textutils::Whitespace);
  if (config.Quote_Labels) {
    out = Textutils::String_Map(trimmed, "'", "''", Textutils::Replace_Type::EVERY,
                                Textutils::Identity);
  } else {
    out.assign(trimmed);
    Textutils::Translate_In_Place(out, config.Replacement_Map);
  }
}

std::string To_Lc(std::string_view text, const Run_Configuration& config) {
  std::string out;
  To_Lc(text, config, out);
  return out;
}
