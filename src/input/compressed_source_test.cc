#include "input/compressed_source.h"

#include <gtest/gtest.h>

#include "compressed_samples.h"
#include "string_source.h"
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/failure.h"

using namespace std::string_literals;

namespace {

using namespace compressed_samples;

// What a Compressed_Source delivers from Compressed served in slices of
// Chunk bytes (from an input that may wait, with May_Block).
std::string Decompress(const std::string& compressed, std::size_t chunk, std::size_t capacity,
                       New_Decoder new_decoder, bool may_block = false) {
  Compressed_Source source(std::make_unique<String_Source>(compressed, "x.gb.gz", chunk, may_block),
                           new_decoder());
  return Drain(source, capacity);
}

const std::string kText = "LOCUS       AB000001\nORIGIN\n        1 acgt\n//\n";
const std::string kFailure = " | TARVELO.READ_FILE.DECOMPRESSION_ERROR : x.gb.gz: ";
const std::string kTruncated = kFailure + "truncated compressed data";
const std::string kCorrupt = kFailure + "corrupt compressed data ";

// Every stream's text in turn, then the report of the first fault: a damaged
// stream whose bytes are all at hand is refused before its text, unless the
// reads are too small to hold it.
TEST(CompressedSource, DeliversEachStreamsTextThenReportsTheFirstFault) {
  struct Case {
    New_Decoder new_decoder;
    std::string compressed, text;
  };
  std::vector<Case> cases;
  for (const Format& f : Formats) {
    const std::string whole = f.Compress(kText);
    std::string bad_check = whole;
    bad_check[bad_check.size() - f.flip_at] ^= 1;
    for (const auto& [compressed, text] : std::vector<std::pair<std::string, std::string>>{
             {f.Compress("") + whole + f.Compress("") + whole, kText + kText},
             {whole.substr(0, 5), kTruncated},
             {whole + whole.substr(0, 1), kText + kTruncated},
             {bad_check, kCorrupt + "(" + f.bad_check + ")"},
             {whole + bad_check, kText + kCorrupt + "(" + f.bad_check + ")"},
             {whole + "GARBAGE!", kText + kCorrupt + "(" + f.bad_header + ")"}})
      cases.push_back({f.new_decoder, compressed, text});
  }
  const std::string whole = Member(kText);
  std::string bad_length = whole;
  bad_length[bad_length.size() - 4] ^= 1;
  for (const auto& [compressed, text] : std::vector<std::pair<std::string, std::string>>{
           // Header fields cut anywhere (the decoder's own header parse loses them).
           {Member(kText, FEXTRA | FNAME | FCOMMENT, "\4\0XY\0\0x.gb\0comment\0"s) +
                Member(kText, FNAME | FCOMMENT, "y.gb\0\0"s),
            kText + kText},
           {bad_length, kCorrupt + "(checksum or length mismatch)"},
           {whole + "\x1f", kText + kTruncated},
           {whole + whole.substr(0, 10) + "\x07" + std::string(16, '\0'),
            kText + kCorrupt + "(invalid block)"},
           {whole + "\x1f\x8c", kText + kCorrupt + "(not a gzip member header)"},
           {Member(kText, 32), kCorrupt + "(not a gzip member header)"},  // a reserved flag bit
           // A BGZF file ends with an empty block: one cut at a block boundary is truncated.
           {Bgzf_Block(kText) + Bgzf_Block("") + Bgzf_Block(kText) + Bgzf_Block(""), kText + kText},
           {Bgzf_Block(kText) + Bgzf_Block(kText), kText + kText + kTruncated},
           // BGZF blocks and other members: a gzip file, which needs no end block.
           {Bgzf_Block(kText) + Bgzf_Block("") + Member(kText), kText + kText},
           {Bgzf_Block(kText) + Member(kText), kText + kText},
           {Member(kText) + Bgzf_Block(kText), kText + kText}})
    cases.push_back({New_Gzip_Decoder, compressed, text});
#ifdef TARVELO_WITH_ZSTD
  const std::string zstd = Filter("zstd -c -q", kText);
  cases.push_back({New_Zstd_Decoder, zstd + "\x5e\x2a\x4d\x18\3\0\0\0abc"s + zstd, kText + kText});
#endif
#ifdef TARVELO_WITH_XZ
  // Null bytes in fours may follow an xz stream.
  const std::string xz = Filter("xz -c", kText);
  cases.push_back({New_Xz_Decoder, xz + "\0\0\0\0"s + xz + "\0\0\0\0"s, kText + kText});
  cases.push_back({New_Xz_Decoder, xz + "\0\0"s, kText + kCorrupt + "(not an xz stream header)"});
#endif
  for (std::size_t chunk : {1, 2, 7, 1 << 20})
    for (std::size_t capacity : {1, 3, 1 << 16})
      for (const Case& c : cases) {
        if (capacity < kText.size() && c.text.find(" | ") != std::string::npos) continue;
        EXPECT_EQ(Decompress(c.compressed, chunk, capacity, c.new_decoder), c.text)
            << chunk << " " << capacity;
      }
  // A stream larger than the compressed-side buffer, then the start of another.
  std::minstd_rand random;
  std::string big;
  while (big.size() < 1200000) big += "acgt\n"[random() % 5];
  for (const Format& f : Formats) {
    const std::string stream = f.Compress(big);
    ASSERT_GT(stream.size(), Compressed_Source::Buffer_Size);
    EXPECT_TRUE(Decompress(stream + stream.substr(0, 1), 1000, 1 << 16, f.new_decoder) == big + kTruncated);
  }
#ifdef TARVELO_WITH_ZSTD
  // A zstd frame whose third block has a damaged header (a reserved type):
  // the text of the blocks before it, whole units, wherever the reads end.
  std::string frame = Filter("zstd -c -q -1", big);
  const std::size_t descriptor = std::uint8_t(frame[4]), single = descriptor >> 5 & 1;
  std::size_t at = 6 - single + (descriptor >> 6 ? std::size_t{1} << (descriptor >> 6) : single);
  for (int block = 0; block < 2; ++block) {
    const std::size_t header = std::uint8_t(frame[at]) | std::uint8_t(frame[at + 1]) << 8 | std::uint8_t(frame[at + 2]) << 16;
    at += 3 + ((header >> 1 & 3) == 1 ? 1 : header >> 3);
  }
  frame[at] |= 6;
  for (std::size_t chunk : {1, 7, 1 << 20})
    EXPECT_TRUE(Decompress(frame, chunk, Compressed_Source::Unit_Size, New_Zstd_Decoder) ==
                big.substr(0, 2 * Compressed_Source::Unit_Size) + kCorrupt + "(invalid data)")
        << chunk;
#endif
  // From an input that may wait, text comes as soon as it decodes.
  EXPECT_EQ(Decompress(bad_length, 1, 1 << 16, New_Gzip_Decoder, true),
            kText + kCorrupt + "(checksum or length mismatch)");
}

// Text comes in units of a stream's text, each whole or not at all.
TEST(CompressedSource, DeliversAStreamsTextInUnits) {
  std::string text;
  for (int k = 0; text.size() < 2500; ++k) text += kText;
  text.resize(2500);
  const std::string member = Member(text);
  std::string damaged = member;
  damaged[damaged.size() - 8] ^= 1;  // the checksum: the stream's last unit fails
  const std::string kUnits = "1000 1000 500 ";
  struct Case {
    std::string compressed, expected;
  };
  for (const Case& c : std::vector<Case>{
           {member, kUnits + "/ " + text},
           {member + member, kUnits + kUnits + "/ " + text + text},
           {member + damaged, kUnits + "1000 1000 / " + text + text.substr(0, 2000) + kCorrupt +
                                  "(checksum or length mismatch)"}}) {
    Compressed_Source source(std::make_unique<String_Source>(c.compressed, "x.gb.gz"), New_Gzip_Decoder(), 1000);
    EXPECT_EQ(Drain(source, 4000, true), c.expected);
  }
}

// What Open_Source delivers from a pipe holding Bytes; Hook_Calls counts the
// flushes before reads that may block.
std::string Open_Pipe(const std::string& bytes, int& hook_calls) {
  int fds[2];
  if (pipe(fds) != 0 || write(fds[1], bytes.data(), bytes.size()) != ssize_t(bytes.size()))
    return "pipe failed";
  close(fds[1]);
  hook_calls = 0;
  // A pipe is read as its writer goes, on the reader's thread, whatever the
  // processors: its source may block, so that output is flushed before reads.
  const std::unique_ptr<Byte_Source> source = Open_Source(fds[0], "standard input", [&] { ++hook_calls; }, 2);
  const std::string text = Drain(*source) + (source->May_Block() ? "" : " (never blocks)");
  close(fds[0]);
  return text;
}

TEST(CompressedSource, OpenSourceDecompressesWhatBeginsWithAMagicNumberAndNothingElse) {
  int calls = 0;
  for (const Format& f : Formats)
    EXPECT_EQ(Open_Pipe(f.Compress(kText) + f.Compress(kText), calls), kText + kText);
  EXPECT_EQ(calls, 1);  // before the first read; the line reader flushes before the others
  EXPECT_EQ(Open_Pipe("\x1f\x8b", calls),
            " | TARVELO.READ_FILE.DECOMPRESSION_ERROR : standard input: truncated compressed data");
  for (const std::string& plain : {""s, "\x1f"s, "\x1f\x8c\x08"s, "\x1f"s + kText, "\x28\xb5\x2f"s,
                                   "BZh"s, "BZh0"s + kText, "\xfd" "7zXZ"s, "\x4f\x2a\x4d\x18"s + kText,
                                   "\x60\x2a\x4d\x18"s + kText, "\x50\x2a\x4d\x19"s + kText, "\x50\x2a\x4d"s})
    EXPECT_EQ(Open_Pipe(plain, calls), plain);
#ifdef TARVELO_WITH_ZSTD
  // A zstd input may begin with skippable frames; those alone hold no text.
  for (const std::string& skippable : {"\x50\x2a\x4d\x18\0\0\0\0"s, "\x5f\x2a\x4d\x18\2\0\0\0ab"s}) {
    EXPECT_EQ(Open_Pipe(skippable + Filter("zstd -c -q", kText), calls), kText);
    EXPECT_EQ(Open_Pipe(skippable + skippable, calls), "");
  }
#endif
}

// An xz stream of Text whose block header declares the dictionary of
// property byte Dictionary (28: 64 MiB, 40: 4 GiB), its header checksum
// mended.
std::string Xz_With_Dictionary(const std::string& text, char dictionary) {
  std::string xz = Filter("xz -c -0 --check=crc32", text);
  const std::size_t header = 12, size = (std::size_t(std::uint8_t(xz[header])) + 1) * 4;
  const std::size_t at = xz.find("\x21\x01", header + 2);  // the LZMA2 filter and its property
  if (at + 2 >= header + size - 4) return "no LZMA2 filter";
  xz[at + 2] = dictionary;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(xz.data() + header), uInt(size - 4));
  for (int k = 0; k < 4; ++k) xz[header + size - 4 + k] = char(crc >> (8 * k));
  return xz;
}

