#include "genbank/scanner.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "support/textutils.h"

namespace {

using enum Position_Type;

constexpr std::size_t Field_Width = 12;  // columns 1-12 hold the keyword field
constexpr std::string_view Twelve_Blanks = "            ";

enum class Line_Role { LOCUS, DEFINITION, ACCESSION, SOURCE, ORGANISM, AUTHORS, JOURNAL, BLANKS };

struct Keyword {
  std::string_view field;  // columns 1-12, blanks included
  Line_Role role;
};

// The keyword fields; no two share their first bytes, so the first byte (and
// the third, after two blanks) tells which one a line can hold.
constexpr std::array<Keyword, 8> Keywords = {{
    {"LOCUS       ", Line_Role::LOCUS},
    {"DEFINITION  ", Line_Role::DEFINITION},
    {"ACCESSION   ", Line_Role::ACCESSION},
    {"SOURCE      ", Line_Role::SOURCE},
    {"  ORGANISM  ", Line_Role::ORGANISM},
    {"  AUTHORS   ", Line_Role::AUTHORS},
    {"  JOURNAL   ", Line_Role::JOURNAL},
    {Twelve_Blanks, Line_Role::BLANKS},
}};
static_assert([] {
  for (const Keyword& k : Keywords)
    if (k.field.size() != Field_Width) return false;
  return true;
}());

struct Qualifier {
  std::string_view text;  // from column 13: nine blanks, then the qualifier up to its double quote
  char letter;
};

// The feature qualifiers whose first line feeds a component. Only the taxon
// cross-reference moves the position. The host and the country go by two
// names each: today's (/host, /geo_loc_name) and the older ones that records
// of earlier years carry; /lab_host is another qualifier.
constexpr std::array<Qualifier, 6> Qualifiers = {{
    {"         /db_xref=\"taxon:", 'i'},
    {"         /specific_host=\"", 'h'},
    {"         /host=\"", 'h'},
    {"         /country=\"", 'c'},
    {"         /geo_loc_name=\"", 'c'},
    {"         /lat_lon=\"", 'l'},
}};

// The 8 bytes from P as one number, the first byte lowest (one load where
// the processor is little-endian).
constexpr std::uint64_t Bytes_At(const char* p) {
  std::uint64_t w = 0;
  if (!std::is_constant_evaluated() && std::endian::native == std::endian::little) {
    std::memcpy(&w, p, sizeof w);
    return w;
  }
  for (unsigned k = 0; k < 8; ++k) w |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
  return w;
}

// True when the first N bytes of A and B (N at least 8) are equal, compared
// a word at a time, the last word ending at byte N.
inline bool Same_Bytes(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i + 8 < n; i += 8)
    if (Bytes_At(a + i) != Bytes_At(b + i)) return false;
  return Bytes_At(a + n - 8) == Bytes_At(b + n - 8);
}

// Compares two keyword fields.
bool Same_Field(std::string_view a, std::string_view b) { return Same_Bytes(a.data(), b.data(), Field_Width); }

// The keyword field that a line of 13 or more characters can begin with.
constexpr const Keyword* Candidate_Keyword(std::string_view line) {
  switch (line[0]) {
    case 'L': return &Keywords[0];
    case 'D': return &Keywords[1];
    case 'A': return &Keywords[2];
    case 'S': return &Keywords[3];
    case ' ':
      switch (line[2]) {
        case 'O': return &Keywords[4];
        case 'A': return &Keywords[5];
        case 'J': return &Keywords[6];
        case ' ': return &Keywords[7];
      }
  }
  return nullptr;
}

// The qualifier that the text from column 13 of a line can begin with.
constexpr const Qualifier* Candidate_Qualifier(std::string_view rest) {
  if (rest.size() < 11 || rest[9] != '/') return nullptr;
  switch (rest[10]) {
    case 'd': return &Qualifiers[0];
    case 's': return &Qualifiers[1];
    case 'h': return &Qualifiers[2];
    case 'c': return &Qualifiers[3];
    case 'g': return &Qualifiers[4];
    case 'l': return &Qualifiers[5];
  }
  return nullptr;
}

static_assert([] {
  for (const Keyword& k : Keywords)
    if (Candidate_Keyword(k.field) != &k) return false;
  for (const Qualifier& q : Qualifiers)
    if (Candidate_Qualifier(q.text) != &q) return false;
  return true;
}());

