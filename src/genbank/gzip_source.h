// Compressed input. An input whose first two bytes are the gzip magic (0x1f
// 0x8b) is decompressed as it is read, every member of a multi-member file in
// turn (BGZF is such a file); any other input is delivered byte for byte. The
// format is told by content alone, never by the name.
//
// Decompression uses ISA-L (igzip), which measured fastest of the streaming
// gzip decoders on this workload, or zlib where ISA-L is not built (the
// TARVELO_GZIP choice at configure time); messages do not depend on which.
// Memory is constant: a 256 KiB buffer of compressed bytes and the decoder's
// state with its 32 KiB window.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "genbank/line_reader.h"

// The decompressed text of a gzip stream read from another source.
//
// Read throws Failure "TARVELO.READ_FILE.DECOMPRESSION_ERROR" with the message
//   NAME: truncated compressed data          the input ends inside a member
//   NAME: corrupt compressed data (WHAT)     anything else that is not gzip
// NAME being the compressed source's name. Before a truncation everything
// decodable is delivered; before corrupt data, everything up to the last
// member end or the last Read that succeeded (a member's checksum is checked
// at its end). Bytes after the last member must be another member: trailing
// garbage, zero padding included, is corrupt data.
class Gzip_Source : public Byte_Source {
 public:
  static constexpr std::size_t Buffer_Size = 256 * 1024;

  explicit Gzip_Source(std::unique_ptr<Byte_Source> compressed);
  ~Gzip_Source() override;
  Gzip_Source(const Gzip_Source&) = delete;
  Gzip_Source& operator=(const Gzip_Source&) = delete;

  std::size_t Read(char* buffer, std::size_t capacity) override;
  bool May_Block() const override { return compressed_->May_Block(); }
  const std::string& Name() const override { return compressed_->Name(); }

 private:
  // Reads more compressed bytes once the held ones are used up; false at the
  // end of the compressed input.
  bool Fill();
  [[noreturn]] void Fail(const std::string& what) const;

  std::unique_ptr<Byte_Source> compressed_;
  std::unique_ptr<unsigned char[]> input_;
  struct Decoder;
  std::unique_ptr<Decoder> decoder_;
  bool input_ended_ = false;
};

// The source for one input on Fd, which the caller opened and will close;
// Name is the input's name for messages. Reads the first two bytes to tell
// the format, calling Before_Blocking first when that read may wait for a
// writer. Those bytes are delivered by the returned source like all others.
std::unique_ptr<Byte_Source> Open_Source(int fd, std::string name,
                                         const std::function<void()>& before_blocking);
