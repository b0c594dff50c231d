#include "input/compressed_source.h"

#include <algorithm>
#include <cstring>

#include "input/threaded_source.h"
#include "support/failure.h"

namespace {

constexpr const char* Decompression_Error = "TARVELO.READ_FILE.DECOMPRESSION_ERROR";

// A compression format as its first bytes tell it.
struct Format {
  const char* name;
  std::string_view magic;
  unsigned char first_bits;  // the bits of the first byte that the magic fixes
  bool level_digit;          // the magic is followed by a digit 1 to 9
  std::unique_ptr<Decoder> (*new_decoder)();
};
const Format Formats[] = {
    {"gzip", {"\x1f\x8b", 2}, 0xff, false, New_Gzip_Decoder},
    {"zstd", {"\x28\xb5\x2f\xfd", 4}, 0xff, false, New_Zstd_Decoder},
    // A zstd input may begin with a skippable frame (magic 0x184D2A50 to
    // 0x184D2A5F, little-endian), as every file of pzstd does.
    {"zstd", {"\x50\x2a\x4d\x18", 4}, 0xf0, false, New_Zstd_Decoder},
    {"bzip2", {"BZh", 3}, 0xff, true, New_Bzip2_Decoder},
    {"xz", {"\xfd" "7zXZ\0", 6}, 0xff, false, New_Xz_Decoder},
};
constexpr std::size_t Sniff_Size = 6;  // the longest magic number
constexpr std::size_t Bgzf_Sniff_Size = 18;  // a BGZF block's header, up to its size

const Format* Format_Of(std::string_view head) {
  for (const Format& f : Formats) {
    if (head.size() < f.magic.size() || !head.substr(1).starts_with(f.magic.substr(1)) ||
        ((head[0] ^ f.magic[0]) & f.first_bits) != 0)
      continue;
    if (!f.level_digit) return &f;
    const std::size_t at = f.magic.size();
    if (head.size() > at && head[at] >= '1' && head[at] <= '9') return &f;
  }
  return nullptr;
}

// A descriptor's bytes, of which the first few were read ahead to tell the
// format; they are delivered first.
class Sniffed_Source final : public Byte_Source {
 public:
  Sniffed_Source(int fd, std::string name) : fd_source_(fd, std::move(name)) {}