// What the first and the third byte of a line tell about it: it may begin
// with a keyword (or ORIGIN), with twelve blanks, or with an indented keyword
// (one bit for each, so that the ones that no longer act in a record can be
// passed over). The second byte is not looked at: an indented keyword's is
// a blank, and a line that only looks like one goes to the keyword rules.
enum : unsigned char { KEYWORD = 1, BLANKS = 2, ORGANISM_LINE = 4, AUTHORS_LINE = 8, JOURNAL_LINE = 16 };
constexpr unsigned Every_Indented_Keyword = ORGANISM_LINE | AUTHORS_LINE | JOURNAL_LINE;

constexpr unsigned char Indented_Class(Line_Role role) {
  return role == Line_Role::ORGANISM ? ORGANISM_LINE : role == Line_Role::AUTHORS ? AUTHORS_LINE : JOURNAL_LINE;
}

// The first and the third byte of a line as one number.
constexpr unsigned First_And_Third(char first, char third) {
  return static_cast<unsigned char>(first) | static_cast<unsigned>(static_cast<unsigned char>(third)) << 8;
}

// The classes of every pair of a first and a third byte.
constexpr auto Line_Classes = [] {
  std::array<unsigned char, 256 * 256> t{};
  auto mark = [&t](char first, char third, unsigned char role) {
    t[First_And_Third(first, third)] |= role;
  };
  mark('O', 'I', KEYWORD);  // ORIGIN
  // A "//" line ends a record also where it is not in a sequence section.
  for (unsigned third = 0; third < 256; ++third) mark('/', static_cast<char>(third), KEYWORD);
  mark(' ', ' ', BLANKS);
  for (const Keyword& k : Keywords) {
    if (k.field[0] != ' ')
      mark(k.field[0], k.field[2], KEYWORD);
    else if (k.field[2] != ' ')
      mark(' ', k.field[2], Indented_Class(k.role));
  }
  return t;
}();

// Each qualifier read, from its slash at column 22 up to 15 bytes (the name,
// the equals sign, the quote, and for the taxon most of "taxon:"), as two
// words: the first 7 bytes, which every qualifier has, and the next 8. The
// first word chooses one of 8 slots by a multiplicative hash that gives each
// qualifier its own; the second is compared under a mask of the bytes the
// qualifier has. The empty slots hold a first word no line can have (its
// eighth byte set). The fast pass only sorts lines out: a line it keeps is
// compared whole below.
constexpr std::size_t Qualifier_Column = Field_Width + 9;
constexpr std::size_t Start_Bytes = 7;
constexpr std::uint64_t Start_Mask = (std::uint64_t{1} << (8 * Start_Bytes)) - 1;
static_assert(Qualifier_Column + Start_Bytes + 8 <= Line_Reader::Line_Look,
              "the line reader lets a test read this far");
static_assert([] {
  for (const Qualifier& q : Qualifiers)
    if (q.text.size() < 9 + Start_Bytes) return false;
  return true;
}());
constexpr std::uint64_t Qualifier_Start(const Qualifier& q) { return Bytes_At(q.text.data() + 9) & Start_Mask; }
struct alignas(32) Qualifier_Slot {
  std::uint64_t start = ~std::uint64_t{0};
  std::uint64_t more = 0;
  std::uint64_t more_mask = 0;
};
constexpr unsigned Name_Slot(std::uint64_t name, std::uint64_t multiplier) {
  return static_cast<unsigned>((name * multiplier) >> 61);
}
constexpr std::uint64_t Name_Multiplier = [] {
  for (std::uint64_t m = 0x9E3779B97F4A7C15;; m += 2) {
    unsigned used = 0;
    for (const Qualifier& q : Qualifiers) used |= 1u << Name_Slot(Qualifier_Start(q), m);
    if (std::popcount(used) == static_cast<int>(Qualifiers.size())) return m;
  }
}();
using Qualifier_Table = std::array<Qualifier_Slot, 8>;
constexpr Qualifier_Table Qualifier_Slots = [] {
  Qualifier_Table slots{};
  static_assert(Qualifiers.size() <= slots.size());
  for (const Qualifier& q : Qualifiers) {
    Qualifier_Slot& s = slots[Name_Slot(Qualifier_Start(q), Name_Multiplier)];
    s.start = Qualifier_Start(q);
    std::array<char, 8> more{};
    const std::string_view rest = q.text.substr(9 + Start_Bytes);
    for (std::size_t k = 0; k < rest.size() && k < 8; ++k) {
      more[k] = rest[k];
      s.more_mask |= std::uint64_t{0xFF} << (8 * k);
    }
    s.more = Bytes_At(more.data());
  }
  return slots;
}();

