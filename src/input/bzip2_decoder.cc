// Bzip2 streams, decoded with libbz2 where it is built (TARVELO_WITH_BZIP2).
#include "input/decoder.h"

#ifdef TARVELO_WITH_BZIP2

#include <bzlib.h>

#include <algorithm>
#include <climits>
#include <new>

namespace {

class Bzip2_Decoder final : public Decoder {
 public:
  Bzip2_Decoder() = default;
  ~Bzip2_Decoder() override {
    if (started_) BZ2_bzDecompressEnd(&state_);
  }
  Bzip2_Decoder(const Bzip2_Decoder&) = delete;
  Bzip2_Decoder& operator=(const Bzip2_Decoder&) = delete;

  Status Start_Stream(std::string_view head) override {
    const std::string_view magic("BZh", 3);
    if (!magic.starts_with(head.substr(0, 3)) ||
        (head.size() > 3 && (head[3] < '1' || head[3] > '9'))) {
      error_ = BZ_DATA_ERROR_MAGIC;
      return CORRUPT;
    }
    if (started_) BZ2_bzDecompressEnd(&state_);
    started_ = false;
    state_ = bz_stream();
    if (BZ2_bzDecompressInit(&state_, 0, 0) != BZ_OK) throw std::bad_alloc();
    started_ = true;
    return OK;
  }
  Status Decode(Buffers& io, bool) override {
    state_.next_in = const_cast<char*>(reinterpret_cast<const char*>(io.in));
    state_.avail_in = static_cast<unsigned>(std::min<std::size_t>(io.in_size, UINT_MAX));
    state_.next_out = reinterpret_cast<char*>(io.out);
    state_.avail_out = static_cast<unsigned>(std::min<std::size_t>(io.out_size, UINT_MAX));
    const int status = BZ2_bzDecompress(&state_);
    const auto used = reinterpret_cast<const unsigned char*>(state_.next_in) - io.in;
    const auto made = reinterpret_cast<unsigned char*>(state_.next_out) - io.out;
    io.in += used;
    io.in_size -= used;
    io.out += made;
    io.out_size -= made;
    if (status == BZ_OK) return OK;
    if (status == BZ_STREAM_END) return STREAM_END;
    if (status == BZ_MEM_ERROR) throw std::bad_alloc();
    error_ = status;
    return CORRUPT;
  }
  std::string What() const override {
    switch (error_) {
      case BZ_DATA_ERROR_MAGIC: return "not a bzip2 stream header";
      case BZ_DATA_ERROR: return "invalid data or checksum mismatch";
      default: return "status " + std::to_string(error_);
    }
  }

 private:
  bz_stream state_{};
  bool started_ = false;
  int error_ = BZ_OK;
};

}  // namespace

std::unique_ptr<Decoder> New_Bzip2_Decoder() { return std::make_unique<Bzip2_Decoder>(); }

#else

std::unique_ptr<Decoder> New_Bzip2_Decoder() { return nullptr; }

#endif
