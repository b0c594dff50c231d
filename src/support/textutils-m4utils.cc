#include "support/textutils-m4utils.h"

#include <cstddef>

namespace Textutils::M4utils {

namespace {

constexpr Character_Set Macro_Start_Set = Letter_Set | To_Set("_");
constexpr Character_Set Macro_Continuation_Set = Macro_Start_Set | Decimal_Digit_Set;
static_assert(Macro_Start_Set[233] && !Macro_Start_Set['1'] && Macro_Continuation_Set['1']);

constexpr Character_Mapping Backquote_To_Apostrophe = To_Mapping("`", "'");

// T inside LEVELS pairs of m4 quotes. Each apostrophe of T closes every level,
// stands as itself and reopens them, so it comes out of LEVELS rounds of quote
// removal as one apostrophe. T holds no backquote.
std::string Quoted(std::string_view t, std::size_t levels) {
  if (levels == 0) return std::string(t);
  const std::string open(levels, '`');
  const std::string close(levels, '\'');
  const std::string apostrophe = close + "'" + open;
  return open + String_Map(t, "'", apostrophe, Replace_Type::EVERY, Identity) + close;
}

// Quote_Type counts quote levels.
constexpr std::size_t Levels(Quote_Type quote) { return static_cast<std::size_t>(quote); }
static_assert(Levels(Quote_Type::NONE) == 0 && Levels(Quote_Type::DOUBLE) == 2);

}  // namespace

bool Is_Macro(std::string_view name) {
  if (name.empty() || !Macro_Start_Set.Has(name[0])) return false;
  return name.size() == 1 || Is_In(name.substr(1), Macro_Continuation_Set);
}

std::string To_Exp(std::string_view expansion, Quote_Type quote) {
  return Quoted(Translate(expansion, Backquote_To_Apostrophe), Levels(quote));
}

std::string To_Def(std::string_view name, std::string_view expansion, Quote_Type quote,
                   std::string_view guard, bool guard_undefined) {
  if (!Is_Macro(name)) throw Invalid_Macro_Name(name);
  if (!guard.empty() && !Is_Macro(guard)) throw Invalid_Macro_Name(guard);
  const std::string head = "define(`" + std::string(name) + "',";
  if (guard.empty()) return head + To_Exp(expansion, quote) + ")";

  // The definition is an argument of ifdef, which strips one quote level
  // before the definition is read: the expansion carries one level more.
  const std::string body = "`" + head + "'" +
                           Quoted(Translate(expansion, Backquote_To_Apostrophe),
                                  Levels(quote) + 1) +
                           "`)'";
  return "ifdef(`" + std::string(guard) + "'," + (guard_undefined ? "," : "") + body + ")";
}

}  // namespace Textutils::M4utils