// A stream whose header asks more memory of its decoder than 128 MiB is
// refused before that memory is taken; every standard level stays below.
TEST(CompressedSource, RefusesAStreamThatAsksForMoreThan128MiB) {
  const std::string too_much = kCorrupt + "(needs more than 128 MiB of memory)";
  struct Case {
    New_Decoder new_decoder;
    std::string compressed, text;
  };
  std::vector<Case> cases;
#ifdef TARVELO_WITH_XZ
  cases.push_back({New_Xz_Decoder, Xz_With_Dictionary(kText, 28), kText});
  cases.push_back({New_Xz_Decoder, Filter("xz -c -0", kText) + Xz_With_Dictionary(kText, 31), kText + too_much});
  cases.push_back({New_Xz_Decoder, Xz_With_Dictionary(kText, 40), too_much});
#endif
#ifdef TARVELO_WITH_ZSTD
  // A frame of no text whose window descriptor is Window: 0x88 is 128 MiB,
  // 0x89 is 144 MiB, 0x90 is 256 MiB.
  const auto frame = [](char window) { return "\x28\xb5\x2f\xfd\0"s + window + "\1\0\0"s; };
  cases.push_back({New_Zstd_Decoder, frame('\x88') + Filter("zstd -c -q", kText), kText});
  cases.push_back({New_Zstd_Decoder, frame('\x89'), too_much});
  cases.push_back({New_Zstd_Decoder, Filter("zstd -c -q", kText) + frame('\x90'), kText + too_much});
#endif
  for (const Case& c : cases) EXPECT_EQ(Decompress(c.compressed, 1 << 20, 1 << 16, c.new_decoder), c.text);
}

