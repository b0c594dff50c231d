// The GenBank record scanner: walks one input line by line, checks the order
// of each record's keywords, stores the values that labels are made of, and
// hands each record to a sink as soon as its sequence begins.
#pragma once

#include <string>
#include <string_view>

#include "genbank/label_components.h"
#include "genbank/line_primitives.h"
#include "genbank/line_reader.h"
#include "support/run_settings.h"

// Receives the records as the scanner reads them. Nothing is held back: the
// header at ORIGIN, then each sequence line as it is read.
class Record_Sink {
 public:
  virtual ~Record_Sink() = default;
  // Called once per record, right after its ORIGIN line; the components are
  // complete for the record at that moment.
  virtual void Print_Label() = 0;
  // Called for each line of the sequence section, as read (position numbers and
  // blanks included; may be empty).
  virtual void Sequence_Line(std::string_view line) = 0;
  // May take, in one call, the ordinary sequence lines at the front of Bytes
  // (buffered input that begins a line; see Sequence_Lines in kernels.h):
  // writes them as Sequence_Line would, or drops them under Tab_Separated as
  // the scanner would; returns what it took. A sink that takes nothing gets
  // every line one by one.
  virtual Sequence_Run Sequence_Lines(std::string_view bytes) {
    (void)bytes;
    return {};
  }
};

// All that the reader carries from one line to the next: where it stands in
// a record and the values of the label letters. It belongs to the run:
// nothing of it is reset between inputs, so an input that ends inside a
// record leaves its successor to be tested against that position. One value,
// to be copied and compared: a conversion that starts from a copy and ends
// in an equal state has done what reading on from the original would have.
struct Reader_State {
  Position_Type Position = Position_Type::STOP;
  bool Authors_Seen = false;
  bool Journal_Seen = false;
  // A LOCUS line has begun a record that no "//" line has ended yet.
  bool Record_Open = false;
  Label_Components Components;

  bool operator==(const Reader_State&) const = default;
};

// The end of an input inside the taxonomy lines that follow ORGANISM.
class End_Error : public Failure {
 public:
  End_Error(const std::string& input_name, std::size_t line_number);
};

// Reads Input to its end. Throws Genbank_Format_Error for a keyword out of
// order (with Format_Check on), End_Error for an input that ends inside the
// taxonomy lines, and whatever the sink or the input throws.
void Read_File(Line_Reader& input, Reader_State& state, const Run_Configuration& config, Record_Sink& sink);
