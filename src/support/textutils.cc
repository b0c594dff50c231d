#include "support/textutils.h"

namespace Textutils {

static_assert(Whitespace['\t'] && Whitespace[' '] && Whitespace[127] && Whitespace[159]);
static_assert(!Whitespace[160] && !Whitespace['!']);
static_assert(!Letter_Set[215] && !Letter_Set[247] && Letter_Set[192] && Letter_Set[255]);
static_assert(Graphic_Set == ~Control_Set);
static_assert(Map_All(Null_Set, '_') == Identity);

namespace {

constexpr std::size_t Not_Found = std::string_view::npos;

// Where a non-empty Pattern first (Forward) or last occurs in Source,
// comparing Mapping[Source[k]] with the unmapped Pattern; Not_Found when it
// does not.
std::size_t Find(std::string_view source, std::string_view pattern, bool forward,
                 const Character_Mapping& mapping) {
  if (pattern.size() > source.size()) return Not_Found;
  const std::size_t last_start = source.size() - pattern.size();
  auto matches_at = [&](std::size_t i) {
    for (std::size_t k = 0; k < pattern.size(); ++k)
      if (mapping[static_cast<unsigned char>(source[i + k])] !=
          static_cast<unsigned char>(pattern[k]))
        return false;
    return true;
  };
  if (forward) {
    for (std::size_t i = 0; i <= last_start; ++i)
      if (matches_at(i)) return i;
  } else {
    for (std::size_t i = last_start + 1; i-- > 0;)
      if (matches_at(i)) return i;
  }
  return Not_Found;
}

}  // namespace

std::string To_Sequence(const Character_Set& set) {
  std::string r;
  for (unsigned c = 0; c < 256; ++c)
    if (set.member[c]) r.push_back(static_cast<char>(c));
  return r;
}

void Translate_In_Place(std::string& s, const Character_Mapping& map) {
  for (char& c : s) c = static_cast<char>(map[static_cast<unsigned char>(c)]);
}

bool Is_In(std::string_view source, const Character_Set& set) {
  for (char c : source)
    if (!set.Has(c)) return false;
  return true;
}

std::string Remove(std::string_view source, const Character_Set& set) {
  std::string r(source.size(), '\0');
  char* out = r.data();
  for (char c : source) {
    *out = c;
    out += set.Has(c) ? 0 : 1;
  }
  r.resize(static_cast<std::size_t>(out - r.data()));
  return r;
}

std::string Basename(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view tail = slash == Not_Found ? path : path.substr(slash + 1);
  return std::string(tail.substr(0, tail.rfind('.')));
}

std::string String_Map(std::string_view source, std::string_view from, std::string_view to,
                       Replace_Type occurrence, const Character_Mapping& mapping) {
  if (source.empty() || from == to) return std::string(source);

  std::string r;
  if (from.empty()) {
    // To goes after the first character (FIRST), before the last one (LAST)
    // or between every two adjacent characters (EVERY).
    if (source.size() == 1) return std::string(source);
    switch (occurrence) {
      case Replace_Type::FIRST:
        return std::string(source.substr(0, 1)).append(to).append(source.substr(1));
      case Replace_Type::LAST:
        return std::string(source.substr(0, source.size() - 1))
            .append(to)
            .append(source.substr(source.size() - 1));
      case Replace_Type::EVERY:
        r.reserve(source.size() + (source.size() - 1) * to.size());
        r.push_back(source[0]);
        for (std::size_t k = 1; k < source.size(); ++k) r.append(to).push_back(source[k]);
        return r;
    }
  }

  if (occurrence != Replace_Type::EVERY) {
    const std::size_t i = Find(source, from, occurrence == Replace_Type::FIRST, mapping);
    if (i == Not_Found) return std::string(source);
    return std::string(source.substr(0, i)).append(to).append(source.substr(i + from.size()));
  }

  // Left to right without overlap; the scan resumes behind each replaced
  // occurrence, so replacement text is never searched.
  std::size_t done = 0;
  for (;;) {
    const std::string_view rest = source.substr(done);
    const std::size_t i = Find(rest, from, true, mapping);
    if (i == Not_Found) return r.append(rest);
    r.append(rest.substr(0, i)).append(to);
    done += i + from.size();
  }
}

}  // namespace Textutils
