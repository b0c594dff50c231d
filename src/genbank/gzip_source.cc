#include "genbank/gzip_source.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include <isa-l/igzip_lib.h>

#include "support/failure.h"

namespace {

constexpr const char* Decompression_Error = "TARVELO.READ_FILE.DECOMPRESSION_ERROR";
constexpr std::string_view Gzip_Magic("\x1f\x8b", 2);

// What a decoder status means, for the message of corrupt data.
struct Status_Text {
  int status;
  const char* text;
};
constexpr Status_Text Status_Texts[] = {
    {ISAL_INVALID_BLOCK, "invalid block"},
    {ISAL_INVALID_SYMBOL, "invalid code"},
    {ISAL_INVALID_LOOKBACK, "distance too far back"},
    {ISAL_INVALID_WRAPPER, "not a gzip member header"},
    {ISAL_UNSUPPORTED_METHOD, "unknown compression method"},
    {ISAL_INCORRECT_CHECKSUM, "checksum or length mismatch"},
};

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

// The decoder's state, and the header of the member being read. The header
// is parsed here rather than inside isal_inflate, which keeps its parse
// state in a local and so misreads a header whose optional fields arrive in
// several reads.
struct Gzip_Source::Decoder {
  inflate_state state;
  isal_gzip_header header;

  void Start_Member() {
    isal_inflate_reset(&state);  // keeps the input, the output and the gzip setting
    header = isal_gzip_header();
    isal_gzip_header_init(&header);
  }
};

Gzip_Source::Gzip_Source(std::unique_ptr<Byte_Source> compressed)
    : compressed_(std::move(compressed)),
      input_(new unsigned char[Buffer_Size]),
      decoder_(new Decoder()) {
  isal_inflate_init(&decoder_->state);
  decoder_->state.crc_flag = ISAL_GZIP;
  decoder_->state.next_in = input_.get();
  decoder_->state.avail_in = 0;
  decoder_->Start_Member();
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

void Gzip_Source::Fail(int status) const {
  std::string what = "status " + std::to_string(status);
  for (const Status_Text& t : Status_Texts)
    if (t.status == status) what = t.text;
  throw Failure(Decompression_Error, Name() + ": corrupt compressed data (" + what + ")");
}

std::size_t Gzip_Source::Read(char* buffer, std::size_t capacity) {
  inflate_state& s = decoder_->state;
  const auto room = static_cast<std::uint32_t>(std::min<std::size_t>(capacity, UINT32_MAX));
  s.next_out = reinterpret_cast<std::uint8_t*>(buffer);
  s.avail_out = room;
  for (;;) {
    if (s.block_state == ISAL_BLOCK_FINISH) {
      // A member ended with its checks passed: the input may end here, or
      // the next member begins with the bytes that follow.
      if (s.avail_in == 0 && !Fill()) return 0;
      // Short trailing garbage would otherwise pass for a cut header.
      if (s.next_in[0] != 0x1f || (s.avail_in > 1 && s.next_in[1] != 0x8b))
        Fail(ISAL_INVALID_WRAPPER);
      decoder_->Start_Member();
    }
    if (s.avail_in == 0) Fill();
    // The output of a call that fails is dropped: the decoder may have
    // written bytes past the fault.
    const int status =
        s.wrapper_flag == 0 ? isal_read_gzip_header(&s, &decoder_->header) : isal_inflate(&s);
    if (status < 0) Fail(status);
    if (const std::size_t produced = room - s.avail_out; produced > 0) return produced;
    if (s.avail_in == 0 && input_ended_ && s.block_state != ISAL_BLOCK_FINISH)
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