// False when the line starting at P surely reaches no rule outside a sequence
// section: it neither begins with a keyword's first byte, nor with two blanks
// and the third byte of an indented keyword among Indented (the others are
// passed over), nor with twelve blanks (so the first and the third byte
// blank) and then the start of a qualifier read at column 22. Reads 36
// bytes, without a branch.
constexpr bool May_Matter(const char* p, unsigned indented_live = Every_Indented_Keyword,
                          const Qualifier_Table& qualifiers = Qualifier_Slots) {
  const unsigned line = Line_Classes[First_And_Third(p[0], p[2])];
  const std::uint64_t name = Bytes_At(p + Qualifier_Column) & Start_Mask;
  const std::uint64_t more = Bytes_At(p + Qualifier_Column + Start_Bytes);
  const Qualifier_Slot& slot = qualifiers[Name_Slot(name, Name_Multiplier)];
  const bool read = (slot.start == name) & ((more & slot.more_mask) == slot.more);
  return (line & (KEYWORD | indented_live | (read ? BLANKS : 0))) != 0;
}

// A line of 40 bytes for the checks below: Head, then Tail, then dots.
constexpr std::array<char, 40> Test_Line(std::string_view head, std::string_view tail = {}) {
  std::array<char, 40> line{};
  for (std::size_t i = 0; i < line.size(); ++i)
    line[i] = i < head.size() ? head[i] : i - head.size() < tail.size() ? tail[i - head.size()] : '.';
  return line;
}

static_assert([] {
  for (const Keyword& k : Keywords)  // twelve blanks matter only before a qualifier
    if (k.role != Line_Role::BLANKS && !May_Matter(Test_Line(k.field).data())) return false;
  for (const Qualifier& q : Qualifiers)
    if (!May_Matter(Test_Line(Twelve_Blanks, q.text).data())) return false;
  return May_Matter(Test_Line("ORIGIN").data()) && !May_Matter(Test_Line(Twelve_Blanks, "         /organism=").data()) &&
         !May_Matter(Test_Line(Twelve_Blanks, "         /codon_start=").data()) &&
         !May_Matter(Test_Line(Twelve_Blanks, "         /db_xref=\"GeneID:").data()) &&
         !May_Matter(Test_Line(Twelve_Blanks, "         /country").data()) &&
         !May_Matter(Test_Line(Twelve_Blanks, "         /lab_host=\"").data()) &&
         !May_Matter(Test_Line(Twelve_Blanks, "         /hostname=\"").data()) &&
         May_Matter(Test_Line("//").data()) && May_Matter(Test_Line("//x").data()) &&
         !May_Matter(Test_Line(Keywords[5].field).data(), ORGANISM_LINE | JOURNAL_LINE) &&
         May_Matter(Test_Line(Keywords[6].field).data(), ORGANISM_LINE | JOURNAL_LINE) &&
         !May_Matter(Test_Line(Twelve_Blanks, "Eukaryota;").data()) &&
         !May_Matter(Test_Line("DBLINK      BioProject").data()) && !May_Matter(Test_Line("AUTHORS").data()) &&
         !May_Matter(Test_Line("     source          1..100").data());
}());

// The components that a record provides, each of them anew.
constexpr std::string_view Record_Letters = "adsotpjichl";

bool Is_Locus_Line(std::string_view line) {
  return line.size() > Field_Width && line.starts_with(Keywords[0].field);
}

class Scanner {
 public:
  Scanner(Line_Reader& input, Reader_State& state, const Run_Configuration& config, Record_Sink& sink)
      : input_(input), state_(state), config_(config), components_(state.Components), sink_(sink) {
    for (char letter : config_.Label_List) Wanted(letter) = true;
    if (config_.M4_Mode) Wanted('a') = true;
    for (char letter : Record_Letters)
      if (Wanted(letter)) shown_record_letters_ += letter;
    // A qualifier whose value no label shows is passed over like any line;
    // the taxon's moves the position, so it is always read.
    for (const Qualifier& q : Qualifiers)
      if (q.letter != 'i' && !Wanted(q.letter))
        qualifier_slots_[Name_Slot(Qualifier_Start(q), Name_Multiplier)] = Qualifier_Slot{};
  }