// Check_Delivered_Text after reads that take First_Read bytes (a read takes
// a unit at most): the report it throws, or "".
std::string Check_After_Read(const std::string& compressed, std::size_t first_read,
                             New_Decoder new_decoder, bool from_pipe) {
  Compressed_Source source(
      std::make_unique<String_Source>(compressed, "x.gb.gz", from_pipe ? 1 : std::string::npos, from_pipe),
      new_decoder());
  return Check_After(source, first_read / Compressed_Source::Unit_Size + 1, first_read);
}

// A reader that stopped on text asks whether it was damaged: the rest of the
// current stream is decoded, and its damage (or its cut) is reported.
TEST(CompressedSource, CheckingDeliveredTextDecodesTheRestOfTheCurrentStream) {
  std::minstd_rand random;
  std::string big;
  while (big.size() < 300000) big += "acgt\n"[random() % 5];
  for (const Format& f : Formats) {
    const std::string whole = f.Compress(big), small = f.Compress(kText);
    std::string bad_check = whole;
    bad_check[bad_check.size() - f.flip_at] ^= 1;
    for (const auto& [compressed, first_read, from_pipe, report] :
         std::vector<std::tuple<std::string, std::size_t, bool, std::string>>{
             {whole, 1000, false, ""},
             {bad_check, 1000, false, kCorrupt + "(" + f.bad_check + ")"},
             {whole.substr(0, whole.size() / 2), 1000, false, kTruncated},
             // The stream read to its end, its checks passed: nothing to check.
             {small + bad_check, kText.size(), false, ""},
             // Checking ends with the current stream, also where its last
             // bytes (a checksum) make no text.
             {small + bad_check, 10, true, ""},
             // The Read failed: its own report was the one.
             {"GARBAGE!" + whole, 1000, false, ""},
             {bad_check, 1 << 20, false, ""}})
      EXPECT_EQ(Check_After_Read(compressed, first_read, f.new_decoder, from_pipe), report) << f.command;
  }
}

}  // namespace
