// The layout of a zstd frame, read without the library: where its blocks
// begin and how long each is, for finding frames that decode apart and for
// giving the decoder one block at a time.
#pragma once

#include <cstddef>
#include <cstdint>

// The bytes of the content size that ends a frame's header, from the
// header's descriptor (its fifth byte).
inline std::size_t Zstd_Content_Size_Bytes(unsigned descriptor) {
  const bool single_segment = (descriptor & 0x20) != 0;
  return descriptor >> 6 == 0 ? (single_segment ? 1 : 0) : std::size_t{1} << (descriptor >> 6);
}

// The bytes of a frame's header, magic number included: the magic, the
// descriptor, then a window byte, a dictionary number and the content size
// as the descriptor says.
inline std::size_t Zstd_Frame_Header_Size(unsigned descriptor) {
  const bool single_segment = (descriptor & 0x20) != 0;
  const std::size_t dictionary_bytes = (descriptor & 3) == 0 ? 0 : std::size_t{1} << ((descriptor & 3) - 1);
  return 5 + (single_segment ? 0 : 1) + dictionary_bytes + Zstd_Content_Size_Bytes(descriptor);
}

// A block's 3-byte header: whether it is the frame's last, its type (0 raw,
// 1 RLE, 2 compressed, 3 reserved) and the bytes that follow the header.
struct Zstd_Block {
  bool last;
  unsigned type;
  std::size_t size;  // of the text for raw and RLE blocks, of the bytes for compressed ones
  std::size_t Bytes() const { return type == 1 ? 1 : size; }
};
inline Zstd_Block Zstd_Block_At(const unsigned char* header) {
  const std::size_t value = header[0] | header[1] << 8 | std::size_t{header[2]} << 16;
  return {(value & 1) != 0, static_cast<unsigned>(value >> 1 & 3), value >> 3};
}
