#include "genbank/compressed_source.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#ifdef TARVELO_WITH_ZSTD
#include <zstd.h>
#endif
#ifdef TARVELO_WITH_BZIP2
#include <bzlib.h>
#endif
#ifdef TARVELO_WITH_XZ
#include <lzma.h>
#endif

#include "support/failure.h"

using namespace std::string_literals;

namespace {

constexpr char FEXTRA = 4, FNAME = 8, FCOMMENT = 16;

// Text as one gzip member whose header has Flags and the optional Fields.
std::string Member(const std::string& text, char flags = 0, const std::string& fields = "") {
  std::string out(text.size() + 1024, '\0');
  z_stream s{};
  EXPECT_EQ(deflateInit2(&s, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY),
            Z_OK);
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  s.avail_in = static_cast<uInt>(text.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  deflateEnd(&s);
  return "\x1f\x8b\x08"s + flags + std::string(6, '\0') + fields + out.substr(10, s.total_out - 10);
}

// One BGZF block: a member whose "BC" extra field gives its own size less one.
std::string Bgzf_Block(const std::string& text) {
  const std::size_t n = Member(text, FEXTRA, "\6\0BC\2\0.."s).size() - 1;
  return Member(text, FEXTRA, "\6\0BC\2\0"s + char(n & 255) + char(n >> 8));
}

// A format as the tests see it: how to make one stream, and what a damaged
// one reports. Flip_At counts from the end: a byte that a check covers.
struct Format {
  std::string (*compress)(const std::string&);
  std::unique_ptr<Decoder> (*new_decoder)();
  std::size_t flip_at;
  std::string bad_check, bad_header;
};

std::vector<Format> Formats() {
  std::vector<Format> formats = {{[](const std::string& t) { return Member(t); },
                                  New_Gzip_Decoder, 8, "checksum or length mismatch",
                                  "not a gzip member header"}};
#ifdef TARVELO_WITH_ZSTD
  formats.push_back({[](const std::string& text) {
                       std::string out(ZSTD_compressBound(text.size()), '\0');
                       ZSTD_CCtx* c = ZSTD_createCCtx();
                       ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
                       out.resize(
                           ZSTD_compress2(c, out.data(), out.size(), text.data(), text.size()));
                       ZSTD_freeCCtx(c);
                       return out;
                     },
                     New_Zstd_Decoder, 4, "checksum mismatch", "not a zstd frame header"});
#endif
#ifdef TARVELO_WITH_BZIP2
  formats.push_back({[](const std::string& text) {
                       std::string out(text.size() + text.size() / 50 + 600, '\0');
                       auto n = static_cast<unsigned>(out.size());
                       BZ2_bzBuffToBuffCompress(out.data(), &n, const_cast<char*>(text.data()),
                                                static_cast<unsigned>(text.size()), 1, 0, 0);
                       return out.substr(0, n);
                     },
                     New_Bzip2_Decoder, 3, "invalid data or checksum mismatch",
                     "not a bzip2 stream header"});
#endif
#ifdef TARVELO_WITH_XZ
  formats.push_back({[](const std::string& text) {
                       std::string out(lzma_stream_buffer_bound(text.size()), '\0');
                       std::size_t n = 0;
                       lzma_easy_buffer_encode(0, LZMA_CHECK_CRC32, nullptr,
                                               reinterpret_cast<const uint8_t*>(text.data()),
                                               text.size(), reinterpret_cast<uint8_t*>(out.data()),
                                               &n, out.size());
                       return out.substr(0, n);
                     },
                     New_Xz_Decoder, 40, "invalid data or checksum mismatch",
                     "not an xz stream header"});
#endif
  return formats;
}

// Pseudo-random bases and line feeds: compresses to about a half.
std::string Bases(std::size_t size) {
  std::minstd_rand random;
  std::string s;
  while (s.size() < size) s += "acgt\n"[random() % 5];
  return s;
}

// Everything Source delivers, read Capacity bytes at a time; the report of a
// failure follows " | ".
std::string Drain(Byte_Source& source, std::size_t capacity = 1 << 16) {
  std::string text, buffer(capacity, '\0');
  try {
    while (const std::size_t n = source.Read(buffer.data(), capacity)) text.append(buffer, 0, n);
  } catch (const Failure& f) {
    text += " | " + f.Full_Name() + " : " + f.Message();
  }
  return text;
}

// What a Compressed_Source delivers from Compressed served in slices of
// Chunk bytes.
std::string Decompress(const std::string& compressed, std::size_t chunk = 1 << 20,
                       std::size_t capacity = 1 << 16,
                       std::unique_ptr<Decoder> (*new_decoder)() = New_Gzip_Decoder) {
  Compressed_Source source(std::make_unique<String_Source>(compressed, "x.gb.gz", chunk),
                           new_decoder());
  return Drain(source, capacity);
}

const std::string kText = "LOCUS       AB000001\nORIGIN\n        1 acgt\n//\n";
const std::string kFailure = " | TARVELO.READ_FILE.DECOMPRESSION_ERROR : x.gb.gz: ";
const std::string kTruncated = kFailure + "truncated compressed data";
const std::string kCorrupt = kFailure + "corrupt compressed data ";

TEST(CompressedSource, DeliversEveryStreamWhateverTheSliceSizes) {
  const std::string a = "LOCUS       A\n", b = "//\n";
  for (const Format& f : Formats()) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {f.compress(a) + f.compress(b), a + b},
        {f.compress("") + f.compress(a) + f.compress("") + f.compress(b), a + b},
    };
    for (std::size_t chunk : {1, 2, 5, 1 << 20})
      for (std::size_t capacity : {1, 3, 1 << 16})
        for (const auto& [compressed, text] : cases)
          EXPECT_EQ(Decompress(compressed, chunk, capacity, f.new_decoder), text)
              << chunk << " " << capacity;
    // Streams larger than the compressed-side buffer.
    const std::string big = Bases(1200000), big_stream = f.compress(big);
    ASSERT_GT(big_stream.size(), Compressed_Source::Buffer_Size);
    EXPECT_TRUE(Decompress(big_stream + f.compress(a) + big_stream, 100000, 1 << 18,
                           f.new_decoder) == big + a + big);
  }
  // Gzip header fields cut anywhere (the decoder's own header parse loses them).
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Bgzf_Block(a + "/") + Bgzf_Block("/\n") + Bgzf_Block(""), a + b},
      {Member(a, FEXTRA | FNAME | FCOMMENT, "\4\0XY\0\0x.gb\0comment\0"s) +
           Member(b, FNAME | FCOMMENT, "y.gb\0\0"s),
       a + b},
  };
  for (std::size_t chunk : {1, 2, 5, 1 << 20})
    for (const auto& [compressed, text] : cases) EXPECT_EQ(Decompress(compressed, chunk), text);
}

