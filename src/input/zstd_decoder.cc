// Zstandard frames, decoded with libzstd where it is built (TARVELO_WITH_ZSTD).
#include "input/decoder.h"
#include "input/zstd_frame.h"

#ifdef TARVELO_WITH_ZSTD

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstdint>
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
    text_waits_ = false;
    block_header_seen_ = 0;
    place_ = {FRAME_HEADER, SIZE_MAX};  // bytes unknown where the input ends first
    const auto byte = [&](std::size_t at) { return std::size_t(std::uint8_t(head[at])); };
    if (head.size() >= 8 && (byte(0) & 0xf0) == 0x50) {
      place_ = {SKIPPED, 8 + (byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24)};
    } else if (head.size() >= 5) {
      checksum_ = (byte(4) & 4) != 0;
      place_.left = Zstd_Frame_Header_Size(static_cast<unsigned>(byte(4)));
    }
    return error_ == ZSTD_error_no_error ? OK : CORRUPT;
  }
  // The library decodes a block once its bytes are at hand, and once a
  // block's text is out it goes on to the next block in the same call when
  // that block's bytes are at hand too: where a fault in it fell (with the
  // text of the call before it, or after) would depend on how many bytes
  // the input had at hand. So a call is given bytes up to the end of one
  // block only, and a call after one that filled the room first puts out
  // the text waiting, and decodes on only where room is left.
  Status Decode(Buffers& io, bool) override {
    ZSTD_outBuffer out{io.out, io.out_size, 0};
    std::size_t result = 1;
    if (text_waits_) {
      ZSTD_inBuffer none{io.in, 0, 0};
      result = ZSTD_decompressStream(context_, &out, &none);
    }
    if (!ZSTD_isError(result) && result != 0 && out.pos < out.size) {
      ZSTD_inBuffer in{io.in, Block_End(io.in, io.in_size), 0};
      result = ZSTD_decompressStream(context_, &out, &in);
      if (!ZSTD_isError(result)) Take(io.in, in.pos);
      io.in += in.pos;
      io.in_size -= in.pos;
    }
    text_waits_ = out.size > 0 && out.pos == out.size;
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
  enum Part { FRAME_HEADER, BLOCK_HEADER, BLOCK, CHECKSUM, SKIPPED, FRAME_END };
  struct Place {
    Part part;
    std::size_t left;  // bytes of the part not yet taken (SIZE_MAX: unknown)
  };

  // Moves Place on over Count bytes taken from In; with Stop, stops at the
  // end of the first block. Returns the bytes gone over.
  std::size_t Walk(Place& place, const unsigned char* in, std::size_t count, bool stop, bool keep_header) {
    std::size_t at = 0, seen = block_header_seen_;
    unsigned char header[3] = {block_header_[0], block_header_[1], block_header_[2]};
    while (place.part != FRAME_END && place.left != SIZE_MAX) {
      const std::size_t take = std::min(place.left, count - at);
      if (place.part == BLOCK_HEADER)
        for (std::size_t k = 0; k < take; ++k) header[seen++] = in[at + k];
      at += take;
      place.left -= take;
      if (place.left > 0) break;
      if (place.part == FRAME_HEADER) {
        place = {BLOCK_HEADER, 3};
      } else if (place.part == BLOCK_HEADER) {
        const Zstd_Block block = Zstd_Block_At(header);
        seen = 0;
        last_block_ = block.last;
        place = {BLOCK, block.Bytes()};
        if (place.left > 0) continue;
      }
      if (place.part == BLOCK) {
        place = last_block_ ? Place{checksum_ ? CHECKSUM : FRAME_END, checksum_ ? 4u : 0u} : Place{BLOCK_HEADER, 3};
        if (stop) break;
      } else if (place.part != BLOCK_HEADER) {
        place = {FRAME_END, 0};
      }
    }
    if (keep_header) {
      block_header_seen_ = seen;
      for (int k = 0; k < 3; ++k) block_header_[k] = header[k];
    }
    return place.left == SIZE_MAX ? count : at;
  }
  // How many of the Count bytes at In a call may take: up to the end of the
  // next block.
  std::size_t Block_End(const unsigned char* in, std::size_t count) {
    Place place = place_;
    const bool last = last_block_;
    const std::size_t end = Walk(place, in, count, true, false);
    last_block_ = last;
    return end;
  }
  void Take(const unsigned char* in, std::size_t count) { Walk(place_, in, count, false, true); }

  ZSTD_DCtx* context_;
  ZSTD_ErrorCode error_ = ZSTD_error_no_error;
  bool text_waits_ = false;  // the last call filled the room
  Place place_{FRAME_END, 0};
  bool checksum_ = false, last_block_ = false;
  unsigned char block_header_[3] = {};
  std::size_t block_header_seen_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> New_Zstd_Decoder() { return std::make_unique<Zstd_Decoder>(); }

#else

std::unique_ptr<Decoder> New_Zstd_Decoder() { return nullptr; }

#endif
