// Gzip members, decoded with ISA-L (igzip) or, where ISA-L is not built (the
// TARVELO_GZIP choice at configure time), with zlib.
#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#ifdef TARVELO_GZIP_ZLIB
#include <zlib.h>
#else
#include <isa-l/igzip_lib.h>
#endif

#include "input/decoder.h"

namespace {

constexpr const char* Not_A_Member = "not a gzip member header";
constexpr std::string_view Gzip_Magic("\x1f\x8b", 2);

// The header of a BGZF block: a member whose extra field holds the "BC"
// subfield, in the place where every BGZF writer puts it.
bool Is_Bgzf(std::string_view head) {
  return head.size() >= 16 && head.starts_with(std::string_view("\x1f\x8b\x08\x04", 4)) &&
         head.substr(12, 4) == std::string_view("BC\x02\x00", 4);
}

// What both libraries share: the member header check and the rule that a
// file of BGZF blocks ends with its end-of-file block, an empty BGZF block (so
// that a file cut at a block boundary is not taken for a whole one). A file
// with any other member (BGZF blocks and gzip members concatenated) is a
// gzip file, which may end after any member.
class Gzip_Decoder : public Decoder {
 public:
  Status Start_Stream(std::string_view head) final {
    // Flag bits 5 to 7 are reserved: a member that sets one is not gzip.
    if (!Gzip_Magic.starts_with(head.substr(0, 2)) || (head.size() > 3 && (head[3] & 0xe0) != 0)) {
      what_ = Not_A_Member;
      return CORRUPT;
    }
    bgzf_only_ = bgzf_only_ && Is_Bgzf(head);
    member_text_ = 0;
    Reset();
    return OK;
  }
  Status Decode(Buffers& io, bool) final {
    const std::size_t room = io.out_size;
    const Status status = Inflate(io);
    member_text_ += room - io.out_size;
    return status;
  }
  std::string What() const final { return what_; }
  bool May_End() const final { return !bgzf_only_ || member_text_ == 0; }

 protected:
  // Prepares the library for a member's first byte.
  virtual void Reset() = 0;
  // Decodes; sets what_ before returning CORRUPT.
  virtual Status Inflate(Buffers& io) = 0;

  std::string what_;

 private:
  bool bgzf_only_ = true;  // every member so far was a BGZF block
  std::size_t member_text_ = 0;
};

#ifdef TARVELO_GZIP_ZLIB

// zlib's messages for corrupt data in the words used whichever library
// decodes; any other message is quoted as zlib gives it.
struct Message_Text {
  const char* message;
  const char* text;
};
constexpr Message_Text Message_Texts[] = {
    {"invalid block type", "invalid block"},
    {"invalid stored block lengths", "invalid block"},
    {"too many length or distance symbols", "invalid block"},
    {"invalid code lengths set", "invalid block"},
    {"invalid bit length repeat", "invalid block"},
    {"invalid code -- missing end-of-block", "invalid block"},
    {"invalid literal/lengths set", "invalid block"},
    {"invalid distances set", "invalid block"},
    {"invalid literal/length code", "invalid code"},
    {"invalid distance code", "invalid code"},
    {"invalid distance too far back", "distance too far back"},
    {"incorrect header check", Not_A_Member},
    {"unknown header flags set", Not_A_Member},
    {"unknown compression method", "unknown compression method"},
    {"header crc mismatch", "checksum or length mismatch"},
    {"incorrect data check", "checksum or length mismatch"},
    {"incorrect length check", "checksum or length mismatch"},
};

class Zlib_Decoder final : public Gzip_Decoder {
 public:
  Zlib_Decoder() {
    // Gzip members only; memory is all that can be short here.
    if (inflateInit2(&state_, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~Zlib_Decoder() override { inflateEnd(&state_); }

 private:
  void Reset() override { inflateReset(&state_); }
  Status Inflate(Buffers& io) override {
    state_.next_in = const_cast<unsigned char*>(io.in);
    state_.avail_in = static_cast<uInt>(std::min<std::size_t>(io.in_size, UINT32_MAX));
    state_.next_out = io.out;
    state_.avail_out = static_cast<uInt>(std::min<std::size_t>(io.out_size, UINT32_MAX));
    const int status = inflate(&state_, Z_NO_FLUSH);
    io.in_size -= state_.next_in - io.in;
    io.in = state_.next_in;
    io.out_size -= state_.next_out - io.out;
    io.out = state_.next_out;
    if (status == Z_MEM_ERROR) throw std::bad_alloc();
    if (status == Z_STREAM_END) return STREAM_END;
    if (status == Z_OK || status == Z_BUF_ERROR) return OK;  // Z_BUF_ERROR: no progress
    what_ = state_.msg == nullptr ? "status " + std::to_string(status) : state_.msg;
    for (const Message_Text& t : Message_Texts)
      if (what_ == t.message) what_ = t.text;
    return CORRUPT;
  }

  z_stream state_{};
};

}  // namespace

std::unique_ptr<Decoder> New_Gzip_Decoder() { return std::make_unique<Zlib_Decoder>(); }

#else

// What a decoder status means, for the message of corrupt data.
struct Status_Text {
  int status;
  const char* text;
};
constexpr Status_Text Status_Texts[] = {
    {ISAL_INVALID_BLOCK, "invalid block"},
    {ISAL_INVALID_SYMBOL, "invalid code"},
    {ISAL_INVALID_LOOKBACK, "distance too far back"},
    {ISAL_INVALID_WRAPPER, Not_A_Member},
    {ISAL_UNSUPPORTED_METHOD, "unknown compression method"},
    {ISAL_INCORRECT_CHECKSUM, "checksum or length mismatch"},
};

// The header is parsed apart from isal_inflate, which keeps its parse state in
// a local and so misreads a header whose optional fields arrive in several
// reads.
class Isal_Decoder final : public Gzip_Decoder {
 public:
  Isal_Decoder() {
    isal_inflate_init(&state_);
    state_.crc_flag = ISAL_GZIP;
  }

 private:
  void Reset() override {
    isal_inflate_reset(&state_);  // keeps the gzip setting
    header_ = isal_gzip_header();
    isal_gzip_header_init(&header_);
  }
  Status Inflate(Buffers& io) override {
    state_.next_in = const_cast<std::uint8_t*>(io.in);
    state_.avail_in = static_cast<std::uint32_t>(std::min<std::size_t>(io.in_size, UINT32_MAX));
    state_.next_out = io.out;
    state_.avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(io.out_size, UINT32_MAX));
    const int status =
        state_.wrapper_flag == 0 ? isal_read_gzip_header(&state_, &header_) : isal_inflate(&state_);
    io.in_size -= state_.next_in - io.in;
    io.in = state_.next_in;
    io.out_size -= state_.next_out - io.out;
    io.out = state_.next_out;
    if (status >= 0) return state_.block_state == ISAL_BLOCK_FINISH ? STREAM_END : OK;
    what_ = "status " + std::to_string(status);
    for (const Status_Text& t : Status_Texts)
      if (t.status == status) what_ = t.text;
    return CORRUPT;
  }

  inflate_state state_;
  isal_gzip_header header_;
};

}  // namespace

std::unique_ptr<Decoder> New_Gzip_Decoder() { return std::make_unique<Isal_Decoder>(); }

#endif
