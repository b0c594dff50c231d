// Character sets, character mappings and the string helpers of the label
// machinery. Text is bytes: every code 0..255 is classified as ISO 8859-1 and
// nothing is ever decoded; NUL is an ordinary character.
//
// Sets and mappings are 256-entry tables; every constant here is built at
// compile time and never changes. Index them with unsigned char only.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace Textutils {

// 256 membership flags, one per 8-bit code.
struct Character_Set {
  std::array<bool, 256> member{};

  constexpr bool operator[](unsigned char c) const { return member[c]; }
  constexpr bool Has(char c) const { return member[static_cast<unsigned char>(c)]; }
  friend constexpr bool operator==(const Character_Set&, const Character_Set&) = default;
};

// A 256-entry table from code to code.
using Character_Mapping = std::array<unsigned char, 256>;

// Which occurrence of a pattern an operation uses.
enum class Replace_Type { FIRST, EVERY, LAST };

// ---- set algebra -----------------------------------------------------------

// The set of the characters occurring in S (repetitions allowed).
constexpr Character_Set To_Set(std::string_view s) {
  Character_Set r;
  for (char c : s) r.member[static_cast<unsigned char>(c)] = true;
  return r;
}

// The set of codes lo..hi inclusive.
constexpr Character_Set To_Range_Set(unsigned lo, unsigned hi) {
  Character_Set r;
  for (unsigned c = lo; c <= hi && c < 256; ++c) r.member[c] = true;
  return r;
}

constexpr Character_Set operator|(const Character_Set& a, const Character_Set& b) {
  Character_Set r;
  for (std::size_t i = 0; i < 256; ++i) r.member[i] = a.member[i] || b.member[i];
  return r;
}

constexpr Character_Set operator~(const Character_Set& a) {
  Character_Set r;
  for (std::size_t i = 0; i < 256; ++i) r.member[i] = !a.member[i];
  return r;
}

// Difference: codes in A and not in B.
constexpr Character_Set operator-(const Character_Set& a, const Character_Set& b) {
  Character_Set r;
  for (std::size_t i = 0; i < 256; ++i) r.member[i] = a.member[i] && !b.member[i];
  return r;
}

// All member codes in ascending order.
std::string To_Sequence(const Character_Set& set);

// ---- mappings --------------------------------------------------------------

inline constexpr Character_Mapping Identity = [] {
  Character_Mapping m{};
  for (std::size_t i = 0; i < 256; ++i) m[i] = static_cast<unsigned char>(i);
  return m;
}();

// From[i] maps to To[i], every other code to itself. From and To must have the
// same length and From must not repeat a code; otherwise this fails (at
// compile time when used in a constant).
constexpr Character_Mapping To_Mapping(std::string_view from, std::string_view to) {
  if (from.size() != to.size()) throw "To_Mapping: lengths differ";
  Character_Mapping m = Identity;
  Character_Set seen;
  for (std::size_t i = 0; i < from.size(); ++i) {
    const auto f = static_cast<unsigned char>(from[i]);
    if (seen.member[f]) throw "To_Mapping: repeated code";
    seen.member[f] = true;
    m[f] = static_cast<unsigned char>(to[i]);
  }
  return m;
}

// Every member of Set maps to By, every other code to itself.
constexpr Character_Mapping Map_All(const Character_Set& set, char by) {
  Character_Mapping m = Identity;
  for (std::size_t i = 0; i < 256; ++i)
    if (set.member[i]) m[i] = static_cast<unsigned char>(by);
  return m;
}

// ---- standard classes and module constants ----------------------------------

inline constexpr Character_Set Null_Set{};
inline constexpr Character_Set Control_Set = To_Range_Set(0, 31) | To_Range_Set(127, 159);
inline constexpr Character_Set Graphic_Set = To_Range_Set(32, 126) | To_Range_Set(160, 255);
inline constexpr Character_Set Letter_Set = To_Range_Set('A', 'Z') | To_Range_Set('a', 'z') |
                                            To_Range_Set(192, 214) | To_Range_Set(216, 246) |
                                            To_Range_Set(248, 255);
inline constexpr Character_Set Decimal_Digit_Set = To_Range_Set('0', '9');

// The blank and the control characters: 0-32 and 127-159.
inline constexpr Character_Set Whitespace = To_Set(" ") | Control_Set;

// ---- string helpers --------------------------------------------------------

// Each character c of S replaced by map[c], in place; the length is unchanged.
void Translate_In_Place(std::string& s, const Character_Mapping& map);

// S without leading members of Left and trailing members of Right. The result
// views S.
inline std::string_view Trim(std::string_view s, const Character_Set& left, const Character_Set& right) {
  std::size_t first = 0;
  while (first < s.size() && left.Has(s[first])) ++first;
  std::size_t end = s.size();
  while (end > first && right.Has(s[end - 1])) --end;
  return s.substr(first, end - first);
}

// True when every character of Source is in Set (also for an empty Source).
bool Is_In(std::string_view source, const Character_Set& set);

// Source without the members of Set.
std::string Remove(std::string_view source, const Character_Set& set);

// The last component of a slash-separated path without its last extension:
// the text after the last '/' up to its last '.' ("dir.d/x.gb.gz" gives "x.gb").
std::string Basename(std::string_view path);

// Source with the chosen occurrences of From replaced by To; text produced by a
// replacement is never searched again. An empty From puts To after the first
// character (FIRST), before the last one (LAST) or between every two adjacent
// characters (EVERY); a one-character Source then comes back unchanged.
std::string String_Map(std::string_view source, std::string_view from, std::string_view to,
                       Replace_Type occurrence, const Character_Mapping& mapping);

}  // namespace Textutils
