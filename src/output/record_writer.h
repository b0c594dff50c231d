// The record writer: the header line (or table row) of each record, its m4
// definition line, and its sequence lines with only the letters kept.
#pragma once

#include <string>
#include <string_view>

#include "genbank/scanner.h"
#include "kernels/kernels.h"
#include "support/run_settings.h"
#include "output/output_stream.h"
#include "support/textutils-m4utils.h"

class Record_Writer : public Record_Sink {
 public:
  // M4_File may be null when the run writes no definitions. Kernels are
  // those of the processor unless a test chooses a level.
  Record_Writer(const Run_Configuration& config, const Label_Components& components,
                Output_Stream& out, Output_Stream* m4_file, const Kernel_Set& kernels = *Chosen_Kernels);

  // With -m: the definition line first, then the accession; otherwise the
  // label. Throws Selection_Error or Invalid_Macro_Name before writing anything.
  void Print_Label() override;
  void Sequence_Line(std::string_view line) override;
  Sequence_Run Sequence_Lines(std::string_view bytes) override;

 private:
  const Run_Configuration& config_;
  const Label_Components& components_;
  Output_Stream& out_;
  Output_Stream* m4_file_;
  const Kernel_Set& kernels_;
  const Textutils::M4utils::Exp_Quotes quotes_;
};