  // Reads until Size bytes are held (at most Bgzf_Sniff_Size) or the input ends.
  std::string_view Head(std::size_t size = Sniff_Size) {
    while (held_ < size && !ended_) {
      const std::size_t n = fd_source_.Read(head_ + held_, size - held_);
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
  char head_[Bgzf_Sniff_Size];
  std::size_t held_ = 0;
  std::size_t delivered_ = 0;
  bool ended_ = false;
};

}  // namespace

Compressed_Source::Compressed_Source(std::unique_ptr<Byte_Source> compressed,
                                     std::unique_ptr<Decoder> decoder, std::size_t unit_size)
    : compressed_(std::move(compressed)),
      decoder_(std::move(decoder)),
      input_(new unsigned char[Buffer_Size]),
      unit_size_(unit_size) {}

std::string_view Compressed_Source::Peek(std::size_t count) {
  if (held_ < count && !input_ended_) {
    std::memmove(input_.get(), input_.get() + next_, held_);
    next_ = 0;
    while (held_ < count && !input_ended_) {
      const std::size_t n =
          compressed_->Read(reinterpret_cast<char*>(input_.get()) + held_, Buffer_Size - held_);
      held_ += n;
      input_ended_ = n == 0;
    }
  }
  return std::string_view(reinterpret_cast<const char*>(input_.get()) + next_,
                          std::min(held_, count));
}

void Compressed_Source::Fail(const std::string& message) const {
  throw Failure(Decompression_Error, Name() + ": " + message);
}

std::size_t Compressed_Source::Read(char* buffer, std::size_t capacity) {
  try {
    return Decode(buffer, capacity);
  } catch (...) {
    failed_ = true;
    throw;
  }
}

void Compressed_Source::Check_Delivered_Text() {
  if (failed_) return;
  constexpr std::size_t Scratch_Size = 64 * 1024;
  const std::unique_ptr<char[]> scratch(new char[Scratch_Size]);
  checking_ = true;
  while (!stream_start_) Read(scratch.get(), Scratch_Size);
}

std::size_t Compressed_Source::Decode(char* buffer, std::size_t capacity) {
  Decoder::Buffers io{nullptr, 0, reinterpret_cast<unsigned char*>(buffer), capacity};  // the text
  std::size_t wanted = 1;  // compressed bytes to hold before decoding
  for (;;) {
    if (stream_start_) {
      const std::string_view head = Peek(Decoder::Head_Size);
      if (head.empty()) {
        if (decoder_->May_End()) return 0;
        Fail("truncated compressed data");
      }
      if (decoder_->Start_Stream(head) == Decoder::CORRUPT)
        Fail("corrupt compressed data (" + decoder_->What() + ")");
      stream_start_ = false;
    }
    Peek(wanted);
    // The decoder's room ends with the current unit.
    const std::size_t room = std::min(io.out_size, unit_size_ - unit_text_);
    Decoder::Buffers call{input_.get() + next_, held_, io.out, room};
    const Decoder::Status status = decoder_->Decode(call, input_ended_);
    const std::size_t used = held_ - call.in_size, made = room - call.out_size;
    next_ += used;
    held_ -= used;
    io.out += made;
    io.out_size -= made;
    // The text of this Read is dropped when a call fails: the decoder may
    // have written bytes past the fault.
    if (status == Decoder::CORRUPT) Fail("corrupt compressed data (" + decoder_->What() + ")");
    stream_start_ = status == Decoder::STREAM_END;
    unit_text_ += made;
    const bool unit_end = stream_start_ || unit_text_ == unit_size_;
    if (unit_end) unit_text_ = 0;
    const std::size_t produced = capacity - io.out_size;
    if (stream_start_ && checking_) return produced;
    // Text is returned at the end of a unit (at a stream's end, its checks
    // passed), when the buffer is full, or before a read that may wait.
    // Otherwise decoding goes on, so that a stream whose last bytes are at
    // hand is checked before its last text is delivered.
    if (produced > 0 && (unit_end || io.out_size == 0 || compressed_->May_Block())) return produced;
    wanted = 1;
    if (status == Decoder::OK && used == 0 && made == 0) {
      // No progress: the stream needs bytes that the input does not have.
      // (A decoder takes bytes while it has room for text, so held_ is below
      // Buffer_Size here.)
      if (!input_ended_) {
        wanted = held_ + 1;
      } else if (produced > 0) {
        return produced;  // the truncation is reported by the next Read
      } else {
        Fail("truncated compressed data");
      }
    }
  }
}

std::unique_ptr<Byte_Source> Open_Source(int fd, std::string name,
                                         const std::function<void()>& before_blocking,
                                         std::size_t threads, std::size_t unit_size) {
  auto source = std::make_unique<Sniffed_Source>(fd, std::move(name));
  if (before_blocking && source->May_Block()) before_blocking();
  const Format* format = Format_Of(source->Head());
  if (format == nullptr) return source;
  std::unique_ptr<Decoder> decoder = format->new_decoder();
  if (!decoder)
    throw Failure(Decompression_Error, source->Name() + ": " + format->name +
                                           " input, but this tarvelo was built without " +
                                           format->name + " support");
  if (threads == 0) threads = Decompression_Threads();
  if (threads < 2 || source->May_Block())
    return std::make_unique<Compressed_Source>(std::move(source), std::move(decoder), unit_size);
  if (format->new_decoder == New_Gzip_Decoder && Parallel_Source::Bgzf_Block_Size(source->Head(Bgzf_Sniff_Size)) > 0)
    return std::make_unique<Parallel_Source>(std::move(source), Parallel_Source::Bgzf_Blocks, threads, unit_size);
  if (format->new_decoder == New_Zstd_Decoder)
    return std::make_unique<Parallel_Source>(std::move(source), Parallel_Source::Zstd_Frames, threads, unit_size);
  return std::make_unique<Threaded_Source>(
      std::make_unique<Compressed_Source>(std::move(source), std::move(decoder), unit_size), unit_size);
}
