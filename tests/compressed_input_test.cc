// End-to-end: compressed input whose text fails to convert. A damaged stream
// is reported as such, not as the format error its damaged text causes.
#include <zlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_tarvelo.h"

namespace tarvelo_test {
namespace {

// Text as one gzip member of stored (uncompressed) blocks, so that a byte
// of the text can be damaged in place.
std::string Stored_Gzip(const std::string& text) {
  z_stream z{};
  std::string out(text.size() + text.size() / 1000 + 1024, '\0');
  if (deflateInit2(&z, 0, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return "";
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
  out.resize(done ? z.total_out : 0);
  deflateEnd(&z);
  return out;
}

// Records enough that the scanner stops on the damaged one long before the
// member's end has been read, and that output is written before it.
TEST(CompressedInput, TextThatFailsIsReportedAsTheStreamsDamageWhenItHasOne) {
  Sandbox box;
  std::string text, damaged;
  for (int k = 0; k < 12000; ++k) text += Record("A" + std::to_string(k));
  const std::string spot = "ACCESSION   A9000\n";
  damaged = text;
  damaged[damaged.find(spot)] = 'B';
  std::string member = Stored_Gzip(text);
  ASSERT_NE(member.find(spot), std::string::npos);
  member[member.find(spot)] = 'B';
  box.Write("damaged.gb", damaged);
  box.Write("damaged.gb.gz", member);
  box.Write("recompressed.gb.gz", Stored_Gzip(damaged));
  // The damaged text without compression: what is converted, and its failure.
  const Run_Result plain = box.Run({"damaged.gb"});
  ASSERT_EQ(plain.status, 1);
  ASSERT_TRUE(plain.err.starts_with("\nraised TARVELO.GENBANK_FORMAT_ERROR")) << plain.err;
  const Run_Result damaged_stream = box.Run({"damaged.gb.gz"});
  EXPECT_TRUE(damaged_stream.out == plain.out);  // everything before the failing line
  EXPECT_EQ(damaged_stream.err,
            Fatal("TARVELO.READ_FILE.DECOMPRESSION_ERROR",
                  "damaged.gb.gz: corrupt compressed data (checksum or length mismatch)"));
  EXPECT_EQ(damaged_stream.status, 1);
  // The same damaged text in an intact stream: the format error stands.
  const Run_Result intact_stream = box.Run({"recompressed.gb.gz"});
  EXPECT_TRUE(intact_stream.out == plain.out);
  EXPECT_EQ(intact_stream.err, plain.err);
  // Output that fails first ends the run at once, the rest of the input unread.
  EXPECT_EQ(box.Run({"damaged.gb.gz"}, "", {.out = "/dev/full"}),
            (Run_Result{"", Fatal("TARVELO.OUTPUT.WRITE_ERROR", "standard output: No space left on device"), 1}));
}

}  // namespace
}  // namespace tarvelo_test
