#include "support/textutils-m4utils.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace Textutils::M4utils {

namespace {

constexpr Character_Set Macro_Start_Set =
    To_Range_Set('A', 'Z') | To_Range_Set('a', 'z') | To_Set("_");
constexpr Character_Set Macro_Continuation_Set = Macro_Start_Set | Decimal_Digit_Set;
static_assert(!Macro_Start_Set[233] && !Macro_Start_Set['1'] && Macro_Continuation_Set['1']);

// Every name that GNU m4 defines before it reads its input, whatever its
// build and platform: a definition of one of them redefines m4 itself.
constexpr std::array<std::string_view, 52> Builtin_Names = {
    "__file__",  "__gnu__",  "__line__", "__os2__",  "__program__", "__unix__",   "__windows__",
    "builtin",   "changecom", "changequote", "changeword", "debugfile", "debugmode", "decr",
    "define",    "defn",     "divert",   "divnum",   "dnl",      "dumpdef",    "errprint",
    "esyscmd",   "eval",     "format",   "ifdef",    "ifelse",   "include",    "incr",
    "index",     "indir",    "len",      "m4exit",   "m4wrap",   "maketemp",   "mkstemp",
    "os2",       "patsubst", "popdef",   "pushdef",  "regexp",   "shift",      "sinclude",
    "substr",    "syscmd",   "sysval",   "traceoff", "traceon",  "translit",   "undefine",
    "undivert",  "unix",     "windows",
};

// T inside LEVELS pairs of m4 quotes; see Exp_Writer.
std::string Quoted(std::string_view t, std::size_t levels) {
  std::string r;
  r.reserve(t.size() + 2 * levels);
  const Exp_Quotes quotes(levels);
  auto append = [&r](std::string_view piece) { r.append(piece); };
  Exp_Writer writer(quotes, append);
  writer.Begin();
  writer.Piece(t);
  writer.End();
  return r;
}

// Quote_Type counts quote levels.
constexpr std::size_t Levels(Quote_Type quote) { return static_cast<std::size_t>(quote); }
static_assert(Levels(Quote_Type::NONE) == 0 && Levels(Quote_Type::DOUBLE) == 2);

}  // namespace

Exp_Quotes::Exp_Quotes(Quote_Type quote) : Exp_Quotes(Levels(quote)) {}

Exp_Quotes::Exp_Quotes(std::size_t levels)
    : open(levels, '`'), close(levels, '\''), apostrophe(close + "'" + open) {}

bool Is_Macro(std::string_view name) {
  if (name.empty() || !Macro_Start_Set.Has(name[0])) return false;
  if (name.size() > 1 && !Is_In(name.substr(1), Macro_Continuation_Set)) return false;
  return std::find(Builtin_Names.begin(), Builtin_Names.end(), name) == Builtin_Names.end();
}

std::string To_Exp(std::string_view expansion, Quote_Type quote) {
  return Quoted(expansion, Levels(quote));
}

}  // namespace Textutils::M4utils
