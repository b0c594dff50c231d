// Xz streams, decoded with liblzma where it is built (TARVELO_WITH_XZ).
#include "input/decoder.h"

#ifdef TARVELO_WITH_XZ

#include <lzma.h>

#include <cstdint>
#include <new>

namespace {

constexpr const char* Not_A_Stream = "not an xz stream header";

class Xz_Decoder final : public Decoder {
 public:
  Xz_Decoder() = default;
  ~Xz_Decoder() override { lzma_end(&state_); }
  Xz_Decoder(const Xz_Decoder&) = delete;
  Xz_Decoder& operator=(const Xz_Decoder&) = delete;

  Status Start_Stream(std::string_view head) override {
    in_stream_ = false;
    padding_ = 0;
    if (head[0] == '\0' || std::string_view("\xfd" "7zXZ\0", 6).starts_with(head.substr(0, 6)))
      return OK;
    what_ = Not_A_Stream;
    return CORRUPT;
  }
  Status Decode(Buffers& io, bool finish) override {
    if (!in_stream_) {
      // Stream padding, null bytes in fours, may follow a stream.
      for (; io.in_size > 0 && io.in[0] == 0; ++io.in, --io.in_size) ++padding_;
      if (io.in_size == 0 && !finish) return OK;
      if (padding_ % 4 != 0) {
        what_ = Not_A_Stream;
        return CORRUPT;
      }
      if (io.in_size == 0) return STREAM_END;
      // A block whose dictionary would take more than the limit is refused
      // before its memory is taken.
      if (lzma_stream_decoder(&state_, Memory_Limit, 0) != LZMA_OK) throw std::bad_alloc();
      in_stream_ = true;
    }
    state_.next_in = io.in;
    state_.avail_in = io.in_size;
    state_.next_out = io.out;
    state_.avail_out = io.out_size;
    const lzma_ret status = lzma_code(&state_, LZMA_RUN);
    io.in = state_.next_in;
    io.in_size = state_.avail_in;
    io.out = state_.next_out;
    io.out_size = state_.avail_out;
    switch (status) {
      case LZMA_OK:
      case LZMA_BUF_ERROR: return OK;  // BUF_ERROR: no progress
      case LZMA_STREAM_END: return STREAM_END;
      case LZMA_MEM_ERROR: throw std::bad_alloc();
      case LZMA_MEMLIMIT_ERROR: what_ = Too_Much_Memory; break;
      case LZMA_FORMAT_ERROR: what_ = Not_A_Stream; break;
      case LZMA_DATA_ERROR: what_ = "invalid data or checksum mismatch"; break;
      case LZMA_OPTIONS_ERROR: what_ = "unsupported options"; break;
      default: what_ = "status " + std::to_string(status);
    }
    return CORRUPT;
  }
  std::string What() const override { return what_; }

 private:
  lzma_stream state_ = LZMA_STREAM_INIT;
  bool in_stream_ = false;
  std::size_t padding_ = 0;
  std::string what_;
};

}  // namespace

std::unique_ptr<Decoder> New_Xz_Decoder() { return std::make_unique<Xz_Decoder>(); }

#else

std::unique_ptr<Decoder> New_Xz_Decoder() { return nullptr; }

#endif
