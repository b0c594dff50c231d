// Turning a name and a text into one m4 macro definition. The quotes are m4's
// defaults: the backquote opens a quoted string, the apostrophe closes it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "support/failure.h"
#include "support/textutils.h"

namespace Textutils::M4utils {

// How many m4 quote levels surround an expansion.
enum class Quote_Type { NONE, SINGLE, DOUBLE };

// A name that m4 would not take as a macro name. The message is the name
// between double quotation marks.
class Invalid_Macro_Name : public Failure {
 public:
  explicit Invalid_Macro_Name(std::string_view name)
      : Failure("TEXTUTILS.M4UTILS.INVALID_MACRO_NAME", Quoted(name)) {}

 private:
  static std::string Quoted(std::string_view name) {
    std::string q;
    q.reserve(name.size() + 2);
    q.append(1, '"').append(name).append(1, '"');
    return q;
  }
};

// True for a non-empty name of ASCII letters, digits and '_' that does not
// begin with a digit and is not one of the names GNU m4 defines itself
// ("define", "dnl", "syscmd", "__file__", ...; case matters). m4 reads names
// in ASCII only, and a definition of one of its own names would make m4 run
// what later definition lines hold.
bool Is_Macro(std::string_view name);

// What To_Exp puts before and after the expansion, and in place of each
// backquote or apostrophe in it: for DOUBLE "``", "''" and "'''``". Each
// backquote or apostrophe thus closes every quote level, stands as an
// apostrophe and reopens them, so it comes out of m4 as one apostrophe.
struct Exp_Quotes {
  explicit Exp_Quotes(Quote_Type quote);
  explicit Exp_Quotes(std::size_t levels);
  std::string open, close, apostrophe;
};

// Hands To_Exp of a text to Append (a callable taking a std::string_view)
// piece by piece, without building it: Begin, then Piece for each part of the
// text in order, then End.
template <class Append>
class Exp_Writer {
 public:
  Exp_Writer(const Exp_Quotes& quotes, Append& append) : quotes_(quotes), append_(append) {}
  void Begin() { append_(std::string_view(quotes_.open)); }
  void Piece(std::string_view text) {
    // Quotes are rare: two fast searches, not one set test per character.
    std::size_t apostrophe = text.find('\''), backquote = text.find('`'), done = 0;
    for (std::size_t q; (q = std::min(apostrophe, backquote)) != std::string_view::npos;) {
      append_(text.substr(done, q - done));
      append_(std::string_view(quotes_.apostrophe));
      done = q + 1;
      (q == apostrophe ? apostrophe = text.find('\'', done) : backquote = text.find('`', done));
    }
    append_(text.substr(done));
  }
  void End() { append_(std::string_view(quotes_.close)); }

 private:
  const Exp_Quotes& quotes_;
  Append& append_;
};

// Hands "define(`NAME',EXPANSION)" to Append piece by piece, without building
// it; Name must be a macro name. For_Each_Piece is called once with a
// callable that takes the parts of the expansion's text in order.
template <class Append, class Pieces>
void Write_Def(std::string_view name, const Exp_Quotes& quotes, Append& append,
               Pieces&& for_each_piece) {
  append(std::string_view("define(`"));
  append(name);
  append(std::string_view("',"));
  Exp_Writer<Append> expansion(quotes, append);
  expansion.Begin();
  for_each_piece([&expansion](std::string_view piece) { expansion.Piece(piece); });
  expansion.End();
  append(std::string_view(")"));
}

// The expansion text ready to stand as the second argument of define():
// backquotes become apostrophes, each apostrophe is rewritten so that it
// survives the given number of quote levels, and those quotes surround it.
std::string To_Exp(std::string_view expansion, Quote_Type quote);

}  // namespace Textutils::M4utils
