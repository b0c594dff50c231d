// Zstandard frames, decoded with libzstd where it is built (TARVELO_WITH_ZSTD).
#include "input/decoder.h"

#ifdef TARVELO_WITH_ZSTD

#include <zstd.h>
#include <zstd_errors.h>

#include <new>

namespace {

// Skippable frames may stand between the frames that hold text.
bool Begins_Frame(std::string_view head) {
  const std::string_view magic("\x28\xb5\x2f\xfd", 4), skippable("\x2a\x4d\x18", 3);
  head = head.substr(0, 4);
  return magic.starts_with(head) ||
         ((head[0] & 0xf0) == 0x50 && skippable.starts_with(head.substr(1)));
}

class Zstd_Decoder final : public Decoder {
 public:
  Zstd_Decoder() : context_(ZSTD_createDCtx()) {
    if (context_ == nullptr) throw std::bad_alloc();
    // The library's own default bound on a frame's window, made explicit.
    static_assert(Memory_Limit == std::size_t{1} << 27);
    ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, 27);
  }
  ~Zstd_Decoder() override { ZSTD_freeDCtx(context_); }
  Zstd_Decoder(const Zstd_Decoder&) = delete;
  Zstd_Decoder& operator=(const Zstd_Decoder&) = delete;

  Status Start_Stream(std::string_view head) override {
    error_ = Begins_Frame(head) ? ZSTD_error_no_error : ZSTD_error_prefix_unknown;
    return error_ == ZSTD_error_no_error ? OK : CORRUPT;
  }
  Status Decode(Buffers& io, bool) override {
    ZSTD_inBuffer in{io.in, io.in_size, 0};
    ZSTD_outBuffer out{io.out, io.out_size, 0};
    const std::size_t result = ZSTD_decompressStream(context_, &out, &in);
    io.in += in.pos;
    io.in_size -= in.pos;
    io.out += out.pos;
    io.out_size -= out.pos;
    if (!ZSTD_isError(result)) return result == 0 ? STREAM_END : OK;  // 0: a frame ended
    error_ = ZSTD_getErrorCode(result);
    if (error_ == ZSTD_error_memory_allocation) throw std::bad_alloc();
    return CORRUPT;
  }
  // Straight into the room for the text, without the window buffer that
  // streaming copies the text through.
  Status Decode_Whole(Buffers& io) override {
    const std::size_t made = ZSTD_decompressDCtx(context_, io.out, io.out_size, io.in, io.in_size);
    if (ZSTD_isError(made)) {
      error_ = ZSTD_getErrorCode(made);
      if (error_ == ZSTD_error_memory_allocation) throw std::bad_alloc();
      return CORRUPT;
    }
    io.in += io.in_size;
    io.in_size = 0;
    io.out += made;
    io.out_size -= made;
    return STREAM_END;
  }
  std::string What() const override {
    switch (error_) {
      case ZSTD_error_prefix_unknown: return "not a zstd frame header";
      case ZSTD_error_checksum_wrong: return "checksum mismatch";
      case ZSTD_error_corruption_detected: return "invalid data";
      case ZSTD_error_frameParameter_windowTooLarge: return Too_Much_Memory;
      default: return ZSTD_getErrorString(error_);
    }
  }

 private:
  ZSTD_DCtx* context_;
  ZSTD_ErrorCode error_ = ZSTD_error_no_error;
};

}  // namespace

std::unique_ptr<Decoder> New_Zstd_Decoder() { return std::make_unique<Zstd_Decoder>(); }

#else

std::unique_ptr<Decoder> New_Zstd_Decoder() { return nullptr; }

#endif