TEST(CompressedSource, ReportsTruncationAndCorruptionAfterWhatDecodes) {
  for (const Format& f : Formats()) {
    const std::string whole = f.compress(kText);
    std::string bad_check = whole;
    bad_check[bad_check.size() - f.flip_at] ^= 1;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {whole.substr(0, 5), kTruncated},
        {whole + whole.substr(0, 1), kText + kTruncated},
        // A damaged stream whose bytes are all at hand is refused before its text.
        {bad_check, kCorrupt + "(" + f.bad_check + ")"},
        {whole + bad_check, kText + kCorrupt + "(" + f.bad_check + ")"},
        // Whatever follows a stream must be another stream.
        {whole + "GARBAGE!", kText + kCorrupt + "(" + f.bad_header + ")"},
    };
    for (std::size_t chunk : {1, 7, 1 << 20})
      for (const auto& [compressed, text] : cases)
        EXPECT_EQ(Decompress(compressed, chunk, 1 << 16, f.new_decoder), text) << chunk;
    // Cut anywhere: what decodes of the text, then the report.
    const std::string big = Bases(300000), big_stream = f.compress(big);
    for (std::size_t cut : {big_stream.size() / 3, big_stream.size() - 1}) {
      const std::string text = Decompress(big_stream.substr(0, cut), 1000, 1 << 16, f.new_decoder);
      ASSERT_TRUE(text.ends_with(kTruncated)) << text.substr(text.size() - 100);
      EXPECT_TRUE(big.starts_with(text.substr(0, text.size() - kTruncated.size())));
    }
  }
  const std::string whole = Member(kText);
  std::string bad_length = whole;
  bad_length[bad_length.size() - 4] ^= 1;
  const std::vector<std::pair<std::string, std::string>> gzip_cases = {
      {bad_length, kCorrupt + "(checksum or length mismatch)"},
      {whole.substr(0, whole.size() - 1), kText + kTruncated},
      {whole + "\x1f", kText + kTruncated},
      {whole + whole.substr(0, 10) + "\x07" + std::string(16, '\0'),
       kText + kCorrupt + "(invalid block)"},
      {whole + std::string(16, '\0'), kText + kCorrupt + "(not a gzip member header)"},
      {whole + "\x1f\x8c", kText + kCorrupt + "(not a gzip member header)"},
      // A reserved flag bit.
      {Member(kText, 32), kCorrupt + "(not a gzip member header)"},
      // A BGZF file ends with an empty block: one cut at a block boundary is truncated.
      {Bgzf_Block(kText) + Bgzf_Block(kText), kText + kText + kTruncated},
      {Bgzf_Block(kText) + Bgzf_Block("") + Member(kText), kText + kText + kTruncated},
      {Bgzf_Block(kText) + Bgzf_Block("") + Bgzf_Block(kText) + Bgzf_Block(""), kText + kText},
  };
  for (const auto& [compressed, text] : gzip_cases) EXPECT_EQ(Decompress(compressed), text);
