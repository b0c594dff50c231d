#include "genbank/gzip_source.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

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

// What a Gzip_Source delivers from Compressed served in slices of Chunk bytes.
std::string Decompress(const std::string& compressed, std::size_t chunk = 1 << 20,
                       std::size_t capacity = 1 << 16) {
  Gzip_Source source(std::make_unique<String_Source>(compressed, "x.gb.gz", chunk));
  return Drain(source, capacity);
}

const std::string kText = "LOCUS       AB000001\nORIGIN\n        1 acgt\n//\n";
const std::string kFailure = " | TARVELO.READ_FILE.DECOMPRESSION_ERROR : x.gb.gz: ";
const std::string kTruncated = kFailure + "truncated compressed data";

TEST(GzipSource, DeliversEveryMemberWhateverTheSliceSizes) {
  const std::string a = "LOCUS       A\n", b = "//\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Member(a) + Member(b), a + b},
      {Bgzf_Block(a + "/") + Bgzf_Block("/\n") + Bgzf_Block(""), a + b},
      {Member("") + Member(a) + Member("") + Member("") + Member(b), a + b},
      // Optional header fields cut anywhere (the decoder's own header parse loses them).
      {Member(a, FEXTRA | FNAME | FCOMMENT, "\4\0XY\0\0x.gb\0comment\0"s) +
           Member(b, FNAME | FCOMMENT, "y.gb\0\0"s),
       a + b},
  };
  for (std::size_t chunk : {1, 2, 5, 1 << 20})
    for (std::size_t capacity : {1, 3, 1 << 16})
      for (const auto& [compressed, text] : cases)
        EXPECT_EQ(Decompress(compressed, chunk, capacity), text) << chunk << " " << capacity;
  // Members larger than the compressed-side buffer.
  const std::string big = Bases(800000), big_member = Member(big);
  ASSERT_GT(big_member.size(), Gzip_Source::Buffer_Size);
  EXPECT_TRUE(Decompress(big_member + Member(a) + big_member, 100000, 1 << 18) == big + a + big);
}

TEST(GzipSource, ReportsTruncationAndCorruptionAfterWhatDecodes) {
  const std::string whole = Member(kText), corrupt = kFailure + "corrupt compressed data ";
  std::string bad_check = whole;
  bad_check[bad_check.size() - 8] ^= 1;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {whole.substr(0, 7), kTruncated},
      {whole.substr(0, whole.size() - 1), kText + kTruncated},
      {whole + "\x1f", kText + kTruncated},
      {whole + bad_check, kText + corrupt + "(checksum or length mismatch)"},
      {whole + whole.substr(0, 10) + "\x07" + std::string(16, '\0'),
       kText + corrupt + "(invalid block)"},
      // Whatever follows a member must be another member.
      {whole + std::string(16, '\0'), kText + corrupt + "(not a gzip member header)"},
      {whole + "\x1f\x8c", kText + corrupt + "(not a gzip member header)"},
  };
  for (const auto& [compressed, text] : cases) EXPECT_EQ(Decompress(compressed), text);
  // Cut inside the compressed data: a good part of the text, then the report.
  const std::string big = Bases(200000), cut = Decompress(Member(big).substr(0, 50000), 1000);
  ASSERT_TRUE(cut.ends_with(kTruncated));
  EXPECT_GT(cut.size(), kTruncated.size() + 50000);
  EXPECT_TRUE(big.starts_with(cut.substr(0, cut.size() - kTruncated.size())));
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

TEST(GzipSource, OpenSourceDecompressesWhatBeginsWithTheMagicAndNothingElse) {
  int calls = 0;
  EXPECT_EQ(Open_Pipe(Member(kText) + Member(kText), calls), kText + kText);
  EXPECT_EQ(calls, 1);  // before the first read; the line reader flushes before the others
  EXPECT_EQ(Open_Pipe("\x1f\x8b", calls),
            " | TARVELO.READ_FILE.DECOMPRESSION_ERROR : standard input: truncated compressed data");
  for (const std::string& plain : {""s, "\x1f"s, "\x1f\x8c\x08"s, "\x1f"s + kText})
    EXPECT_EQ(Open_Pipe(plain, calls), plain);
}

}  // namespace
