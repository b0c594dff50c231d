#include "genbank/scanner.h"

#include <array>

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

// Compared in this order; the first that matches decides.
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
// cross-reference moves the position.
constexpr std::array<Qualifier, 4> Qualifiers = {{
    {"         /db_xref=\"taxon:", 'i'},
    {"         /specific_host=\"", 'h'},
    {"         /country=\"", 'c'},
    {"         /lat_lon=\"", 'l'},
}};

bool Is_Locus_Line(std::string_view line) {
  return line.size() > Field_Width && line.starts_with(Keywords[0].field);
}

class Scanner {
 public:
  Scanner(Line_Reader& input, Reader_State& state, const Run_Configuration& config,
          Label_Components& components, Record_Sink& sink)
      : input_(input), state_(state), config_(config), components_(components), sink_(sink) {}

  void Run() {
    std::string_view line;
    while (!input_.At_End() && input_.Next_Line(line)) {
      if (state_.Position == SEQUENCE) {
        Sequence_Section_Line(line);
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

  void Store(char letter, std::string_view text) { To_Lc(text, config_, components_[letter]); }

  void Sequence_Section_Line(std::string_view line) {
    // Most lines here are sequence data, which begins with a blank.
    const char first = line.empty() ? ' ' : line[0];
    if (first == '/' && line.size() >= 2 && line[1] == '/') {
      Test(SEQUENCE, line);
    } else if (first == 'L' && Is_Locus_Line(line)) {
      // A record that lost its "//": the next record is not sequence data.
      Start_Record(line);
    } else if (!config_.Tab_Separated) {
      sink_.Sequence_Line(line);
    }
  }

  void Start_Record(std::string_view line) {
    Test(STOP, line);
    for (char letter : {'c', 'h', 'l'}) components_[letter] = Unknown_Text;
    state_.Authors_Seen = false;
    state_.Journal_Seen = false;
  }

  void Keyword_Line(std::string_view line) {
    const std::string_view field = line.substr(0, Field_Width);
    const std::string_view value = line.substr(Field_Width);
    for (const Keyword& keyword : Keywords) {
      if (field != keyword.field) continue;
      switch (keyword.role) {
        case Line_Role::LOCUS:
          Start_Record(line);
          break;
        case Line_Role::DEFINITION:
          Test(START, line);
          Store('d', value);
          break;
        case Line_Role::ACCESSION:
          Test(DEFINITION, line);
          Store('a', Textutils::Remove(value, Strip_Set));
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
      return;
    }
  }

  // The lineage lines under ORGANISM, each beginning with twelve blanks. The
  // line that ends them is consumed without being examined.
  //
  // The taxonomy is the one value that grows with the input, so it is kept
  // only when a label uses it, and without the leading whitespace that the
  // trimming below would drop anyway.
  void Read_Taxonomy() {
    std::string& taxonomy = state_.Taxonomy;
    taxonomy.clear();
    const bool wanted = config_.Label_List.find('t') != std::string::npos;
    std::string_view line;
    for (;;) {
      // As everywhere, one final line feed left is the end of the input.
      if (input_.At_End() || !input_.Next_Line(line))
        throw End_Error(input_.Name(), input_.Line_Number());
      if (!line.starts_with(Twelve_Blanks)) break;
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
    for (const Qualifier& q : Qualifiers) {
      // The value needs at least one character before the closing quote.
      if (rest.size() < q.text.size() + 2 || !rest.starts_with(q.text)) continue;
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
      return;
    }
  }

  Line_Reader& input_;
  Reader_State& state_;
  const Run_Configuration& config_;
  Label_Components& components_;
  Record_Sink& sink_;
  std::string scratch_;
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

void Read_File(Line_Reader& input, Reader_State& state, const Run_Configuration& config,
               Label_Components& components, Record_Sink& sink) {
  Scanner(input, state, config, components, sink).Run();
}
