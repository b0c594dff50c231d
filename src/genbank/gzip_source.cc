#include "genbank/gzip_source.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#ifdef TARVELO_GZIP_ZLIB
#include <zlib.h>
#else
#include <isa-l/igzip_lib.h>
#endif

#include "support/failure.h"

namespace {

constexpr const char* Decompression_Error = "TARVELO.READ_FILE.DECOMPRESSION_ERROR";
constexpr std::string_view Gzip_Magic("\x1f\x8b", 2);
constexpr const char* Not_A_Member = "not a gzip member header";

// A descriptor's bytes, of which the first few were read ahead to tell the
// format; they are delivered first.
class Sniffed_Source final : public Byte_Source {
 public:
  Sniffed_Source(int fd, std::string name) : fd_source_(fd, std::move(name)) {}

  // Reads until Count bytes (at most 2) are held or the input ends.
  std::string_view Head(std::size_t count) {
    while (held_ < count && !ended_) {
      const std::size_t n = fd_source_.Read(head_ + held_, count - held_);
      held_ += n;
      ended_ = n == 0;
    }
    return std::string_view(head_, held_);
  }

  std::size_t Read(char* buffer, std::size_t capacity) override {
    if (delivered_ < held_) {
      const std::size_t n = std::min(capacity, held_ - delivered_);
      std::memcpy(buffer, head_ + delivered_, n);
      delivered_ += n;
      return n;
    }
    return ended_ ? 0 : fd_source_.Read(buffer, capacity);
  }
  bool May_Block() const override { return fd_source_.May_Block(); }
  const std::string& Name() const override { return fd_source_.Name(); }

 private:
  Fd_Source fd_source_;
  char head_[2];
  std::size_t held_ = 0;
  std::size_t delivered_ = 0;
  bool ended_ = false;
};

}  // namespace

// The decoding library behind one interface. State's next_in, avail_in,
// next_out and avail_out (named alike in both libraries) are the compressed
// bytes not yet used and the room left for text. A new Decoder, and one after
// Start_Member, expects a member's first byte; Decode makes what progress it
// can and returns a negative status for corrupt data, which What names;
// Member_Ended tells that a member ended with its checks passed.
#ifdef TARVELO_GZIP_ZLIB

namespace {

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

}  // namespace

struct Gzip_Source::Decoder {
  z_stream state{};
  bool member_ended = false;

  Decoder() {
    // Gzip members only; memory is all that can be short here.
    if (inflateInit2(&state, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~Decoder() { inflateEnd(&state); }

  bool Member_Ended() const { return member_ended; }
  void Start_Member() {
    inflateReset(&state);  // keeps the input and the output
    member_ended = false;
  }
  int Decode() {
    const int status = inflate(&state, Z_NO_FLUSH);
    if (status == Z_MEM_ERROR) throw std::bad_alloc();
    member_ended = status == Z_STREAM_END;
    return status == Z_BUF_ERROR ? Z_OK : status;  // no progress without more input
  }
  std::string What(int status) const {
    if (state.msg == nullptr) return "status " + std::to_string(status);
    for (const Message_Text& t : Message_Texts)
      if (std::strcmp(t.message, state.msg) == 0) return t.text;
    return state.msg;
  }
};

#else

namespace {

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

}  // namespace

// Holds the header of the member being read too. The header is parsed here
// rather than inside isal_inflate, which keeps its parse state in a local and
// so misreads a header whose optional fields arrive in several reads.
struct Gzip_Source::Decoder {
  inflate_state state;
  isal_gzip_header header;

  Decoder() {
    isal_inflate_init(&state);
    state.crc_flag = ISAL_GZIP;
    Start_Member();
  }

  bool Member_Ended() const { return state.block_state == ISAL_BLOCK_FINISH; }
  void Start_Member() {
    isal_inflate_reset(&state);  // keeps the input, the output and the gzip setting
    header = isal_gzip_header();
    isal_gzip_header_init(&header);
  }
  int Decode() {
    return state.wrapper_flag == 0 ? isal_read_gzip_header(&state, &header) : isal_inflate(&state);
  }
  std::string What(int status) const {
    for (const Status_Text& t : Status_Texts)
      if (t.status == status) return t.text;
    return "status " + std::to_string(status);
  }
};

#endif

Gzip_Source::Gzip_Source(std::unique_ptr<Byte_Source> compressed)
    : compressed_(std::move(compressed)),
      input_(new unsigned char[Buffer_Size]),
      decoder_(new Decoder()) {
  decoder_->state.next_in = input_.get();
  decoder_->state.avail_in = 0;
}

Gzip_Source::~Gzip_Source() = default;

bool Gzip_Source::Fill() {
  if (input_ended_) return false;
  const std::size_t n = compressed_->Read(reinterpret_cast<char*>(input_.get()), Buffer_Size);
  decoder_->state.next_in = input_.get();
  decoder_->state.avail_in = static_cast<std::uint32_t>(n);
  input_ended_ = n == 0;
  return n > 0;
}

void Gzip_Source::Fail(const std::string& what) const {
  throw Failure(Decompression_Error, Name() + ": corrupt compressed data (" + what + ")");
}

std::size_t Gzip_Source::Read(char* buffer, std::size_t capacity) {
  auto& s = decoder_->state;
  const auto room = static_cast<std::uint32_t>(std::min<std::size_t>(capacity, UINT32_MAX));
  s.next_out = reinterpret_cast<unsigned char*>(buffer);
  s.avail_out = room;
  for (;;) {
    if (decoder_->Member_Ended()) {
      // A member ended with its checks passed: the input may end here, or
      // the next member begins with the bytes that follow.
      if (s.avail_in == 0 && !Fill()) return 0;
      // Short trailing garbage would otherwise pass for a cut header.
      if (s.next_in[0] != 0x1f || (s.avail_in > 1 && s.next_in[1] != 0x8b)) Fail(Not_A_Member);
      decoder_->Start_Member();
    }
    if (s.avail_in == 0) Fill();
    // The output of a call that fails is dropped: the decoder may have
    // written bytes past the fault.
    if (const int status = decoder_->Decode(); status < 0) Fail(decoder_->What(status));
    if (const std::size_t produced = room - s.avail_out; produced > 0) return produced;
    if (s.avail_in == 0 && input_ended_ && !decoder_->Member_Ended())
      throw Failure(Decompression_Error, Name() + ": truncated compressed data");
  }
}

std::unique_ptr<Byte_Source> Open_Source(int fd, std::string name,
                                         const std::function<void()>& before_blocking) {
  auto source = std::make_unique<Sniffed_Source>(fd, std::move(name));
  if (before_blocking && source->May_Block()) before_blocking();
  if (source->Head(Gzip_Magic.size()) == Gzip_Magic)
    return std::make_unique<Gzip_Source>(std::move(source));
  return source;
}
