// One compression format's decoder, behind the interface that Compressed_Source
// drives. A compressed input is one or more streams (gzip members, zstd
// frames, bzip2 streams, xz streams) one after another; the source finds where
// each begins and the decoder turns its bytes into text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class Decoder {
 public:
  enum Status { OK, STREAM_END, CORRUPT };

  // The compressed bytes not yet used and the room left for text; Decode
  // moves both on.
  struct Buffers {
    const unsigned char* in;
    std::size_t in_size;
    unsigned char* out;
    std::size_t out_size;
  };

  // How many of a stream's first bytes Start_Stream is shown.
  static constexpr std::size_t Head_Size = 16;
  // The most memory a stream may ask of its decoder (the window or dictionary
  // its header declares: up to 64 MiB at xz -9e, 128 MiB at zstd --long=27).
  // Decode refuses a stream that asks for more as CORRUPT, What() being
  // Too_Much_Memory. Gzip (32 KiB) and bzip2 (3.6 MiB) stay below by format.
  static constexpr std::size_t Memory_Limit = std::size_t{128} << 20;
  static constexpr const char* Too_Much_Memory = "needs more than 128 MiB of memory";

  virtual ~Decoder() = default;

  // Prepares for a stream whose first bytes are Head (fewer only where the
  // input ends sooner). CORRUPT when they cannot begin one.
  virtual Status Start_Stream(std::string_view head) = 0;
  // Decodes what it can; Finish tells that no compressed byte follows those
  // in Io. STREAM_END: a stream ended with its checks passed, and the next
  // byte, if any, begins another. Decoding progresses while Io has room and
  // bytes; OK without progress at the end of the input means a cut stream.
  virtual Status Decode(Buffers& io, bool finish) = 0;
  // Decodes one whole stream, all of whose bytes are in Io, into the room
  // Io has for its text: STREAM_END only when the stream ended there with
  // its checks passed and nothing of Io's bytes is left. Start_Stream is
  // called first.
  virtual Status Decode_Whole(Buffers& io) {
    Status status = OK;
    for (std::size_t before = SIZE_MAX; status == OK && io.in_size + io.out_size < before;) {
      before = io.in_size + io.out_size;
      status = Decode(io, true);
    }
    return status == STREAM_END && io.in_size == 0 ? STREAM_END : CORRUPT;
  }
  // Why the last call returned CORRUPT, in words that do not depend on the
  // library.
  virtual std::string What() const = 0;
  // Whether the input may end after the stream that ended last.
  virtual bool May_End() const { return true; }
};

// The decoders, or null for a format this build leaves out. They throw
// std::bad_alloc when memory runs short.
std::unique_ptr<Decoder> New_Gzip_Decoder();
std::unique_ptr<Decoder> New_Zstd_Decoder();
std::unique_ptr<Decoder> New_Bzip2_Decoder();
std::unique_ptr<Decoder> New_Xz_Decoder();
