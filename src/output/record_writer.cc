#include "output/record_writer.h"

#include <algorithm>

#include "kernels/kernels.h"
#include "output/label.h"
#include "support/textutils-m4utils.h"

Record_Writer::Record_Writer(const Run_Configuration& config, const Label_Components& components,
                             Output_Stream& out, Output_Stream* m4_file, const Kernel_Set& kernels)
    : config_(config),
      components_(components),
      out_(out),
      m4_file_(m4_file),
      kernels_(kernels),
      quotes_(config.Macro_Quotes) {}

// Labels and definitions are written piece by piece: a label can be as long
// as a whole taxonomy. Both checks come first, so that nothing of a failing
// record is written.
void Record_Writer::Print_Label() {
  Check_Label_List(config_);
  if (config_.M4_Mode) {
    const std::string& accession = components_['a'];
    if (!Textutils::M4utils::Is_Macro(accession))
      throw Textutils::M4utils::Invalid_Macro_Name(accession);
    auto append = [this](std::string_view piece) { m4_file_->Write(piece); };
    Textutils::M4utils::Write_Def(accession, quotes_, append, [this](auto piece) {
      For_Each_Label_Piece(config_, components_, piece);
    });
    append("dnl\n");
    if (!config_.Tab_Separated) out_.Put('>');
    out_.Write(accession);
  } else {
    if (!config_.Tab_Separated) out_.Put('>');
    For_Each_Label_Piece(config_, components_, [this](std::string_view piece) { out_.Write(piece); });
  }
  out_.Put('\n');
}

void Record_Writer::Sequence_Line(std::string_view line) {
  char* room = out_.Reserve(line.size() + Keep_Letters_Slack);
  const std::size_t kept = kernels_.keep_letters(line.data(), line.size(), room);
  room[kept] = '\n';
  out_.Commit(kept + 1);
}

Sequence_Run Record_Writer::Sequence_Lines(std::string_view bytes) {
  if (config_.Tab_Separated) return kernels_.sequence_lines(bytes.data(), bytes.size(), nullptr);
  // A nearly full buffer is written out first, so that each call can take a
  // long run of lines.
  constexpr std::size_t Least_Room = 16 * 1024;
  if (out_.Room() < Least_Room) out_.Flush();
  const std::size_t n = std::min(bytes.size(), out_.Room() - Keep_Letters_Slack);
  const Sequence_Run run = kernels_.sequence_lines(bytes.data(), n, out_.Reserve(n + Keep_Letters_Slack));
  out_.Commit(run.written);
  return run;
}