  void Run() {
    std::string_view line;
    while (!input_.At_End()) {
      if (state_.Position == SEQUENCE) {
        // A run ends before a line that needs the rules (or at the end of
        // the buffered bytes): that line comes next, on its own.
        if (Ordinary_Sequence_Lines() && input_.At_End()) break;
        if (!input_.Next_Line(line)) break;
        Sequence_Section_Line(line);
        continue;
      }
      // The lines that reach no rule are passed over, and the next one is
      // delivered with them, or read on its own where the pass stopped short.
      const unsigned live = Live_Indented_Keywords();
      if (!input_.Pass_Lines([live, this](const char* p) { return !May_Matter(p, live, qualifier_slots_); }, line) &&
          (input_.At_End() || !input_.Next_Line(line)))
        break;
      if (line.starts_with("//")) {
        // A record without a sequence section (a CON or master record) ends
        // here too; the position stays where it is.
        state_.Record_Open = false;
      } else if (line.size() <= Field_Width) {
        if (line.size() >= 6 && line.starts_with("ORIGIN")) {
          Test(TAXON_ID, line);
          sink_.Print_Label();
        }
      } else {
        Keyword_Line(line);
      }
    }
  }

 private:
  void Test(Position_Type expected, std::string_view line) {
    Test_Pos(state_.Position, expected, config_.Format_Check, line);
  }

  // The indented keywords that may still act in this record: AUTHORS and
  // JOURNAL act on their first line only.
  unsigned Live_Indented_Keywords() const {
    return ORGANISM_LINE | (state_.Authors_Seen ? 0 : AUTHORS_LINE) | (state_.Journal_Seen ? 0 : JOURNAL_LINE);
  }

  // Only the components that the output shows are cleaned and stored: the
  // others are never read.
  bool& Wanted(char letter) { return wanted_[static_cast<unsigned char>(letter)]; }
  void Store(char letter, std::string_view text) {
    if (Wanted(letter)) To_Lc(text, config_, components_[letter]);
  }

  // Lets the sink take the buffered run of ordinary sequence lines (short
  // enough to arrive whole, and beginning neither like "//" nor like LOCUS),
  // which no rule below touches, at once; false when the next line needs the
  // rules below.
  bool Ordinary_Sequence_Lines() {
    const std::string_view bytes = input_.Buffered();
    if (bytes.empty()) return false;
    const Sequence_Run run = sink_.Sequence_Lines(bytes);
    if (run.consumed == 0) return false;
    input_.Skip_Lines(run.consumed, run.lines);
    return true;
  }

  void Sequence_Section_Line(std::string_view line) {
    // Most lines here are sequence data, which begins with a blank.
    const char first = line.empty() ? ' ' : line[0];
    if (first == '/' && line.size() >= 2 && line[1] == '/') {
      Test(SEQUENCE, line);
      state_.Record_Open = false;
    } else if (first == 'L' && Is_Locus_Line(line)) {
      // A record that lost its "//": the next record is not sequence data.
      Start_Record(line);
    } else if (!config_.Tab_Separated) {
      sink_.Sequence_Line(line);
    }
  }

  // Every value a record provides starts again as UNKNOWN, so that a record
  // never shows another's value (only those a label shows are kept at all).
  void Start_Record(std::string_view line) {
    Test(STOP, line);
    for (char letter : shown_record_letters_) components_[letter] = Unknown_Text;
    state_.Authors_Seen = false;
    state_.Journal_Seen = false;
    state_.Record_Open = true;
  }

