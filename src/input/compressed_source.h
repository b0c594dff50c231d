// Compressed input. An input that begins with the magic number of gzip (1f 8b),
// zstd (28 b5 2f fd, or a skippable frame's 5X 2a 4d 18), bzip2 ("BZh" and a
// digit 1 to 9) or xz (fd "7zXZ" 00) is decompressed as it is read, one stream
// after another (gzip members, BGZF blocks, zstd frames, bzip2 and xz
// streams); any other input, one shorter than a magic number included, is
// delivered byte for byte. The format is told by content alone, never by the
// name.
//
// Each format's library sits behind a Decoder (decoder.h); gzip uses ISA-L,
// which measured fastest here, or zlib where ISA-L is not built, and messages
// do not depend on which. A format can be left out at build time; such input
// is refused by name. Memory is constant: a 256 KiB buffer of compressed bytes
// and the decoder's state, whose window the stream's header sizes (32 KiB for
// gzip, at most 3.6 MiB for bzip2, a few MiB for zstd and xz at their usual
// levels, and never more than Decoder::Memory_Limit).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "input/decoder.h"
#include "input/byte_source.h"

// The decompressed text of the streams read from another source.
//
// Read throws Failure "TARVELO.READ_FILE.DECOMPRESSION_ERROR" with the message
//   NAME: truncated compressed data          the input ends inside a stream,
//                                            or a file of BGZF blocks only
//                                            without its end block
//   NAME: corrupt compressed data (WHAT)     anything else that does not decode,
//                                            a stream that needs more memory
//                                            than Decoder::Memory_Limit included
// NAME being the compressed source's name.
//
// A stream's text is delivered in units: its first Unit_Size bytes, the next
// Unit_Size bytes, and so on, its last unit ending with it. Read returns one
// unit at most, whole once it has decoded (its stream's checks passed, for
// the last one); only a reader that takes less than a unit at a time, or a
// source that may block (text is returned as soon as it decodes), gets parts
// of units. A unit in which a fault is found is dropped whole, so what comes
// before a failure does not depend on how much the reader takes at a time,
// as long as it takes a unit: everything before the unit where decoding
// failed, or, before a truncation, everything decodable. Delivered text may
// be damaged: a stream's checksum is checked at its end, as soon as its last
// bytes have arrived. Check_Delivered_Text decodes the rest of the current
// stream (its text dropped) and throws the same failures, so that a reader
// that stopped on damaged text can tell the damage. Bytes after the last
// stream must begin another: trailing garbage, zero padding included, is
// corrupt data (xz stream padding excepted).
class Compressed_Source : public Byte_Source {
 public:
  static constexpr std::size_t Buffer_Size = 256 * 1024;
  static constexpr std::size_t Unit_Size = 128 * 1024;

  Compressed_Source(std::unique_ptr<Byte_Source> compressed, std::unique_ptr<Decoder> decoder,
                    std::size_t unit_size = Unit_Size);
  Compressed_Source(const Compressed_Source&) = delete;
  Compressed_Source& operator=(const Compressed_Source&) = delete;

  std::size_t Read(char* buffer, std::size_t capacity) override;
  bool May_Block() const override { return compressed_->May_Block(); }
  const std::string& Name() const override { return compressed_->Name(); }
  // Nothing to check once a Read has failed, or when the last stream read
  // has ended (its checks passed).
  void Check_Delivered_Text() override;
  bool Decodes() const override { return true; }
  // True when the last stream read has ended, its checks passed (or none has
  // begun): the last Read returned a stream's last unit.
  bool Between_Streams() const { return stream_start_; }

 private:
  std::size_t Decode(char* buffer, std::size_t capacity);
  // The next Count compressed bytes, fewer only where the input ends.
  std::string_view Peek(std::size_t count);
  [[noreturn]] void Fail(const std::string& message) const;

  std::unique_ptr<Byte_Source> compressed_;
  std::unique_ptr<Decoder> decoder_;
  std::unique_ptr<unsigned char[]> input_;
  std::size_t next_ = 0;  // input_[next_, next_ + held_) are read and not yet used
  std::size_t held_ = 0;
  bool input_ended_ = false;
  bool stream_start_ = true;  // the next compressed byte begins a stream
  std::size_t unit_size_;
  std::size_t unit_text_ = 0;  // the text of the current unit decoded so far
  bool failed_ = false;       // a Read has thrown
  bool checking_ = false;     // Decode returns at the end of the current stream
};

// The source for one input on Fd, which the caller opened and will close;
// Name is the input's name for messages. Reads the first bytes to tell the
// format, calling Before_Blocking first when that read may wait for a writer.
// Those bytes are delivered by the returned source like all others.
//
// A compressed regular file is decompressed on threads of its own
// (threaded_source.h) when Threads is 2 or more (0: Decompression_Threads(),
// the processors the process may use); text, failures and where they fall do
// not depend on it. Unit_Size is the Compressed_Source's.
std::unique_ptr<Byte_Source> Open_Source(int fd, std::string name,
                                         const std::function<void()>& before_blocking,
                                         std::size_t threads = 0,
                                         std::size_t unit_size = Compressed_Source::Unit_Size);