#ifdef TARVELO_WITH_XZ
  // Null bytes in fours may follow an xz stream.
  const std::string xz = Formats().back().compress(kText), padding(4, '\0');
  EXPECT_EQ(Decompress(xz + padding + xz + padding, 1, 3, New_Xz_Decoder), kText + kText);
  EXPECT_EQ(Decompress(xz + padding.substr(1), 1 << 20, 1 << 16, New_Xz_Decoder),
            kText + kCorrupt + "(not an xz stream header)");
#endif
}

// What Open_Source delivers from a pipe holding Bytes; Hook_Calls counts the
// flushes before reads that may block.
std::string Open_Pipe(const std::string& bytes, int& hook_calls) {
  int fds[2];
  if (pipe(fds) != 0 || write(fds[1], bytes.data(), bytes.size()) != ssize_t(bytes.size()))
    return "pipe failed";
  close(fds[1]);
  hook_calls = 0;
  const std::string text = Drain(*Open_Source(fds[0], "standard input", [&] { ++hook_calls; }));
  close(fds[0]);
  return text;
}

TEST(CompressedSource, OpenSourceDecompressesWhatBeginsWithAMagicNumberAndNothingElse) {
  int calls = 0;
  for (const Format& f : Formats())
    EXPECT_EQ(Open_Pipe(f.compress(kText) + f.compress(kText), calls), kText + kText);
  EXPECT_EQ(calls, 1);  // before the first read; the line reader flushes before the others
  EXPECT_EQ(Open_Pipe("\x1f\x8b", calls),
            " | TARVELO.READ_FILE.DECOMPRESSION_ERROR : standard input: truncated compressed data");
  for (const std::string& plain : {""s, "\x1f"s, "\x1f\x8c\x08"s, "\x1f"s + kText, "\x28\xb5\x2f"s,
                                   "BZh"s, "BZh0"s + kText, "\xfd" "7zXZ"s})
    EXPECT_EQ(Open_Pipe(plain, calls), plain);
}

}  // namespace