  void Keyword_Line(std::string_view line) {
    const std::string_view field = line.substr(0, Field_Width);
    const std::string_view value = line.substr(Field_Width);
    const Keyword* keyword = Candidate_Keyword(line);
    if (keyword != nullptr && Same_Field(field, keyword->field)) {
      switch (keyword->role) {
        case Line_Role::LOCUS:
          Start_Record(line);
          break;
        case Line_Role::DEFINITION:
          Test(START, line);
          Store('d', value);
          break;
        case Line_Role::ACCESSION:
          Test(DEFINITION, line);
          if (Wanted('a')) Store('a', Textutils::Remove(value, Strip_Set));
          break;
        case Line_Role::SOURCE:
          Test(ACCESSION, line);
          Store('s', value);
          break;
        case Line_Role::ORGANISM:
          Test(SOURCE, line);
          Store('o', value);
          Read_Taxonomy();
          break;
        case Line_Role::AUTHORS:
          if (state_.Authors_Seen) break;
          Test(ORGANISM, line);
          Store('p', value);
          state_.Authors_Seen = true;
          break;
        case Line_Role::JOURNAL:
          if (state_.Journal_Seen) break;
          Test(AUTHORS, line);
          Store('j', value);
          state_.Journal_Seen = true;
          break;
        case Line_Role::BLANKS:
          Qualifier_Line(line);
          break;
      }
    }
  }

  // The lineage lines under ORGANISM, each beginning with twelve blanks. The
  // line that ends them is consumed without being examined.
  //
  // The taxonomy is the one value that grows with the input, so it is kept
  // only when a label uses it, and without the leading whitespace that the
  // trimming below would drop anyway.
  void Read_Taxonomy() {
    std::string& taxonomy = taxonomy_;
    taxonomy.clear();
    const bool wanted = Wanted('t');
    std::string_view line;
    for (;;) {
      // As everywhere, one final line feed left is the end of the input.
      if (input_.At_End() || !input_.Next_Line(line))
        throw End_Error(input_.Name(), input_.Line_Number());
      if (line.size() < Field_Width || !Same_Field(line, Twelve_Blanks)) break;
      if (!wanted) continue;
      std::string_view text = line.substr(Field_Width - 1);  // one blank, then the text
      if (taxonomy.empty()) text = Textutils::Trim(text, Textutils::Whitespace, Textutils::Null_Set);
      taxonomy.append(text);
    }
    // The gathered text becomes the value without a copy: trailing whitespace
    // dropped (leading whitespace was never kept), every character translated
    // like any value but never through To_Lc, and the apostrophes doubled too
    // under quoted labels, which keeps such a label well formed.
    std::string& t = components_['t'];
    t.swap(taxonomy);
    t.resize(Textutils::Trim(t, Textutils::Null_Set, Textutils::Whitespace).size());
    Textutils::Translate_In_Place(t, config_.Replacement_Map);
    if (config_.Quote_Labels && t.find('\'') != std::string::npos)
      t = Textutils::String_Map(t, "'", "''", Textutils::Replace_Type::EVERY, Textutils::Identity);
  }

  void Qualifier_Line(std::string_view line) {
    const std::string_view rest = line.substr(Field_Width);
    const Qualifier* candidate = Candidate_Qualifier(rest);
    if (candidate != nullptr) {
      const Qualifier& q = *candidate;
      // The value needs at least one character before the closing quote.
      if (rest.size() < q.text.size() + 2 || !Same_Bytes(rest.data(), q.text.data(), q.text.size())) return;
      const std::string_view value = rest.substr(q.text.size(), rest.size() - q.text.size() - 1);
      if (q.letter == 'i') {
        Test(JOURNAL, line);
        if (config_.Taxon_Prefix) {
          scratch_.assign(1, 'T').append(value);
          Store('i', scratch_);
        } else {
          Store('i', value);
        }
      } else {
        Store(q.letter, value);
      }
    }
  }

  Line_Reader& input_;
  Reader_State& state_;
  const Run_Configuration& config_;
  Label_Components& components_;
  Record_Sink& sink_;
  std::string scratch_;
  std::string taxonomy_;  // the lineage lines being gathered: the one value that grows
  std::array<bool, 256> wanted_{};
  std::string shown_record_letters_;  // the Record_Letters that the output shows
  Qualifier_Table qualifier_slots_ = Qualifier_Slots;
};

}  // namespace

namespace {

std::string End_Message(const std::string& input_name, std::size_t line_number) {
  std::string m = "end of input inside the taxonomy lines after line ";
  m.append(std::to_string(line_number)).append(" of ").append(input_name);
  return m;
}

}  // namespace

End_Error::End_Error(const std::string& input_name, std::size_t line_number)
    : Failure("TARVELO.READ_FILE.END_ERROR", End_Message(input_name, line_number)) {}

void Read_File(Line_Reader& input, Reader_State& state, const Run_Configuration& config, Record_Sink& sink) {
  Scanner(input, state, config, sink).Run();
}
