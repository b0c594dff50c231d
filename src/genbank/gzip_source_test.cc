#include "genbank/gzip_source.h"

#include <gtest/gtest.h>
#include <isa-l/igzip_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "support/failure.h"

using namespace std::string_literals;

namespace {

constexpr char FEXTRA = 4, FNAME = 8, FCOMMENT = 16;

// Text as one gzip member whose header has Flags and the optional Fields.
std::string Member(const std::string& text, char flags = 0, const std::string& fields = "") {
  std::string out(text.size() + 1024, '\0');
  isal_zstream s{};
  isal_deflate_stateless_init(&s);
  s.gzip_flag = IGZIP_GZIP;
  s.end_of_stream = 1;
  s.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(text.data()));
  s.avail_in = static_cast<std::uint32_t>(text.size());
  s.next_out = reinterpret_cast<std::uint8_t*>(out.data());
  s.avail_out = static_cast<std::uint32_t>(out.size());
  EXPECT_EQ(isal_deflate_stateless(&s), COMP_OK);
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

// What a Gzip_Source delivers from Compressed served in slices of Chunk bytes
// and read into a buffer of Capacity; a failure's report follows " | ".
std::string Decompress(const std::string& compressed, std::size_t chunk = 1 << 20,
                       std::size_t capacity = 1 << 16) {
  Gzip_Source source(std::make_unique<String_Source>(compressed, "x.gb.gz", chunk));
  std::string text, buffer(capacity, '\0');
  try {
    while (const std::size_t n = source.Read(buffer.data(), capacity)) text.append(buffer, 0, n);
  } catch (const Failure& f) {
    text += " | " + f.Full_Name() + " : " + f.Message();
  }
  return text;
}

const std::string kText = "LOCUS       AB000001\nORIGIN\n        1 acgt\n//\n";
const std::string kFailure = " | TARVELO.READ_FILE.DECOMPRESSION_ERROR : x.gb.gz: ";
const std::string kTruncated = kFailure + "truncated compressed data";

TEST(GzipSource, DeliversEveryMemberWhateverTheSliceSizes) {
  const std::string a = "LOCUS       A\n", b = "//\n";
  for (std::size_t chunk : {1, 2, 5, 1 << 20}) {
    for (std::size_t capacity : {1, 3, 1 << 16}) {
      SCOPED_TRACE(testing::Message() << "chunk " << chunk << ", capacity " << capacity);
      EXPECT_EQ(Decompress(Member(kText), chunk, capacity), kText);
      EXPECT_EQ(Decompress(Member(a) + Member(b), chunk, capacity), a + b);
      EXPECT_EQ(
          Decompress(Bgzf_Block(a + "/") + Bgzf_Block("/\n") + Bgzf_Block(""), chunk, capacity),
          a + b);
      EXPECT_EQ(
          Decompress(Member("") + Member(a) + Member("") + Member("") + Member(b), chunk, capacity),
          a + b);
      EXPECT_EQ(Decompress(Member("") + Member(""), chunk, capacity), "");
      // Optional header fields cut anywhere (the decoder's own header parse loses them).
      EXPECT_EQ(Decompress(Member(a, FEXTRA | FNAME | FCOMMENT, "\4\0XY\0\0x.gb\0comment\0"s) +
                               Member(b, FNAME | FCOMMENT, "y.gb\0\0"s),
                           chunk, capacity),
                a + b);
    }
  }
  // Members larger than the compressed-side buffer.
  const std::string big = Bases(800000), big_member = Member(big);
  ASSERT_GT(big_member.size(), Gzip_Source::Buffer_Size);
  EXPECT_EQ(Decompress(big_member + Member(a) + big_member, 100000, 1 << 18), big + a + big);
}

TEST(GzipSource, ReportsTruncationAfterWhatDecodes) {
  const std::string whole = Member(kText), big = Bases(200000);
  EXPECT_EQ(Decompress("\x1f\x8b"), kTruncated);
  EXPECT_EQ(Decompress(whole.substr(0, 7)), kTruncated);
  EXPECT_EQ(Decompress(whole.substr(0, whole.size() - 1)), kText + kTruncated);
  EXPECT_EQ(Decompress(whole + "\x1f"), kText + kTruncated);
  // Cut inside the compressed data: a good part of the text, then the report.
  const std::string cut = Decompress(Member(big).substr(0, 50000), 1000);
  ASSERT_TRUE(cut.ends_with(kTruncated));
  EXPECT_GT(cut.size(), kTruncated.size() + 50000);
  EXPECT_TRUE(big.starts_with(cut.substr(0, cut.size() - kTruncated.size())));
}

TEST(GzipSource, ReportsCorruptDataAfterTheMembersBeforeIt) {
  const std::string whole = Member(kText);
  std::string bad_check = whole;
  bad_check[bad_check.size() - 8] ^= 1;
  for (const std::string& before : {""s, whole}) {
    const std::string text = before.empty() ? "" : kText;
    EXPECT_EQ(Decompress(before + bad_check),
              text + kFailure + "corrupt compressed data (checksum or length mismatch)");
    EXPECT_EQ(Decompress(before + whole.substr(0, 10) + "\x07" + std::string(16, '\0')),
              text + kFailure + "corrupt compressed data (invalid block)");
  }
  // Whatever follows a member must be another member, however short.
  for (const std::string& junk : {"LOCUS"s, std::string(16, '\0'), "\x1f\x8c"s})
    EXPECT_EQ(Decompress(whole + junk),
              kText + kFailure + "corrupt compressed data (not a gzip member header)");
}

// What Open_Source delivers from a pipe holding Bytes; Hook_Calls counts the
// flushes before reads that may block.
std::string Open_Pipe(const std::string& bytes, int& hook_calls) {
  int fds[2];
  if (pipe(fds) != 0 || write(fds[1], bytes.data(), bytes.size()) != ssize_t(bytes.size()))
    return "pipe failed";
  close(fds[1]);
  hook_calls = 0;
  std::string text;
  try {
    const auto source = Open_Source(fds[0], "standard input", [&hook_calls] { ++hook_calls; });
    char buffer[4096];
    while (const std::size_t n = source->Read(buffer, sizeof buffer)) text.append(buffer, n);
  } catch (const Failure& f) {
    text += " | " + f.Message();
  }
  close(fds[0]);
  return text;
}

TEST(GzipSource, OpenSourceDecompressesWhatBeginsWithTheMagicAndNothingElse) {
  int calls = 0;
  EXPECT_EQ(Open_Pipe(Member(kText) + Member(kText), calls), kText + kText);
  EXPECT_EQ(calls, 1);  // before the first read; the line reader flushes before the others
  EXPECT_EQ(Open_Pipe("\x1f\x8b", calls), " | standard input: truncated compressed data");
  for (const std::string& plain :
       {""s, "\x1f"s, "\x8b"s, "\x1f\x8c\x08"s, "\x8b\x1f\n"s + kText, "\x1f"s + kText})
    EXPECT_EQ(Open_Pipe(plain, calls), plain);
}

}  // namespace
