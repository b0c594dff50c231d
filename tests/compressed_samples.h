// Compressed inputs for the tests: gzip members and BGZF blocks made with
// zlib, the other formats by their command-line tools; and what a source
// delivers.
#pragma once

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "input/byte_source.h"
#include "input/decoder.h"
#include "support/failure.h"

namespace compressed_samples {

using namespace std::string_literals;

using New_Decoder = std::unique_ptr<Decoder> (*)();

// Text as Command (a filter) makes it.
inline std::string Filter(const char* command, const std::string& text) {
  char path[] = "/tmp/tarvelo-test-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0 || write(fd, text.data(), text.size()) != ssize_t(text.size())) return "mkstemp failed";
  close(fd);
  FILE* pipe = popen((command + " < "s + path).c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  unlink(path);
  return out;
}

inline constexpr char FEXTRA = 4, FNAME = 8, FCOMMENT = 16;

// Text as one gzip member whose header has Flags and the optional Fields,
// deflated at Level (0: stored, so that a byte of the text can be damaged
// in place).
inline std::string Member(const std::string& text, char flags = 0, const std::string& fields = "",
                          int level = 1) {
  z_stream z{};
  std::string deflated(compressBound(uLong(text.size())) + 64, '\0');
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return "";
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = uInt(text.size());
  z.next_out = reinterpret_cast<Bytef*>(deflated.data());
  z.avail_out = uInt(deflated.size());
  deflate(&z, Z_FINISH);
  deflated.resize(z.total_out);
  deflateEnd(&z);
  std::string member = "\x1f\x8b\x08"s + flags + std::string(6, '\0') + fields + deflated;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(text.data()), uInt(text.size()));
  for (const uLong word : {crc, uLong(text.size())})
    for (int k = 0; k < 4; ++k) member += char(word >> (8 * k));
  return member;
}

// One BGZF block: a member whose "BC" extra field gives its own size less one.
inline std::string Bgzf_Block(const std::string& text) {
  const std::size_t n = Member(text, FEXTRA, "\6\0BC\2\0.."s).size() - 1;
  return Member(text, FEXTRA, "\6\0BC\2\0"s + char(n & 255) + char(n >> 8));
}

// A format as the tests see it: the command that makes a stream, and what a
// damaged one reports. Flip_At counts from the end: a byte that a check covers.
struct Format {
  const char* command;
  New_Decoder new_decoder;
  std::size_t flip_at;
  std::string bad_check, bad_header;
  std::string Compress(const std::string& text) const { return Filter(command, text); }
};
inline const std::vector<Format> Formats = {
    {"gzip -c -1", New_Gzip_Decoder, 8, "checksum or length mismatch", "not a gzip member header"},
#ifdef TARVELO_WITH_ZSTD
    {"zstd -c -q -1 --check", New_Zstd_Decoder, 4, "checksum mismatch", "not a zstd frame header"},
#endif
#ifdef TARVELO_WITH_BZIP2
    {"bzip2 -c -1", New_Bzip2_Decoder, 3, "invalid data or checksum mismatch", "not a bzip2 stream header"},
#endif
#ifdef TARVELO_WITH_XZ
    {"xz -c -0 --check=crc32", New_Xz_Decoder, 40, "invalid data or checksum mismatch",
     "not an xz stream header"},
#endif
};

// Everything Source delivers, read Capacity bytes at a time: the text, then
// the report of a failure after " | "; with Sizes, each Read's size first,
// then "/ ".
inline std::string Drain(Byte_Source& source, std::size_t capacity = 1 << 16, bool sizes = false) {
  std::string counts, text, buffer(capacity, '\0');
  try {
    while (const std::size_t n = source.Read(buffer.data(), capacity)) {
      counts += std::to_string(n) + " ";
      text.append(buffer, 0, n);
    }
  } catch (const Failure& f) {
    text += " | " + f.Full_Name() + " : " + f.Message();
  }
  return sizes ? counts + "/ " + text : text;
}

// The report that Check_Delivered_Text throws after Reads reads of Capacity
// bytes (fewer where the source ends or fails first), or "".
inline std::string Check_After(Byte_Source& source, std::size_t reads, std::size_t capacity) {
  std::string buffer(capacity, '\0');
  try {
    for (std::size_t k = 0; k < reads && source.Read(buffer.data(), capacity) > 0; ++k) {
    }
  } catch (const Failure&) {
  }
  try {
    source.Check_Delivered_Text();
  } catch (const Failure& f) {
    return " | " + f.Full_Name() + " : " + f.Message();
  }
  return "";
}

}  // namespace compressed_samples
